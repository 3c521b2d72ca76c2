#include "dashrec/menus/CMenuParking.h"

#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/devices/Micom.h"

namespace vk {

namespace {

Pref* Prefs()
{
    return Singleton<Pref>::Inst();
}

std::vector<SettingsWindow::Value> Values()
{
    return {
        { STR::PARKING_GSENSOR, "[CMenuParking]PARKING_GSENSOR selected\n", PARKING::GSENSOR::MAX,
            [] { return static_cast<int>(Prefs()->GetParkingGsensorSensitivity()); },
            [](int level) { Prefs()->SetParkingGsensorSensitivity(PARKING::GSENSOR::VALUE(level)); },
            { "event_very_insensitive_normal.png", "event_insensitive_normal.png", "event_common_normal.png",
                "event_sensitive_normal.png", "event_very_sensitive_normal.png" },
            "0 && \"[CMenuParking]Invalid PARKING_GSENSOR Value\\n\"" },
        { STR::MOTION, "[CMenuParking]MOTION selected\n", PARKING::MOTION::MAX,
            [] { return static_cast<int>(Prefs()->GetMotionSensitivity()); },
            [](int level) { Prefs()->SetMotionSensitivity(PARKING::MOTION::VALUE(level)); },
            { "parking_motion_insensitive_normal.png", "parking_motion_common_normal.png",
                "parking_motion_sensitive_normal.png" },
            "0 && \"[CMenuParking]Invalid MOTION Value\\n\"" },
        { STR::OFFTIMER, "[CMenuParking]OFFTIMER selected\n", PARKING::OFFTIMER::MAX,
            [] { return static_cast<int>(Prefs()->GetOffTimer()); },
            [](int timer) { Prefs()->SetOffTimer(PARKING::OFFTIMER::VALUE(timer)); },
            { "cutoff_time_03_normal.png", "cutoff_time_06_normal.png", "cutoff_time_12_normal.png",
                "cutoff_time_24_normal.png", "cutoff_time_48_normal.png" },
            "0 && \"[CMenuParking]Invalid OFFTIMER Value\\n\"" },
        { STR::TEMPERATURE, "[CMenuParking]TEMPERATURE selected\n", PARKING::TEMPERATURE::MAX,
            [] { return static_cast<int>(Prefs()->GetTemperature()); },
            [](int temperature) { Prefs()->SetTemperature(PARKING::TEMPERATURE::VALUE(temperature)); },
            { "cutoff_temp_60.png", "cutoff_temp_70.png", "cutoff_temp_75.png", "cutoff_temp_80.png" },
            "0 && \"[CMenuParking]Invalid TEMPERATURE Value\\n\"" },
    };
}

// A truck's battery is twice a car's: the same stored step means twice the voltage.
const char* const CAR_VOLTAGES[] = { "cutoff_volt_off_110V.png", "cutoff_volt_off_118V.png",
    "cutoff_volt_off_120V.png", "cutoff_volt_off_122V.png", "cutoff_volt_off_124V.png" };
const char* const TRUCK_VOLTAGES[] = { "cutoff_volt_off_220V.png", "cutoff_volt_off_236V.png",
    "cutoff_volt_off_240V.png", "cutoff_volt_off_244V.png", "cutoff_volt_off_248V.png" };

} // namespace

CMenuParking::CMenuParking(WND::ID wnd)
    : SettingsWindow(wnd, "CMenuParking",
          { STR::HOME, STR::MENU_RETURN, STR::PARKING_GSENSOR, STR::MOTION, STR::VOLTAGE, STR::OFFTIMER,
              STR::TEMPERATURE, STR::SELF_CHECKING },
          VERSION_LINE | WATCHES_USB)
{
    SetValues(Values());
}

void CMenuParking::UpdateSubText()
{
    SettingsWindow::UpdateSubText();
    int voltage = Prefs()->GetVoltage();
    if (voltage < 0 || voltage >= PARKING::VOLTAGE::MAX)
        VK_ASSERT_REPORT("0 && \"[CMenuParking]Invalid VOLTAGE Value\\n\"");
    bool truck = Singleton<Micom>::Inst()->IsTruck();
    SetButtonPicture(ButtonOf(STR::VOLTAGE), (truck ? TRUCK_VOLTAGES : CAR_VOLTAGES)[voltage]);

    // The self-check shows its state as the tile's look: normal when on.
    obj_button* selfCheck = ButtonOf(STR::SELF_CHECKING);
    if (Prefs()->IsSelfCheckingOn())
        selfCheck->SetNormal();
    else
        selfCheck->SetFocus();

    obj_button* offTimer = ButtonOf(STR::OFFTIMER);
    if (Prefs()->GetTempParkingMode())
        offTimer->SetShow();
    else
        offTimer->SetHide();
}

bool CMenuParking::OnItem(STR::ID item)
{
    Pref* pref = Prefs();
    switch (item) {
    case STR::VOLTAGE:
        pref->SetVoltage(PARKING::VOLTAGE::VALUE((pref->GetVoltage() + 1) % PARKING::VOLTAGE::MAX));
        break;
    case STR::SELF_CHECKING:
        Log("SELF_CHECKING selected\n");
        if (pref->IsSelfCheckingOn())
            pref->SetSelfCheckingOff();
        else
            pref->SetSelfCheckingOn();
        break;
    default:
        return false;
    }
    UpdateSubText();
    Paint();
    return true;
}

} // namespace vk
