// Playback as the driver sees it, driven through the bus: the folder window
// loading the file lists behind its sand clock, the list pages, and the
// player playing real recordings placed on a card laid out by cardform. The
// test thread is the main loop: it receives every message and hands it on as
// the run mode would. Screens are saved as PNG under screenshots/playback.

#include "CardRecordings.h"
#include "tests/bmworks/EngineRun.h"
#include "tests/playback/Recordings.h"

#include "bmworks/bmworks.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/dvr/FileLists.h"
#include "dashrec/menus/CListPage.h"
#include "dashrec/menus/CMenuPlayback.h"
#include "dashrec/menus/CPlayer.h"
#include "dashrec/ui/Resource.h"
#include "dashrec/ui/UITimer.h"
#include "host/display/LcdShot.h"
#include "host/soc/Vo.h"
#include "tests/menus/BusLoop.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

using menutest::Is;
using vk::Singleton;
namespace WM = vk::WM;
namespace WND = vk::WND;
namespace TIMER = vk::TIMER;
namespace PARAM1 = vk::PARAM1;

long long NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int Touch(int x, int y)
{
    return x << 12 | y;
}

const char* const FRONT = "NORM261210-100500F.MP4";
const char* const REAR = "NORM261210-100500R.MP4";

class Playback : public menutest::BusLoop {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(card::LayOut());
        // Twelve recordings: three pages; a front/rear pair of the 40 s recording,
        // a 2 s and a 3 s one, and the rest left as pre-allocated zeros.
        ASSERT_TRUE(card::Place("NORMAL", { "NORM261210-100600R.MP4", FRONT, REAR, "NORM261210-100400F.MP4",
                                              "NORM261210-100400R.MP4", "NORM261210-100300F.MP4",
                                              "NORM261210-100300R.MP4", "NORM261210-100200F.MP4",
                                              "NORM261210-100200R.MP4", "NORM261210-100100F.MP4",
                                              "NORM261210-100100R.MP4", "NORM261210-100000F.MP4" }));
        ASSERT_TRUE(card::Place("MANUAL", { "MANU261210-090000F.MP4", "MANU261210-090100F.MP4" }));
        ASSERT_EQ(chdir(std::getenv("DASHREC_BINARY_DIR")), 0);
        Singleton<vk::SDDebug>::Inst()->Init();
        Singleton<vk::Pref>::Inst()->Init();
        Singleton<vk::Pref>::Inst()->SetSdCardRecording();
        Singleton<vk::Resource>::Inst()->Init(480, 320, true);
        vk::UIQueue::Inst()->Init();
        Singleton<vk::UITimer>::Inst()->Init(10);
        Singleton<vk::UITimer>::Inst()->Start();
        dvr = Singleton<vk::CMainDvr>::Inst();
        // Windows of its own to look into; the run mode registers the rest.
        normalList = std::make_shared<vk::CListPage>(WND::NORMAL_LIST, vk::STR::NORMAL_REC, "NORMAL");
        player = std::make_shared<vk::CPlayer>(WND::PLAYER);
        dvr->RegisterHandler(WND::NORMAL_LIST, normalList);
        dvr->RegisterHandler(WND::PLAYER, player);
        dvr->RegisterDVRHandler();
        Singleton<vk::FileLists>::Inst()->SetReload();
        // The engine's and the UI's threads live to the end of the process:
        // leave it without tearing the singletons down under them.
        std::atexit([] {
            std::fflush(nullptr);
            std::_Exit(0);
        });
    }

    void TearDown() override { Singleton<vk::UITimer>::Inst()->Finalize(); }

    void Dispatch(ipc_msg_t& msg) override
    {
        if (msg.cmd == WM::CHANGE_PAGE)
            dvr->SetPage(WND::ID(msg.param1), msg.param2);
        else if (msg.wnd != WND::CMAIN_DVR)
            dvr->OnDefault(msg);
    }

    // Opens a window as the run mode does, with its caller.
    void Open(WND::ID wnd, WND::ID caller)
    {
        dvr->SetPage(wnd, caller);
        ASSERT_TRUE(PumpUntil(Is(wnd, WM::INIT), 2000));
    }

    void Key(int wnd, int key, int param2 = 0)
    {
        Post(wnd, WM::BUTTON, key, param2);
        ASSERT_TRUE(PumpUntil(Is(wnd, WM::BUTTON, key), 2000));
    }

    // A touch on a button of the current screen: the focus goes there and OK follows.
    void Press(int wnd, int button)
    {
        const Rect& a = Object(wnd, button)->area;
        Key(wnd, PARAM1::TOUCH, Touch(a.x + a.w / 2, a.y + a.h / 2));
        ASSERT_TRUE(PumpUntil(Is(wnd, WM::BUTTON, PARAM1::KEY_OK), 2000));
    }

    bool Opened(WND::ID wnd, int timeoutMs = 3000) { return PumpUntil(Is(wnd, WM::INIT), timeoutMs); }

    const char* Text(int wnd, int id)
    {
        obj_common* obj = Object(wnd, id);
        return obj->obj_type == obj_common::TEXT ? static_cast<obj_text*>(obj)->text_ptr
                                                  : static_cast<obj_button*>(obj)->text_ptr;
    }

    void Screenshot(const std::string& name, bool withVideo)
    {
        std::string dir = std::string(std::getenv("DASHREC_BINARY_DIR")) + "/screenshots/playback";
        media::Run("mkdir -p " + dir);
        vk::Resource::Inst()->Draw(false);
        ui_handle_t* ui = vk::Resource::Inst()->GetHandle();
        std::string path = dir + "/" + name + ".png";
        EXPECT_TRUE(withVideo ? soc::VoSaveScreenPng(path.c_str(), ui->window) : host::SaveLcdPng(ui, path.c_str()));
    }

    vk::CMainDvr* dvr = nullptr;
    std::shared_ptr<vk::CListPage> normalList;
    std::shared_ptr<vk::CPlayer> player;
};

