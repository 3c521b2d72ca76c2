// The screen while the phone browses the device: the loop pool handed to the
// phone and back for the pages on the recording medium, a close to itself
// refused, the idle back-light, and the down key that ends Wi-Fi.

#include "CardHelpers.h"
#include "UiTestSupport.h"

#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/dvr/ApMode.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/dvr/FileLoop.h"
#include "dashrec/ui/UITimer.h"
#include "tests/devices/BusMessages.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

namespace {

using devtest::Posted;
using vk::FileLoop;
using vk::Singleton;
namespace WND = vk::WND;
namespace WM = vk::WM;
namespace TIMER = vk::TIMER;

ipc_msg_t Message(int cmd, int param1, int param2 = 0)
{
    return { WND::APMODE, cmd, param1, param2, nullptr };
}

class ApModeWindow : public testing::Test {
protected:
    void SetUp() override
    {
        vk::Pref* pref = Singleton<vk::Pref>::Inst();
        pref->SetSdCardRecording();
        pref->SetLCDDisplay(vk::SYSTEM::DISPLAY::OFF);
        vk::UIQueue::Inst()->Init();
        ASSERT_TRUE(media::Insert("sd", "/tmp/sd.img", 600));
        MakeFile("EVEN261210-100000R.MP4");
        MakeFile(".EVEN90925-000040R.TMP");
        loop->Init();
        loop->Mount();
        ASSERT_EQ(RearEvents(), 2u);
        devtest::TakePosted(0);
    }

    void TearDown() override { vk::UIQueue::Inst()->Finalize(); }

    static void MakeFile(const std::string& name)
    {
        mkdir("/mnt/extsd", 0755);
        mkdir("/mnt/extsd/EVENT", 0755);
        std::ofstream("/mnt/extsd/EVENT/" + name) << "x";
    }

    size_t RearEvents() const { return loop->List(FileLoop::EVENT, FileLoop::REAR).size(); }

    void Send(int cmd, int param1, int param2 = 0)
    {
        ipc_msg_t msg = Message(cmd, param1, param2);
        window.OnMessage(msg);
    }

    FileLoop* loop = Singleton<FileLoop>::Inst();
    vk::CMainDvr* dvr = Singleton<vk::CMainDvr>::Inst();
    vk::ApMode window { WND::APMODE };
};

TEST_F(ApModeWindow, PagesOnTheMediumTakeThePoolUntilTheWindowCloses)
{
    const Posted paint { WND::APMODE, WM::PAINT, 0, 0 };
    const Posted toLiveview { WND::APMODE, WM::CHANGE_PAGE, WND::LIVEVIEW, 0 };
    const struct {
        int useMedium;
        size_t whileShown;
    } cases[] = { { 1, 0 }, { 0, 2 } };
    for (const auto& c : cases) {
        Send(WM::INIT, c.useMedium);
        EXPECT_EQ(RearEvents(), c.whileShown) << c.useMedium;
        EXPECT_EQ(devtest::TakePosted(0), std::vector<Posted> { paint });

        Send(WM::CLOSE, WND::APMODE, 0);
        EXPECT_EQ(RearEvents(), c.whileShown) << "a close to itself is refused";
        EXPECT_EQ(devtest::TakePosted(0), std::vector<Posted> {});

        Send(WM::CLOSE, WND::LIVEVIEW, 0);
        EXPECT_EQ(RearEvents(), 2u) << c.useMedium;
        EXPECT_EQ(devtest::TakePosted(0), std::vector<Posted> { toLiveview });
    }
}

TEST_F(ApModeWindow, TheBackLightGoesOffWhenIdleAndTheDownKeyEndsWiFi)
{
    vk::UITimer* timers = Singleton<vk::UITimer>::Inst();
    Send(WM::INIT, 0);
    EXPECT_TRUE(dvr->IsLcdOn());
    EXPECT_EQ(timers->Remaining(WND::APMODE, TIMER::APMODE_TURN_OFF_LCD), vk::Pref::LCD_OFF_TIME_MS);

    Send(WM::TIMER, TIMER::APMODE_TURN_OFF_LCD);
    EXPECT_FALSE(dvr->IsLcdOn());
    timers->Kill(WND::APMODE, TIMER::APMODE_TURN_OFF_LCD);
    Send(WM::BUTTON, vk::PARAM1::KEY_UP);
    EXPECT_TRUE(dvr->IsLcdOn());
    EXPECT_EQ(timers->Remaining(WND::APMODE, TIMER::APMODE_TURN_OFF_LCD), vk::Pref::LCD_OFF_TIME_MS);
    devtest::TakePosted(0);

    Send(WM::BUTTON, vk::PARAM1::KEY_DOWN);
    const std::vector<Posted> expected {
        { WND::CMAIN_DVR, WM::WIFI, 0, 0 },
        { WND::APMODE, WM::CLOSE, WND::LIVEVIEW, WND::APMODE },
    };
    EXPECT_EQ(devtest::TakePosted(0), expected);
}

TEST_F(ApModeWindow, OnlyTheDisplaySetToOffArmsTheTimer)
{
    Singleton<vk::Pref>::Inst()->SetLCDDisplay(vk::SYSTEM::DISPLAY::SEC30);
    Send(WM::INIT, 0);
    EXPECT_EQ(Singleton<vk::UITimer>::Inst()->Remaining(WND::APMODE, TIMER::APMODE_TURN_OFF_LCD), -1);
}

TEST(ApModeScreen, IsThePlainMenuBackground)
{
    uitest::UseBuildResources();
    vk::Resource* resource = vk::Resource::Inst();
    resource->Init(480, 320, true);
    resource->SetPage(WND::APMODE);
    vk::ApMode window { WND::APMODE };
    ipc_msg_t paint { WND::APMODE, WM::PAINT, 0, 0, nullptr };
    window.OnMessage(paint);

    uitest::Screenshot shot("apmode");
    SDL_Surface* background = IMG_Load("rsc/images/4870_bg_menu.png");
    ASSERT_NE(background, nullptr);
    for (auto [x, y] : { std::pair { 5, 5 }, { 240, 160 }, { 470, 310 } })
        EXPECT_EQ(shot.At(x, y), uitest::PixelAt(background, x, y)) << x << "," << y;
    SDL_FreeSurface(background);
    resource->Finalize();
}

} // namespace
