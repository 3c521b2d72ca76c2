// The window base on the window-check screen: paging, focus, touch, timers.

#include "DeathToStderr.h"
#include "UiTestSupport.h"

#include "dashrec/core/MessageQueue.h"
#include "dashrec/ui/MessageHandler.h"
#include "dashrec/ui/UITimer.h"

#include <vector>

namespace {

using vk::MessageHandler;
namespace PARAM1 = vk::PARAM1;
namespace STR = vk::STR;
namespace WM = vk::WM;

const vk::WND::ID WINDOW_CHECK = static_cast<vk::WND::ID>(9902);

class CheckWindow : public MessageHandler {
public:
    CheckWindow() : MessageHandler(WINDOW_CHECK, 3) {}
    void OnMessage(ipc_msg_t&) override {}
    void OnInit(ipc_msg_t&) override {}
};

class WindowBase : public ::testing::Test {
protected:
    void SetUp() override
    {
        uitest::UseBuildResources();
        vk::Resource::Inst()->Init(LCD_WIDTH, LCD_HEIGHT, true);
        vk::Resource::Inst()->SetPage(WINDOW_CHECK);
        vk::UIQueue::Inst()->Init();
        window = new CheckWindow();
    }

    void TearDown() override
    {
        delete window;
        vk::UIQueue::Inst()->Finalize();
        vk::Resource::Inst()->Finalize();
    }

    void Press(int key, int param2 = 0)
    {
        ipc_msg_t msg {};
        msg.wnd = WINDOW_CHECK;
        msg.cmd = WM::BUTTON;
        msg.param1 = key;
        msg.param2 = param2;
        window->OnButton(msg);
    }

    // Messages posted to the window, in order, leaving out the run mode's own.
    std::vector<ipc_msg_t> Posted(int waitMs = 50)
    {
        std::vector<ipc_msg_t> posted;
        ipc_msg_t msg {};
        while (vk::UIQueue::Inst()->RecvMessage(msg, waitMs) > 0)
            if (msg.wnd == WINDOW_CHECK)
                posted.push_back(msg);
        return posted;
    }

    void AddContents(int n)
    {
        const STR::ID texts[] = { STR::MENU, STR::RECORDING, STR::PARKING_MODE, STR::PLAYBACK, STR::SYSTEM,
            STR::SD_CARD, STR::LANGUAGE };
        for (int i = 0; i < n; ++i)
            window->AddContent(texts[i]);
        window->SetStartPage();
    }

    bool Shown(int id) { return vk::Resource::Inst()->GetStateComponent(WINDOW_CHECK, id)->IsShown(); }

    std::vector<int> Statuses()
    {
        std::vector<int> statuses;
        for (obj_button* btn : window->GetButtons())
            statuses.push_back(btn->status);
        return statuses;
    }