TEST_F(Playback, TheFolderWindowLoadsBehindItsClockAndOpensOnlyFoldersWithFiles)
{
    long long opened = NowMs();
    Open(WND::PLAYBACK, WND::MAINMENU);
    ASSERT_TRUE(PumpUntil(Is(WND::PLAYBACK, WM::TIMER, TIMER::WAITING_FILELISTS), 1000));
    EXPECT_STREQ(Text(WND::PLAYBACK, 1202), "0") << "no count while loading";
    // Keys wait for the lists.
    Key(WND::PLAYBACK, PARAM1::KEY_DOWN);
    ASSERT_TRUE(PumpUntil(Is(WND::PLAYBACK, WM::UPDATE), 5000));
    EXPECT_GE(NowMs() - opened, 1000) << "the clock shows for a second at least";
    EXPECT_FALSE(Singleton<vk::FileLists>::Inst()->NeedReload());
    const char* counts[] = { "12", "0", "2", "0" };
    for (int i = 0; i < 4; i++)
        EXPECT_STREQ(Text(WND::PLAYBACK, 1202 + i), counts[i]) << i;
    for (int id = 2000; id <= 2008; id++)
        EXPECT_FALSE(Object(WND::PLAYBACK, id)->IsShown()) << id;
    // A tick late after loading draws nothing and ends the clock.
    Post(WND::PLAYBACK, WM::TIMER, TIMER::WAITING_FILELISTS);
    PumpFor(300);
    EXPECT_LT(Singleton<vk::UITimer>::Inst()->Remaining(WND::PLAYBACK, TIMER::WAITING_FILELISTS), 0);
    Screenshot("folders", false);

    // The empty EVENT folder stays closed; NORMAL opens its list.
    Press(WND::PLAYBACK, 3);
    PumpFor(300);
    EXPECT_EQ(dvr->CurrentWindow(), WND::PLAYBACK);
    Press(WND::PLAYBACK, 2);
    ASSERT_TRUE(Opened(WND::NORMAL_LIST));

    // Back again: the lists are current, so there is no clock.
    Key(WND::NORMAL_LIST, PARAM1::KEY_MENU);
    ASSERT_TRUE(Opened(WND::PLAYBACK));
    ASSERT_TRUE(PumpUntil(Is(WND::PLAYBACK, WM::PAINT), 1000));
    EXPECT_STREQ(Text(WND::PLAYBACK, 1202), "12");

    // Opened again before it was closed, the lists stale each time: the
    // loader of the first opening, done but not joined, is let go (a thread
    // object that still held it would end the program).
    for (int i = 0; i < 2; i++) {
        Singleton<vk::FileLists>::Inst()->SetReload();
        Post(WND::PLAYBACK, WM::INIT, WND::MAINMENU);
        ASSERT_TRUE(PumpUntil(Is(WND::PLAYBACK, WM::INIT), 1000));
        ASSERT_TRUE(PumpUntil(Is(WND::PLAYBACK, WM::UPDATE), 5000)) << i;
    }
    EXPECT_STREQ(Text(WND::PLAYBACK, 1202), "12");
}

