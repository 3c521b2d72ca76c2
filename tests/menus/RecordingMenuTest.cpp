// The recording menu and the option screens: values stepped in place with
// their pictures, what reaches the cameras at once and what waits.

#include "tests/menus/MenuFixture.h"

#include "bmworks/bmworks.h"
#include "dashrec/menus/CMenuNormal.h"
#include "dashrec/menus/RecordingScreens.h"
#include "mpp_comm/soc_isp.h"
#include "mpp_comm/soc_sys.h"

#include <set>

namespace menutest {
namespace {

using vk::Pref;
namespace RECORDING = vk::RECORDING;

enum NormalButton { HOME, RETURN, GSENSOR, EV, NIGHTVISION, MIRROR, ADAS };

class RecordingMenu : public MenuTest {
protected:
    void SetUp() override
    {
        MenuTest::SetUp();
        Make<vk::CMenuNormal>(WND::NORMAL_RECORDING);
        Open(WND::MAINMENU, WND::LIVEVIEW);
        Open(WND::NORMAL_RECORDING, WND::MAINMENU);
    }

    obj_button* Button(unsigned index) { return windows.at(WND::NORMAL_RECORDING)->GetButtons().at(index); }

    int Brightness() { return BmWorks::Inst()->bmMux[Front].mVideo.GetBrightness(); }
};

TEST_F(RecordingMenu, ShockSensorStepsThroughItsSixLevelsWithTheirPictures)
{
    const char* pictures[] = { "event_off_normal.png", "event_very_insensitive_normal.png",
        "event_insensitive_normal.png", "event_common_normal.png", "event_sensitive_normal.png",
        "event_very_sensitive_normal.png" };
    pref->SetNormalGsensorSensitivity(RECORDING::GSENSOR::LEVEL_4);
    Open(WND::NORMAL_RECORDING, WND::MAINMENU);
    EXPECT_EQ(Button(GSENSOR)->image_normal, Picture(pictures[4]));
    for (int expected : { 5, 0, 1 }) {
        Choose(GSENSOR);
        EXPECT_EQ(pref->GetNormalGsensorSensitivity(), expected);
        EXPECT_EQ(Button(GSENSOR)->image_normal, Picture(pictures[expected]));
        EXPECT_EQ(Button(GSENSOR)->image_focus, Picture(pictures[expected])) << "the picture is also the focused one";
    }
}

TEST_F(RecordingMenu, ExposureReachesTheCamerasOnEveryStepAlsoBackToTheFirst)
{
    // The image processor as the engine brings it up.
    SOC_SYS_CONF_S conf { 16 };
    ASSERT_EQ(SOC_MPI_SYS_SetConf(&conf), 0);
    ASSERT_EQ(SOC_MPI_SYS_Init(), 0);
    ASSERT_EQ(SOC_MPI_ISP_Init(), 0);
    std::set<int> seenBrightness;
    pref->SetEV(RECORDING::EV::LEVEL_1);
    Choose(EV);
    int first = Brightness();
    for (int expected : { 2, 0, 1 }) {
        Choose(EV);
        EXPECT_EQ(pref->GetEV(), expected);
        seenBrightness.insert(Brightness());
    }
    EXPECT_EQ(seenBrightness.size(), 3u);
    EXPECT_EQ(Brightness(), first);
    EXPECT_EQ(Button(EV)->image_normal, Picture("driving_ev_normal.png"));
}

TEST_F(RecordingMenu, NightVisionChangesOnlyThePendingValueAndMirrorReachesTheEngineInverted)
{
    RECORDING::NIGHTVISION::VALUE active = pref->GetNightvision();
    pref->SetTempNightvision(active);
    Open(WND::NORMAL_RECORDING, WND::MAINMENU);
    Choose(NIGHTVISION);
    EXPECT_NE(pref->GetTempNightvision(), active);
    EXPECT_EQ(pref->GetNightvision(), active);
    EXPECT_EQ(Button(NIGHTVISION)->image_normal,
        Picture(pref->GetTempNightvision() == RECORDING::NIGHTVISION::ON ? "driving_nightvision_on.png"
                                                                         : "driving_nightvision_off.png"));

    for (int round = 0; round < 2; ++round) {
        Choose(MIRROR);
        bool mirrored = pref->GetMirrorRear() == RECORDING::MIRROR_REAR::ON;
        EXPECT_EQ(BmWorks::Inst()->bmMux[Rear].mVideo.mMirror, !mirrored);
    }
}

TEST_F(RecordingMenu, AdasHomeAndReturnLeadOn)
{
    EXPECT_EQ(Leads(ADAS), WND::ADAS);
    Open(WND::NORMAL_RECORDING, WND::MAINMENU); // the driver-assistance menu now opens for real
    EXPECT_EQ(Leads(RETURN), WND::PREVIOUS_MENU);
    Open(WND::NORMAL_RECORDING, WND::MAINMENU);
    EXPECT_EQ(Leads(HOME), WND::LIVEVIEW);
}

// RETURN posts KEY_MENU without a click of its own: one click for each way.
TEST_F(RecordingMenu, ReturnAndMenuKeyCloseAlike)
{
    EXPECT_EQ(Leads(RETURN), WND::PREVIOUS_MENU);
    EXPECT_EQ(dvr->CurrentWindow(), WND::MAINMENU);
    Open(WND::NORMAL_RECORDING, WND::MAINMENU);
    Key(PARAM1::KEY_MENU);
    ASSERT_TRUE(Reached(WND::MAINMENU));
    EXPECT_EQ(SeenCount(Is(WND::NORMAL_RECORDING, WM::BUTTON, PARAM1::KEY_MENU)), 2u);
    EXPECT_EQ(SeenCount([](const ipc_msg_t& m) {
        return m.wnd == WND::NORMAL_RECORDING && m.cmd == WM::BUTTON && m.param2 == vk::PARAM2::NO_SOUND;
    }),
        1u);
}

// LEFT on the lowest value gives the highest, RIGHT on the highest the lowest;
// the value's text and its dot follow.
TEST_F(MenuTest, OptionScreensStepAndWrapWithTheirTextAndDot)
{
    struct Case {
        WND::ID wnd;
        int buttonPressed; // 2 LEFT, 3 RIGHT
        int from;
        int expected;
        STR::ID text;
    } const cases[] = {
        { WND::EV, 2, 0, 2, STR::EV_3 },
        { WND::EV, 3, 2, 0, STR::EV_1 },
        { WND::VIDEO_SIZE, 3, 2, 0, STR::WQHD },
        { WND::VIDEO_SIZE, 2, 1, 0, STR::WQHD },
        { WND::NORMAL_GSENSOR, 2, 0, 5, STR::LEVEL_5 },
        { WND::NIGHTVISION, 3, 1, 0, STR::OFF },
        { WND::LONGTIME, 2, 0, 1, STR::ON },
    };
    Make<vk::CEV>(WND::EV);
    Make<vk::CVideoSize>(WND::VIDEO_SIZE);
    Make<vk::CNormalGsensor>(WND::NORMAL_GSENSOR);
    Make<vk::CNightVision>(WND::NIGHTVISION);
    Make<vk::CLongtime>(WND::LONGTIME);
    struct Access {
        WND::ID wnd;
        int (*get)();
        void (*set)(int);
    };
    const Access access[] = {
        { WND::EV, [] { return int(Singleton<Pref>::Inst()->GetEV()); },
            [](int v) { Singleton<Pref>::Inst()->SetEV(RECORDING::EV::VALUE(v)); } },
        { WND::VIDEO_SIZE, [] { return int(Singleton<Pref>::Inst()->GetTempVideoSize()); },
            [](int v) { Singleton<Pref>::Inst()->SetTempVideoSize(RECORDING::VIDEO_SIZE::VALUE(v)); } },
        { WND::NORMAL_GSENSOR, [] { return int(Singleton<Pref>::Inst()->GetNormalGsensorSensitivity()); },
            [](int v) { Singleton<Pref>::Inst()->SetNormalGsensorSensitivity(RECORDING::GSENSOR::VALUE(v)); } },
        { WND::NIGHTVISION, [] { return int(Singleton<Pref>::Inst()->GetTempNightvision()); },
            [](int v) { Singleton<Pref>::Inst()->SetTempNightvision(RECORDING::NIGHTVISION::VALUE(v)); } },
        { WND::LONGTIME, [] { return int(Singleton<Pref>::Inst()->GetTempLongTimeRecord()); },
            [](int v) { Singleton<Pref>::Inst()->SetTempLongTimeRecord(RECORDING::LONGTIME_RECORD::VALUE(v)); } },
    };
    Open(WND::MAINMENU, WND::LIVEVIEW);
    for (const Case& c : cases) {
        const Access* a = nullptr;
        for (const Access& each : access)
            if (each.wnd == c.wnd)
                a = &each;
        a->set(c.from);
        Open(c.wnd, WND::MAINMENU);
        Choose(unsigned(c.buttonPressed));
        EXPECT_EQ(a->get(), c.expected) << "window " << c.wnd;
        auto* value = static_cast<obj_text*>(vk::Resource::Inst()->GetStateComponent(c.wnd, 11));
        EXPECT_EQ(value->text_id, c.text) << "window " << c.wnd;
        auto* lit = static_cast<obj_image*>(vk::Resource::Inst()->GetStateComponent(c.wnd, 100 + c.expected));
        auto* unlit = static_cast<obj_image*>(vk::Resource::Inst()->GetStateComponent(c.wnd, 100 + c.from));
        EXPECT_EQ(lit->image, Picture("4830_dot_01.png")) << "window " << c.wnd;
        EXPECT_EQ(unlit->image, Picture("4830_dot_00.png")) << "window " << c.wnd;
    }
    // Back from the information page the screen still returns to its own caller.
    Open(WND::EV, WND::MAINMENU);
    EXPECT_EQ(Leads(0), WND::VERSION);
    Open(WND::EV, WND::VERSION);
    EXPECT_EQ(windows.at(WND::EV)->GetCaller(), WND::MAINMENU);
}

TEST_F(RecordingMenu, Screens)
{
    Key(PARAM1::KEY_DOWN);
    Key(PARAM1::KEY_DOWN);
    Screenshot("recording_menu");
    Make<vk::CEV>(WND::EV);
    Open(WND::EV, WND::NORMAL_RECORDING);
    Screenshot("option_ev");
}

} // namespace
} // namespace menutest