    CheckWindow* window = nullptr;
};

TEST_F(WindowBase, ButtonsAreTheStateObjectsWithTheFirstFocused)
{
    ASSERT_EQ(window->GetButtonsSize(), 3u);
    for (unsigned i = 0; i < 3; ++i)
        EXPECT_EQ(window->GetButtons()[i]->id, static_cast<int>(i));
    EXPECT_EQ(Statuses(), (std::vector<int> { 1, 0, 0 }));
}

TEST_F(WindowBase, SevenContentsOnThreeButtonsPageByThree)
{
    AddContents(7);
    EXPECT_EQ(window->GetLastPage(), 3u);
    EXPECT_EQ(window->GetButtons()[2]->text_id, STR::PARKING_MODE);

    struct Step {
        int key;
        unsigned startIndex;
        unsigned focused;
        unsigned active;
    } steps[] = {
        { PARAM1::KEY_DOWN, 0, 1, 3 },
        { PARAM1::KEY_DOWN, 0, 2, 3 },
        { PARAM1::KEY_DOWN, 3, 0, 3 },
        { PARAM1::KEY_DOWN, 3, 1, 3 },
        { PARAM1::KEY_DOWN, 3, 2, 3 },
        { PARAM1::KEY_DOWN, 6, 0, 1 },
        { PARAM1::KEY_DOWN, 0, 0, 3 }, // the third page's only button wraps to the first page
        { PARAM1::KEY_UP, 6, 0, 1 },   // the first button goes to the third page's last active one
        { PARAM1::KEY_UP, 3, 2, 3 },
        { PARAM1::KEY_UP, 3, 1, 3 },
    };
    for (const Step& s : steps) {
        Press(s.key);
        SCOPED_TRACE(s.startIndex * 10 + s.focused);
        EXPECT_EQ(window->GetCurrentPages(), s.startIndex / 3 + 1);
        EXPECT_EQ(window->GetButtonsFocused(), s.focused);
        EXPECT_EQ(window->GetActiveButtonsSize(), s.active);
        EXPECT_EQ(window->GetButtons()[s.focused]->status, obj_common::FOCUSED);
    }
    std::vector<ipc_msg_t> posted = Posted();
    ASSERT_EQ(posted.size(), std::size(steps));
    for (const ipc_msg_t& msg : posted)
        EXPECT_EQ(msg.cmd, WM::PAINT);
}

TEST_F(WindowBase, ThirdPageHidesTheUnusedButtonsWithTheirImagesAndSubTexts)
{
    AddContents(7);
    window->GoToNextPage();
    window->GoToNextPage();
    EXPECT_EQ(window->GetButtons()[0]->text_id, STR::LANGUAGE);
    EXPECT_TRUE(Shown(0));
    EXPECT_TRUE(Shown(MessageHandler::IMG_OFFSET + 0));
    EXPECT_TRUE(Shown(MessageHandler::TXTSUB_OFFSET + 0));
    for (int i : { 1, 2 }) {
        EXPECT_FALSE(Shown(i)) << i;
        EXPECT_FALSE(Shown(MessageHandler::IMG_OFFSET + i)) << i;
        EXPECT_FALSE(Shown(MessageHandler::TXTSUB_OFFSET + i)) << i;
    }
    vk::Resource::Inst()->Draw(false);
    uitest::Screenshot shot("window_check_page3");
    EXPECT_EQ(shot.At(50, 90), 0x3A7BD5u) << "the focused first button";
    EXPECT_EQ(shot.At(410, 170), shot.At(470, 170)) << "the second button's image is hidden";
    window->GoToPrevPage();
    EXPECT_TRUE(Shown(MessageHandler::TXTSUB_OFFSET + 2));
    window->GoToPrevPage();
    window->GoToPrevPage();
    EXPECT_EQ(window->GetCurrentPages(), 3u);
}

TEST_F(WindowBase, FocusMovesAndWrapsWithinOnePage)
{
    AddContents(3);
    struct Step {
        int key;
        std::vector<int> statuses;
    } steps[] = {
        { PARAM1::KEY_UP, { 0, 0, 1 } },
        { PARAM1::KEY_DOWN, { 1, 0, 0 } },
        { PARAM1::KEY_DOWN, { 0, 1, 0 } },
        { PARAM1::KEY_DOWN, { 0, 0, 1 } },
        { PARAM1::KEY_DOWN, { 1, 0, 0 } },
    };
    for (const Step& s : steps) {
        Press(s.key);
        EXPECT_EQ(Statuses(), s.statuses);
        EXPECT_EQ(window->GetCurrentPages(), 1u);
    }
    vk::Resource::Inst()->Draw(false);
    uitest::Screenshot shot("window_check_page1");
    EXPECT_EQ(shot.At(50, 90), 0x3A7BD5u);
    EXPECT_EQ(shot.At(50, 170), 0x2A3A56u);
}

TEST_F(WindowBase, TouchInsideAButtonFocusesItAndPressesOk)
{
    AddContents(3);
    Posted(1);
    Press(PARAM1::TOUCH, 100 << 12 | 150);
    EXPECT_EQ(Statuses(), (std::vector<int> { 0, 1, 0 }));
    std::vector<ipc_msg_t> posted = Posted();
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0].cmd, WM::PAINT);
    EXPECT_EQ(posted[1].cmd, WM::BUTTON);
    EXPECT_EQ(posted[1].param1, PARAM1::KEY_OK);
    EXPECT_EQ(posted[1].param2, 1);
}

TEST_F(WindowBase, TouchOutsideEveryButtonChangesNothing)
{
    AddContents(3);
    for (int point : { 480 << 12 | 320, 39 << 12 | 90, 440 << 12 | 90, 100 << 12 | 120, 0 }) {
        Press(PARAM1::TOUCH, point);
        EXPECT_EQ(Statuses(), (std::vector<int> { 1, 0, 0 })) << std::hex << point;
    }
    EXPECT_TRUE(Posted().empty());
}