TEST_F(Playback, ListPagesPageWithTheirFocusAndOpenThePlayerOrTheCopyPlayer)
{
    Singleton<vk::FileLists>::Inst()->Open();
    Open(WND::NORMAL_LIST, WND::PLAYBACK);
    unsigned& focused = normalList->GetButtonsFocused();
    EXPECT_EQ(focused, 2u);
    EXPECT_STREQ(Text(WND::NORMAL_LIST, 2), "NORM261210-100600R");
    EXPECT_STREQ(Text(WND::NORMAL_LIST, 3), "NORM261210-100500F");
    EXPECT_STREQ(Text(WND::NORMAL_LIST, vk::CListPage::CURRENT_NUMBER), "1");
    EXPECT_STREQ(Text(WND::NORMAL_LIST, vk::CListPage::TOTAL_NUMBER), "3");
    PumpFor(200);
    Screenshot("list", false);

    // Back from the first page: the last page, focus on its last row.
    Press(WND::NORMAL_LIST, 9);
    ASSERT_TRUE(PumpUntil(Is(WND::NORMAL_LIST, WM::BUTTON, PARAM1::LONG_KEY_UP), 1000));
    EXPECT_STREQ(Text(WND::NORMAL_LIST, vk::CListPage::CURRENT_NUMBER), "3");
    EXPECT_TRUE(Object(WND::NORMAL_LIST, 3)->IsShown());
    EXPECT_FALSE(Object(WND::NORMAL_LIST, 4)->IsShown());
    EXPECT_EQ(focused, 3u);
    // Five forward from there wraps to the first page, focus on the first row.
    Press(WND::NORMAL_LIST, 8);
    ASSERT_TRUE(PumpUntil(Is(WND::NORMAL_LIST, WM::BUTTON, PARAM1::LONG_KEY_DOWN), 1000));
    EXPECT_STREQ(Text(WND::NORMAL_LIST, vk::CListPage::CURRENT_NUMBER), "1");
    EXPECT_EQ(focused, 2u);

    // A row opens the player on that file; the player's return keeps the row.
    Press(WND::NORMAL_LIST, 4);
    ASSERT_TRUE(Opened(WND::PLAYER));
    char title[32];
    Singleton<vk::FileLists>::Inst()->GetTitle(title);
    EXPECT_STREQ(title, REAR);
    dvr->SetPage(WND::NORMAL_LIST, WND::PLAYER);
    ASSERT_TRUE(Opened(WND::NORMAL_LIST));
    EXPECT_EQ(focused, 4u);

    // Opened for a backup the same page is the copy list.
    Open(WND::NORMAL_LIST, WND::SELECT_FILE);
    Press(WND::NORMAL_LIST, 3);
    ASSERT_TRUE(Opened(WND::COPY_PLAYER));
    EXPECT_TRUE(Object(WND::COPY_PLAYER, vk::CPlayer::BTN_COPY)->IsShown());
}

class Player : public Playback {
protected:
    void SetUp() override
    {
        Playback::SetUp();
        Engine();
        ASSERT_TRUE(PanelReady());
        std::string recording = Recording("hevc", 40);
        ASSERT_FALSE(recording.empty());
        ASSERT_TRUE(card::Record(std::string("/mnt/extsd/NORMAL/") + FRONT, recording));
        ASSERT_TRUE(card::Record(std::string("/mnt/extsd/NORMAL/") + REAR, recording));
        ASSERT_TRUE(card::Record("/mnt/extsd/MANUAL/MANU261210-090000F.MP4", Recording("hevc", 2)));
        ASSERT_TRUE(card::Record("/mnt/extsd/MANUAL/MANU261210-090100F.MP4", Recording("hevc", 3)));
        Singleton<vk::FileLists>::Inst()->Open();
    }

