// The parking and driver-assistance menus stepping their values in place, and
// the camera-aiming view that owns the front video output while it is open.

#include "bmworks/bmworks.h"
#include "dashrec/core/Pref.h"
#include "dashrec/menus/FormatRequest.h"
#include "dashrec/ui/Resource.h"
#include "host/display/LcdShot.h"
#include "tests/menus/MenuBus.h"

#include <gtest/gtest.h>

namespace menutest {
namespace {

using vk::Pref;
using vk::Singleton;
namespace STR = vk::STR;
namespace PARKING = vk::PARKING;

Pref* Prefs()
{
    return Singleton<Pref>::Inst();
}

class Settings : public MenuBus {
protected:
    obj_button* ButtonShowing(WND::ID wnd, STR::ID text)
    {
        for (int id = 0; id < 8; ++id) {
            obj_common* obj = Object(wnd, id);
            if (obj != nullptr && obj->obj_type == obj_common::BUTTON && static_cast<obj_button*>(obj)->text_id == text)
                return static_cast<obj_button*>(obj);
        }
        return nullptr;
    }

    bool Shows(WND::ID wnd, STR::ID item, const char* picture)
    {
        obj_button* button = ButtonShowing(wnd, item);
        ImgData* image = Singleton<vk::Resource>::Inst()->GetSurface(picture);
        return button != nullptr && button->image_normal == image && button->image_focus == image;
    }