TEST_F(WindowBase, HitTestingSkipsHiddenAndDisabledAndPrefersTheLastAdded)
{
    obj_button a, b, c;
    a.area = { 0, 0, 100, 100 };
    b.area = { 50, 50, 100, 100 };
    c.area = { 200, 0, 50, 50 };
    std::vector<obj_button*> buttons { &a, &b, &c };
    struct Case {
        int x, y, expected;
    } cases[] = {
        { 10, 10, 0 }, { 60, 60, 1 }, { 149, 149, 1 }, { 150, 150, -1 }, { 210, 10, 2 }, { 250, 10, -1 },
    };
    for (const Case& t : cases)
        EXPECT_EQ(MessageHandler::GetTouchedButton(buttons, t.x, t.y), t.expected) << t.x << "," << t.y;
    b.SetHide();
    EXPECT_EQ(MessageHandler::GetTouchedButton(buttons, 60, 60), 0);
    a.SetDisable();
    EXPECT_EQ(MessageHandler::GetTouchedButton(buttons, 60, 60), -1);

    int x = 0, y = 0;
    EXPECT_TRUE(MessageHandler::GetButtonPosition(buttons, 2, x, y));
    EXPECT_EQ(x, 200);
    EXPECT_FALSE(MessageHandler::GetButtonPosition(buttons, 3, x, y));
    EXPECT_TRUE(MessageHandler::GetButtonPosition(buttons, 1, x, y)) << "hidden but enabled";
    a.SetHide();
    EXPECT_FALSE(MessageHandler::GetButtonPosition(buttons, 0, x, y)) << "hidden and disabled";
}

TEST_F(WindowBase, TouchOnlyHandlingAndTouchDebug)
{
    AddContents(3);
    ipc_msg_t touch {};
    touch.param1 = PARAM1::TOUCH;
    touch.param2 = 100 << 12 | 230;
    window->OnButtonTouch(touch);
    EXPECT_EQ(Statuses(), (std::vector<int> { 1, 0, 0 }));
    std::vector<ipc_msg_t> posted = Posted();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].cmd, WM::BUTTON);
    EXPECT_EQ(posted[0].param2, 2);

    Press(PARAM1::TOUCH_DEBUG, 1);
    posted = Posted();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].param1, PARAM1::TOUCH);
    EXPECT_EQ(posted[0].param2, 40 << 12 | 140);
    Press(PARAM1::TOUCH_DEBUG, 3);
    EXPECT_TRUE(Posted().empty());
}

TEST_F(WindowBase, TimerSetByTheWindowComesBackToIt)
{
    vk::UITimer* timer = vk::Singleton<vk::UITimer>::Inst();
    timer->Init(10);
    timer->Start();
    window->SetTimer(vk::TIMER::HIDE_MESSAGE_BOX, 30);
    window->SetTimer(vk::TIMER::CMAIN_DVR_SHOW_MENU, 40);
    window->KillTimer(vk::TIMER::CMAIN_DVR_SHOW_MENU);
    std::vector<ipc_msg_t> posted = Posted(300);
    timer->Finalize();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].cmd, WM::TIMER);
    EXPECT_EQ(posted[0].param1, vk::TIMER::HIDE_MESSAGE_BOX);
}

TEST_F(WindowBase, CallerIsKeptOverMessageBoxesVersionAndReset)
{
    window->SetCaller(vk::WND::SYSTEM);
    for (vk::WND::ID notKept : { vk::WND::MESSAGE_BOX, vk::WND::VERSION, vk::WND::RESET }) {
        window->SetCaller(notKept);
        EXPECT_EQ(window->GetCaller(), vk::WND::SYSTEM);
    }
    window->SetCaller(vk::WND::MAINMENU);
    EXPECT_EQ(window->GetCaller(), vk::WND::MAINMENU);
}

TEST_F(WindowBase, CloseAsksForTheNextWindow)
{
    ipc_msg_t close {};
    close.cmd = WM::CLOSE;
    close.param1 = vk::WND::MAINMENU;
    close.param2 = 0x12345;
    window->OnClose(close);
    std::vector<ipc_msg_t> posted = Posted();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].cmd, WM::CHANGE_PAGE);
    EXPECT_EQ(posted[0].param1, vk::WND::MAINMENU);
    EXPECT_EQ(posted[0].param2, 0x12345);
}

TEST_F(WindowBase, FewerContentsThanButtonsEndTheProgram)
{
    window->AddContent(STR::MENU);
    window->AddContent(STR::SYSTEM);
    EXPECT_ASSERTION(window->SetStartPage(), "contents:2, buttons:3.*_contents.vec.size\\(\\) >= _buttons.vec.size\\(\\)");
}

} // namespace