    void TearDown() override
    {
        if (Demux().IsStarted())
            Demux().Stop();
        Playback::TearDown();
    }

    // Plays the file at a row of a folder's first page as the list page would.
    void PlayRow(const char* folder, WND::ID list, int row)
    {
        Open(list, WND::PLAYBACK);
        Singleton<vk::FileLists>::Inst()->SetPlayFile(folder, row);
        Open(WND::PLAYER, list);
    }

    int PlayedSeconds() { return std::atoi(player->Playtime()); }

    // The control bar hides 5 s after the last key; a touch beside the buttons brings it back.
    void PressOnBar(int button)
    {
        if (!Object(WND::PLAYER, button)->IsShown())
            Key(WND::PLAYER, PARAM1::TOUCH, Touch(240, 150));
        ASSERT_TRUE(Object(WND::PLAYER, button)->IsShown());
        Press(WND::PLAYER, button);
    }

    bool PlayedUntil(int seconds, int timeoutMs)
    {
        long long end = NowMs() + timeoutMs;
        while (PlayedSeconds() < seconds && NowMs() < end)
            PumpFor(100);
        return PlayedSeconds() >= seconds;
    }

    BmDemux& Demux() { return Engine()->bmDemux; }

    // Holds the pipeline for two update ticks, the first of which still sees
    // the move since the tick before, then lets it go until a tick sees it move.
    void Stall(const char* when)
    {
        SCOPED_TRACE(when);
        GstElement* pipeline = Demux().pGstPipeline;
        ASSERT_NE(pipeline, nullptr);
        gst_element_set_state(pipeline, GST_STATE_PAUSED);
        gst_element_get_state(pipeline, nullptr, nullptr, 2 * GST_SECOND);
        for (int tick = 0; tick < 2; ++tick)
            ASSERT_TRUE(PumpUntil(Is(WND::PLAYER, WM::TIMER, TIMER::UPDATE_VIEW), 2000));
        int still = Demux().Position();
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
        ASSERT_TRUE(WaitFor([&] { return Demux().Position() > still; }, 5000));
        ASSERT_TRUE(PumpUntil(Is(WND::PLAYER, WM::TIMER, TIMER::UPDATE_VIEW), 2000));
        ASSERT_EQ(dvr->CurrentWindow(), WND::PLAYER) << "the player closed";
    }
};

