// The system menu, the information page and the factory reset.

#include "tests/menus/MenuFixture.h"

#include "dashrec/menus/CReset.h"
#include "dashrec/menus/CVersion.h"
#include "dashrec/menus/SystemScreens.h"

#include <sys/stat.h>

namespace menutest {
namespace {

using runmode::Count;
using vk::Pref;
namespace SYSTEM = vk::SYSTEM;
namespace RECORDING = vk::RECORDING;

enum SystemButton { HOME, RETURN, VOICE, VOLUME, LCD, DATE_TIME, VERSION, RESET };

class SystemMenu : public MenuTest {
protected:
    void SetUp() override
    {
        MenuTest::SetUp();
        Make<vk::CVersion>(WND::VERSION);
        Make<vk::CReset>(WND::RESET);
        Open(WND::MAINMENU, WND::LIVEVIEW);
        Open(WND::SYSTEM, WND::MAINMENU);
    }

    obj_button* Button(unsigned index) { return windows.at(WND::SYSTEM)->GetButtons().at(index); }
    size_t VolumeApplied() { return Count(runmode::ShimLog(), "amixer"); }
};

TEST_F(SystemMenu, ValuesStepInPlaceWithTheirPictures)
{
    const char* volumes[] = { "volume_off_normal.png", "volume_low_normal.png", "volume_common_normal.png",
        "volume_high_normal.png" };
    const char* displays[] = { "lcd_second_continuous_normal.png", "lcd_second_30_normal.png",
        "lcd_second_60_normal.png", "lcd_second_120_normal.png" };
    pref->SetVolume(SYSTEM::VOLUME::LEVEL_3);
    pref->SetLCDDisplay(SYSTEM::DISPLAY::SEC120);
    pref->SetVoiceGuidanceOn();
    Open(WND::SYSTEM, WND::MAINMENU);
    EXPECT_EQ(Button(VOLUME)->image_normal, Picture(volumes[3]));
    for (int expected : { 0, 1 }) {
        size_t applied = VolumeApplied();
        Choose(VOLUME);
        EXPECT_EQ(pref->GetVolume(), expected);
        EXPECT_EQ(Button(VOLUME)->image_focus, Picture(volumes[expected]));
        EXPECT_GT(VolumeApplied(), applied) << "the volume reaches the speaker at once";
    }
    Choose(LCD);
    EXPECT_EQ(pref->GetLCDDisplay(), SYSTEM::DISPLAY::OFF);
    EXPECT_EQ(Button(LCD)->image_normal, Picture(displays[0]));
    Choose(VOICE);
    EXPECT_FALSE(pref->IsVoiceGuidanceOn());
    EXPECT_EQ(Button(VOICE)->image_normal, Picture("voice_off_normal.png"));

    // The loudest volume the phone app may store shows as the highest here.
    pref->SetVolume(SYSTEM::VOLUME::LEVEL_4);
    Open(WND::SYSTEM, WND::MAINMENU);
    EXPECT_EQ(Button(VOLUME)->image_normal, Picture(volumes[3]));
    Choose(VOLUME);
    EXPECT_EQ(pref->GetVolume(), SYSTEM::VOLUME::OFF);
}

TEST_F(SystemMenu, ItemsLeadOnAndTheInformationPageKeepsTheCaller)
{
    EXPECT_EQ(Leads(DATE_TIME), WND::DATE_TIME);
    Open(WND::SYSTEM, WND::MAINMENU);
    EXPECT_EQ(Leads(RESET), WND::RESET);
    Open(WND::SYSTEM, WND::MAINMENU);
    EXPECT_EQ(Leads(VERSION), WND::VERSION);
    EXPECT_EQ(Leads(RETURN), WND::PREVIOUS_MENU) << "the information page goes back";
    EXPECT_EQ(dvr->CurrentWindow(), WND::SYSTEM);
    EXPECT_EQ(windows.at(WND::SYSTEM)->GetCaller(), WND::MAINMENU);
    EXPECT_EQ(Leads(RETURN), WND::PREVIOUS_MENU);
    EXPECT_EQ(dvr->CurrentWindow(), WND::MAINMENU);
}

TEST_F(SystemMenu, InformationPageLines)
{
    pref->SetVideoSize(RECORDING::VIDEO_SIZE::FHD);
    pref->SetLongTimeRecord(RECORDING::LONGTIME_RECORD::OFF);
    pref->SetNightvision(RECORDING::NIGHTVISION::ON);
    pref->SetEV(RECORDING::EV::LEVEL_3);
    pref->SetLanguage(SYSTEM::LANGUAGE::ENGLISH);
    Open(WND::VERSION, WND::SYSTEM);
    auto version = std::static_pointer_cast<vk::CVersion>(windows.at(WND::VERSION));
    EXPECT_EQ(std::string(version->Line(0)).rfind("DASHREC (v1.1.4-", 0), 0u) << version->Line(0);
    EXPECT_NE(std::string(version->Line(0)).find("K)"), std::string::npos) << version->Line(0);
    EXPECT_EQ(std::string(version->Line(1)).rfind("eMMC : ", 0), 0u) << version->Line(1);
    EXPECT_STREQ(version->Line(2), "FRONT : FHD, REAR : FHD");
    EXPECT_STREQ(version->Line(3), "NIGHT VISION : ON ,  BRIGHTNESS : BRIGHT");
    EXPECT_EQ(std::string(version->Line(4)).rfind("PARKING MODE : ", 0), 0u) << version->Line(4);
    EXPECT_EQ(std::string(version->Line(5)).rfind("SAFETY DB : ", 0), 0u) << version->Line(5);
    pref->SetLongTimeRecord(RECORDING::LONGTIME_RECORD::ON);
    Open(WND::VERSION, WND::SYSTEM);
    EXPECT_STREQ(version->Line(2), "FRONT : HD, REAR : FHD");
}

// Three touches on the page within one visit start the card check when a
// card is in; touches of an earlier visit do not count.
TEST_F(SystemMenu, ThreeTouchesWithinOneVisitAskForTheCardCheck)
{
    EXPECT_EQ(Leads(VERSION), WND::VERSION);
    int away = 240 << 12 | 300; // on no button
    for (int i = 0; i < 4; ++i)
        Key(PARAM1::TOUCH, away);
    struct stat info {};
    EXPECT_NE(stat("/tmp/verify", &info), 0) << "no card: nothing happens";
    EXPECT_NE(LastClose(WND::VERSION).cmd, WM::CLOSE);

    runmode::InsertCard("wqhd fhd 30 30 sd sd mstar");
    runmode::MountCard();
    dvr->OnSDCard(true);
    Key(PARAM1::TOUCH, away); // the count went on growing without a card
    EXPECT_TRUE(Handled([&] { return LastClose(WND::VERSION).param1 == WND::MENU_FORMAT; }));
    EXPECT_EQ(stat("/tmp/verify", &info), 0);
    ASSERT_TRUE(Reached(WND::MENU_FORMAT));
    ASSERT_EQ(runmode::Shell("rm /tmp/verify"), 0);

    Open(WND::SYSTEM, WND::MAINMENU);
    EXPECT_EQ(Leads(VERSION), WND::VERSION);
    Key(PARAM1::TOUCH, away);
    Key(PARAM1::TOUCH, away);
    EXPECT_EQ(Leads(RETURN), WND::PREVIOUS_MENU);
    EXPECT_EQ(Leads(VERSION), WND::VERSION);
    Key(PARAM1::TOUCH, away);
    PumpFor(50);
    EXPECT_NE(stat("/tmp/verify", &info), 0) << "a first touch of this visit";
    EXPECT_EQ(dvr->CurrentWindow(), WND::VERSION);
    Key(PARAM1::TOUCH, away);
    Key(PARAM1::TOUCH, away);
    EXPECT_TRUE(Handled([&] { return LastClose(WND::VERSION).param1 == WND::MENU_FORMAT; }));
    EXPECT_EQ(stat("/tmp/verify", &info), 0);
}

// What the eMMC reports is shown as it was read: a size that could not be
// read is never dressed up as the smallest class.
TEST_F(SystemMenu, InformationPageShowsTheEmmcSizeAsRead)
{
    const std::string cardTool = runmode::Source() + "/host/card/card.sh";
    const struct {
        const char* name;
        int mib; // 0: no eMMC
        const char* line;
    } cases[] = {
        { "no eMMC", 0, "eMMC : N/A" },
        { "an implausibly small one", 100, "eMMC : ERR" },
        { "a readable one", 600, "eMMC : 64GB" },
    };
    pref->SetLanguage(SYSTEM::LANGUAGE::ENGLISH);
    auto version = std::static_pointer_cast<vk::CVersion>(windows.at(WND::VERSION));
    for (const auto& c : cases) {
        if (c.mib != 0) {
            ASSERT_EQ(runmode::Shell("rm -f /tmp/emmc.img && " + cardTool + " make /tmp/emmc.img " + std::to_string(c.mib)
                          + " && " + cardTool + " attach emmc /tmp/emmc.img"),
                0);
        }
        Open(WND::VERSION, WND::SYSTEM);
        EXPECT_STREQ(version->Line(1), c.line) << c.name;
        if (c.mib == 0)
            Screenshot("version_no_emmc");
        else
            ASSERT_EQ(runmode::Shell(cardTool + " detach emmc"), 0);
    }
}

TEST_F(SystemMenu, ResetLoadsTheDefaultsThroughAFormatOrARestartWhereNeeded)
{
    struct Case {
        const char* name;
        void (*change)(Pref*);
        int target;
        int param2;
        bool loaded; // the defaults are loaded at once
    } const cases[] = {
        { "nothing that needs more", [](Pref*) {}, WND::SYSTEM, WND::RESET, true },
        { "night vision", [](Pref* p) { p->SetNightvision(RECORDING::NIGHTVISION::ON); }, WND::RESTART, WND::RESET,
            true },
        { "video size", [](Pref* p) { p->SetVideoSize(RECORDING::VIDEO_SIZE::HD); }, WND::MENU_FORMAT,
            0xF20000 | WND::RESET, false },
        { "parking mode", [](Pref* p) { p->SetParkingModeOff(); }, WND::MENU_FORMAT, 0xF20000 | WND::RESET, false },
        { "long-time recording", [](Pref* p) { p->SetLongTimeRecord(RECORDING::LONGTIME_RECORD::ON); },
            WND::MENU_FORMAT, 0xF20000 | WND::RESET, false },
    };
    for (const Case& c : cases) {
        pref->LoadDefault();
        pref->SetVolume(SYSTEM::VOLUME::OFF); // what the defaults bring back
        c.change(pref);
        Open(WND::RESET, WND::SYSTEM);
        EXPECT_EQ(windows.at(WND::RESET)->GetButtonsFocused(), 1u) << c.name << ": focus on RETURN";
        size_t applies = SeenCount(Is(WND::CMAIN_DVR, WM::APPLY_USER_PREF));
        EXPECT_EQ(Leads(3), c.target) << c.name; // OK
        EXPECT_EQ(LastClose(WND::RESET).param2, c.param2) << c.name;
        EXPECT_EQ(pref->GetVolume() == Pref::DEF_VOLUME, c.loaded) << c.name;
        PumpFor(50);
        EXPECT_EQ(SeenCount(Is(WND::CMAIN_DVR, WM::APPLY_USER_PREF)) - applies, c.target == WND::SYSTEM ? 1u : 0u)
            << c.name;
    }
    Open(WND::RESET, WND::SYSTEM);
    EXPECT_EQ(Leads(2), WND::PREVIOUS_MENU); // CANCEL
    EXPECT_EQ(pref->GetVolume(), SYSTEM::VOLUME::OFF);
}

TEST_F(MenuTest, SystemOptionScreensAndTheirMenus)
{
    Make<vk::CVolume>(WND::VOLUME);
    Make<vk::CLanguage>(WND::LANGUAGE);
    Make<vk::CVoice>(WND::VOICE);
    Make<vk::CSettings>(WND::SETTINGS);
    Open(WND::MAINMENU, WND::LIVEVIEW);

    pref->SetVolume(SYSTEM::VOLUME::LEVEL_4);
    Open(WND::VOLUME, WND::SOUND);
    Choose(3); // RIGHT wraps to off
    EXPECT_EQ(pref->GetVolume(), SYSTEM::VOLUME::OFF);

    pref->SetLanguage(SYSTEM::LANGUAGE::JAPANESE);
    Open(WND::LANGUAGE, WND::SETTINGS);
    for (int expected : { SYSTEM::LANGUAGE::ENGLISH, SYSTEM::LANGUAGE::KOREAN, SYSTEM::LANGUAGE::ENGLISH }) {
        Choose(2); // LEFT and RIGHT alike
        EXPECT_EQ(pref->GetLanguage(), expected);
    }
    auto dot = [](int id) { return static_cast<obj_image*>(vk::Resource::Inst()->GetStateComponent(WND::LANGUAGE, id)); };
    EXPECT_EQ(dot(100)->image, Picture("4830_dot_01.png")) << "English";

    pref->SetVoiceGuidanceOn();
    Open(WND::VOICE, WND::SOUND);
    Choose(3);
    EXPECT_FALSE(pref->IsVoiceGuidanceOn());
    Choose(2);
    EXPECT_TRUE(pref->IsVoiceGuidanceOn());

    pref->SetLCDDisplay(SYSTEM::DISPLAY::SEC60);
    Open(WND::SETTINGS, WND::SYSTEM);
    auto sub = [](int id) { return static_cast<obj_text*>(vk::Resource::Inst()->GetStateComponent(WND::SETTINGS, id)); };
    EXPECT_FALSE(sub(1202)->IsShown());
    EXPECT_EQ(sub(1203)->text_id, STR::SEC60);
    EXPECT_EQ(sub(1204)->text_id, STR::ENGLISH);
    EXPECT_EQ(Leads(4), WND::LANGUAGE);
}

TEST_F(SystemMenu, Screens)
{
    pref->SetLanguage(SYSTEM::LANGUAGE::ENGLISH);
    Key(PARAM1::KEY_DOWN);
    Key(PARAM1::KEY_DOWN);
    Key(PARAM1::KEY_DOWN);
    Screenshot("system_menu");
    Open(WND::VERSION, WND::SYSTEM);
    Screenshot("version");
}

} // namespace
} // namespace menutest