    void Screenshot(const std::string& name)
    {
        std::string dir = std::string(std::getenv("DASHREC_BINARY_DIR")) + "/screenshots/menus";
        Shell("mkdir -p " + dir);
        EXPECT_TRUE(host::SaveLcdPng(Singleton<vk::Resource>::Inst()->GetHandle(), (dir + "/" + name + ".png").c_str()));
    }
};

struct Stepped {
    STR::ID item;
    int (*get)();
    std::vector<const char*> pictures; // from the default value on, one per OK
};

TEST_F(Settings, ParkingItemsStepInPlaceWrapAndShowTheirPicture)
{
    const Stepped ITEMS[] = {
        { STR::PARKING_GSENSOR, [] { return int(Prefs()->GetParkingGsensorSensitivity()); },
            { "event_common_normal.png", "event_sensitive_normal.png", "event_very_sensitive_normal.png",
                "event_very_insensitive_normal.png", "event_insensitive_normal.png" } },
        { STR::MOTION, [] { return int(Prefs()->GetMotionSensitivity()); },
            { "parking_motion_common_normal.png", "parking_motion_sensitive_normal.png",
                "parking_motion_insensitive_normal.png" } },
        { STR::VOLTAGE, [] { return int(Prefs()->GetVoltage()); },
            { "cutoff_volt_off_122V.png", "cutoff_volt_off_124V.png", "cutoff_volt_off_110V.png",
                "cutoff_volt_off_118V.png", "cutoff_volt_off_120V.png" } },
        { STR::OFFTIMER, [] { return int(Prefs()->GetOffTimer()); },
            { "cutoff_time_03_normal.png", "cutoff_time_06_normal.png", "cutoff_time_12_normal.png",
                "cutoff_time_24_normal.png", "cutoff_time_48_normal.png" } },
        { STR::TEMPERATURE, [] { return int(Prefs()->GetTemperature()); },
            { "cutoff_temp_70.png", "cutoff_temp_75.png", "cutoff_temp_80.png", "cutoff_temp_60.png" } },
    };
    Prefs()->SetTempParkingMode(PARKING::MODE::ON);
    Open(WND::PARKING, WND::MAINMENU);
    for (const Stepped& s : ITEMS) {
        int start = s.get();
        for (size_t step = 0; step <= s.pictures.size(); ++step) {
            EXPECT_TRUE(Shows(WND::PARKING, s.item, s.pictures[step % s.pictures.size()])) << s.item << " step " << step;
            Select(s.item);
        }
        EXPECT_EQ(s.get(), (start + 1) % int(s.pictures.size())) << s.item;
    }
    Screenshot("parking_menu");

    // Stored without saving: the EEPROM still holds the defaults.
    Prefs()->Load();
    EXPECT_EQ(Prefs()->GetTemperature(), PARKING::TEMPERATURE::T70);
}

// The option pages no menu item opens: LEFT on the lowest value gives the
// highest, RIGHT on the highest the lowest, and the value's text follows.
TEST_F(Settings, UnopenedOptionPagesStepAndWrapWithTheirText)
{
    struct Case {
        WND::ID wnd;
        STR::ID key;
        int from;
        int expected;
        STR::ID text;
        int (*get)();
        void (*set)(int);
    } const cases[] = {
        { WND::MODE, STR::RIGHT, 1, 0, STR::OFF, [] { return Prefs()->GetTempParkingMode() ? 1 : 0; },
            [](int v) { Prefs()->SetTempParkingMode(PARKING::MODE::VALUE(v)); } },
        { WND::PARKING_GSENSOR, STR::LEFT, 0, 4, STR::LEVEL_5,
            [] { return int(Prefs()->GetParkingGsensorSensitivity()); },
            [](int v) { Prefs()->SetParkingGsensorSensitivity(PARKING::GSENSOR::VALUE(v)); } },
        { WND::MOTION, STR::RIGHT, 2, 0, STR::LEVEL_2, [] { return int(Prefs()->GetMotionSensitivity()); },
            [](int v) { Prefs()->SetMotionSensitivity(PARKING::MOTION::VALUE(v)); } },
        { WND::VOLTAGE, STR::RIGHT, 4, 0, STR::V11_0, [] { return int(Prefs()->GetVoltage()); },
            [](int v) { Prefs()->SetVoltage(PARKING::VOLTAGE::VALUE(v)); } },
        { WND::TEMPERATURE, STR::RIGHT, 3, 0, STR::T60, [] { return int(Prefs()->GetTemperature()); },
            [](int v) { Prefs()->SetTemperature(PARKING::TEMPERATURE::VALUE(v)); } },
        // The page steps the parking menu's timers, 3 to 48 hours.
        { WND::OFFTIMER, STR::LEFT, 0, 4, STR::H48, [] { return int(Prefs()->GetOffTimer()); },
            [](int v) { Prefs()->SetOffTimer(PARKING::OFFTIMER::VALUE(v)); } },
        { WND::OFFTIMER, STR::RIGHT, 4, 0, STR::H3, [] { return int(Prefs()->GetOffTimer()); },
            [](int v) { Prefs()->SetOffTimer(PARKING::OFFTIMER::VALUE(v)); } },
        { WND::OFFTIMER, STR::RIGHT, 1, 2, STR::H12, [] { return int(Prefs()->GetOffTimer()); },
            [](int v) { Prefs()->SetOffTimer(PARKING::OFFTIMER::VALUE(v)); } },
        { WND::LDWS_MODE, STR::LEFT, 0, 1, STR::ON, [] { return Prefs()->IsLdwsModeOn() ? 1 : 0; },
            [](int v) { v ? Prefs()->SetLdwsModeOn() : Prefs()->SetLdwsModeOff(); } },
        { WND::FCWS_MODE, STR::RIGHT, 1, 0, STR::OFF, [] { return Prefs()->IsFcwsModeOn() ? 1 : 0; },
            [](int v) { v ? Prefs()->SetFcwsModeOn() : Prefs()->SetFcwsModeOff(); } },
    };
    for (const Case& c : cases) {
        c.set(c.from);
        Open(c.wnd, WND::MANAGE);
        Select(c.key);
        EXPECT_EQ(c.get(), c.expected) << "window " << c.wnd << " from " << c.from;
        EXPECT_EQ(TextId(c.wnd, 11), c.text) << "window " << c.wnd << " from " << c.from;
    }
    Screenshot("option_fcws");

    // One dot per timer, the last lit for 48 hours.
    Prefs()->SetOffTimer(PARKING::OFFTIMER::H48);
    Open(WND::OFFTIMER, WND::MANAGE);
    obj_common* last = Object(WND::OFFTIMER, 104);
    ASSERT_TRUE(last != nullptr && last->obj_type == obj_common::IMAGE);
    EXPECT_EQ(static_cast<obj_image*>(last)->image, Singleton<vk::Resource>::Inst()->GetSurface("4830_dot_01.png"));
    EXPECT_EQ(TextId(WND::OFFTIMER, 11), STR::H48);
    Screenshot("option_off_timer");
}

TEST_F(Settings, CutOffMenuShowsEachValueAndOpensItsPage)
{
    Prefs()->SetVoltage(PARKING::VOLTAGE::V12_2);
    Prefs()->SetTemperature(PARKING::TEMPERATURE::T75);
    Prefs()->SetOffTimer(PARKING::OFFTIMER::H48);
    Open(WND::MANAGE, WND::PARKING);
    EXPECT_EQ(TextId(WND::MANAGE, 1202), STR::V12_2);
    EXPECT_EQ(TextId(WND::MANAGE, 1203), STR::T75);
    EXPECT_EQ(TextId(WND::MANAGE, 1204), STR::H48);
    Screenshot("cut_off_menu");
    Select(STR::TEMPERATURE);
    EXPECT_EQ(pages.back(), std::make_pair(int(WND::TEMPERATURE), int(WND::MANAGE)));
}

TEST_F(Settings, SelfCheckShowsItsStateAndTheOffTimerOnlyWithParkingModeChosen)
{
    Prefs()->SetTempParkingMode(PARKING::MODE::OFF);
    Open(WND::PARKING, WND::MAINMENU);
    EXPECT_FALSE(ButtonShowing(WND::PARKING, STR::OFFTIMER)->IsShown());
    obj_button* selfCheck = ButtonShowing(WND::PARKING, STR::SELF_CHECKING);
    EXPECT_FALSE(selfCheck->IsFocused()); // on by default: the normal look

    // The last tile is reached past the hidden one, by touch and by keys.
    Select(STR::SELF_CHECKING);
    EXPECT_FALSE(Prefs()->IsSelfCheckingOn());
    EXPECT_TRUE(selfCheck->IsFocused());
    Key(PARAM1::KEY_UP); // the temperature
    Key(PARAM1::KEY_UP); // over the hidden off timer to the voltage
    EXPECT_TRUE(ButtonShowing(WND::PARKING, STR::VOLTAGE)->IsFocused());
    Key(PARAM1::KEY_DOWN);
    Key(PARAM1::KEY_DOWN);
    Key(PARAM1::KEY_OK);
    EXPECT_TRUE(Prefs()->IsSelfCheckingOn());
    EXPECT_FALSE(selfCheck->IsFocused()); // the OK put the tile's look back to "on"

    Prefs()->SetTempParkingMode(PARKING::MODE::ON);
    Open(WND::PARKING, WND::MAINMENU);
    EXPECT_TRUE(ButtonShowing(WND::PARKING, STR::OFFTIMER)->IsShown());

    // HOME with pending settings that need a format goes to the format dialog.
    Prefs()->SetTempParkingMode(PARKING::MODE::OFF);
    Select(STR::HOME);
    EXPECT_EQ(pages.back(), std::make_pair(int(WND::MENU_FORMAT), vk::FormatRequest::TEMP_FROM_LIVEVIEW));
}

TEST_F(Settings, AssistanceSwitchesToggleAndOpenTheAimingView)
{
    Open(WND::ADAS, WND::NORMAL_RECORDING);
    EXPECT_TRUE(Shows(WND::ADAS, STR::LDWS_MODE, "ldws_off_icon.png"));
    EXPECT_TRUE(Shows(WND::ADAS, STR::FCWS_MODE, "fcws_off_icon.png"));
    EXPECT_TRUE(Shows(WND::ADAS, STR::SAFETY, "ongps_on_normal.png"));
    Select(STR::LDWS_MODE);
    EXPECT_TRUE(Prefs()->IsLdwsModeOn());
    EXPECT_TRUE(Shows(WND::ADAS, STR::LDWS_MODE, "ldws_on_icon.png"));
    Select(STR::LDWS_MODE);
    EXPECT_FALSE(Prefs()->IsLdwsModeOn());
    EXPECT_TRUE(Shows(WND::ADAS, STR::LDWS_MODE, "ldws_off_icon.png"));
    Select(STR::FCWS_MODE);
    Select(STR::SAFETY);
    EXPECT_TRUE(Prefs()->IsFcwsModeOn());
    EXPECT_FALSE(Prefs()->IsSafetyDrivingOn());
    Screenshot("adas_menu");

    BmWorks::Inst()->mVocConfig = VocRear; // the live view was showing the rear camera
    Select(STR::ADAS_CALIBRATION);
    EXPECT_EQ(dvr->CurrentWindow(), WND::ADAS_CALIBRATION);
    EXPECT_EQ(BmWorks::Inst()->GetVideoOutConfig(), VocFront);
    EXPECT_TRUE(BmVideo::IsVisible());

    // OK and the menu key both lead back, and the video layer is hidden again.
    Select(STR::OK_ENG);
    EXPECT_EQ(pages.back(), std::make_pair(int(WND::ADAS), int(WND::ADAS_CALIBRATION)));
    EXPECT_FALSE(BmVideo::IsVisible());
    Select(STR::ADAS_CALIBRATION);
    EXPECT_TRUE(BmVideo::IsVisible());
    Key(PARAM1::KEY_MENU);
    EXPECT_EQ(dvr->CurrentWindow(), WND::ADAS);
    EXPECT_FALSE(BmVideo::IsVisible());
}

} // namespace
} // namespace menutest