TEST_F(Player, PlaysPausesSeeksAndSwitchesToTheRearFileWhereItWas)
{
    PlayRow("NORMAL", WND::NORMAL_LIST, 1);
    EXPECT_STREQ(player->Title(), "NORM261210-100500F");
    EXPECT_STREQ(player->Playtime(), "00/00");
    EXPECT_TRUE(Object(WND::PLAYER, vk::CPlayer::BTN_TOGGLE)->IsShown()) << "the rear twin exists";
    ASSERT_TRUE(PumpUntil(Is(WND::PLAYER, WM::TIMER, TIMER::START_SHOW), 5000));
    ASSERT_TRUE(PlayedUntil(6, 15000)) << player->Playtime();
    EXPECT_FALSE(Object(WND::PLAYER, vk::CPlayer::BTN_PLAY)->IsShown()) << "the bar hides after 5 s";
    Key(WND::PLAYER, PARAM1::TOUCH, Touch(240, 150));
    EXPECT_TRUE(Object(WND::PLAYER, vk::CPlayer::BTN_PLAY)->IsShown());
    PumpFor(300);
    EXPECT_STREQ(player->Playtime() + 2, "/40");
    EXPECT_TRUE(BmVideo::IsVisible());
    EXPECT_GT(Object(WND::PLAYER, vk::CPlayer::RECT_PROG_DATA)->area.w, 0);
    Screenshot("player", true);

    // Pause arms the 20 s close; play again disarms it.
    PressOnBar(vk::CPlayer::BTN_PLAY);
    EXPECT_FALSE(Demux().IsPlaying());
    EXPECT_GT(Singleton<vk::UITimer>::Inst()->Remaining(WND::PLAYER, TIMER::EXIT_BY_PAUSE), 15000);
    PressOnBar(vk::CPlayer::BTN_PLAY);
    EXPECT_TRUE(Demux().IsPlaying());
    EXPECT_LT(Singleton<vk::UITimer>::Inst()->Remaining(WND::PLAYER, TIMER::EXIT_BY_PAUSE), 0);

    // Back 10 s from under 10 s: the start.
    PressOnBar(vk::CPlayer::BTN_RW);
    ASSERT_TRUE(WaitFor([this] { return Demux().Position() < 3000; }, 5000)) << Demux().Position();

    // The rear file takes over at the position the front had.
    ASSERT_TRUE(PlayedUntil(3, 15000));
    int kept = Demux().Position();
    Key(WND::PLAYER, PARAM1::LONG_KEY_OK);
    EXPECT_STREQ(player->Title(), "NORM261210-100500R");
    ASSERT_TRUE(PumpUntil(Is(WND::PLAYER, WM::TIMER, TIMER::START_SHOW), 5000));
    ASSERT_TRUE(WaitFor([&] { return Demux().Position() >= kept - 1000; }, 5000))
        << Demux().Position() << " < " << kept;
    EXPECT_FALSE(Singleton<vk::FileLists>::Inst()->IsPlayFileFront());

    // Forward within 10 s of the end: to the end, and back to the list.
    Demux().Seek(35000);
    ASSERT_TRUE(WaitFor([this] { return Demux().Position() >= 33000; }, 5000));
    PressOnBar(vk::CPlayer::BTN_FF);
    ASSERT_TRUE(Opened(WND::NORMAL_LIST));
    EXPECT_FALSE(Demux().IsStarted());
}

// A picture that stands still for a tick after a seek or a resume, as a slow
// card can make it anywhere in a file, is no end: only still ticks in a row
// are. The stalls are the pipeline's own pause while the player is told it
// plays; each gives the player exactly one still tick.
TEST_F(Player, StillMomentsAfterASeekOrAResumeDoNotEndThePlay)
{
    PlayRow("NORMAL", WND::NORMAL_LIST, 1);
    ASSERT_TRUE(PumpUntil(Is(WND::PLAYER, WM::TIMER, TIMER::START_SHOW), 5000));
    ASSERT_TRUE(PlayedUntil(3, 15000)) << player->Playtime();

    PressOnBar(vk::CPlayer::BTN_RW);
    ASSERT_TRUE(WaitFor([this] { return Demux().Position() < 3000; }, 5000)) << Demux().Position();
    Stall("after the seek");
    PressOnBar(vk::CPlayer::BTN_PLAY);
    PressOnBar(vk::CPlayer::BTN_PLAY);
    ASSERT_TRUE(Demux().IsPlaying());
    Stall("after the resume");
    Stall("in the middle");
    EXPECT_EQ(dvr->CurrentWindow(), WND::PLAYER);

    // The end still ends it.
    Demux().Seek(36000);
    ASSERT_TRUE(Opened(WND::NORMAL_LIST, 15000)) << "the end of the file closes the player";
}

TEST_F(Player, ATwoSecondFileIsNotPlayedAndAPlayedFileEndsBackInTheList)
{
    PlayRow("MANUAL", WND::MANUAL_LIST, 1);
    EXPECT_STREQ(player->Title(), "MANU261210-090000F");
    EXPECT_FALSE(Object(WND::PLAYER, vk::CPlayer::BTN_TOGGLE)->IsShown()) << "no rear twin";
    ASSERT_TRUE(PumpUntil(Is(WND::PLAYER, WM::TIMER, TIMER::START_PLAY), 3000));
    ASSERT_TRUE(Opened(WND::MANUAL_LIST, 1000));

    PlayRow("MANUAL", WND::MANUAL_LIST, 0);
    EXPECT_STREQ(player->Title(), "MANU261210-090100F");
    ASSERT_TRUE(PumpUntil(Is(WND::PLAYER, WM::TIMER, TIMER::START_SHOW), 5000));
    ASSERT_TRUE(Opened(WND::MANUAL_LIST, 10000)) << "the end of the file closes the player";
}

} // namespace
