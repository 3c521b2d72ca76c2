// Ignition, parking entry and reboot as the run mode's handlers see them, one
// row after another on one recorder: what each posts, the mode it leaves and
// the timer it arms.

#include "dashrec/core/Pref.h"
#include "dashrec/menus/EmmcInfo.h"
#include "dashrec/ui/UITimer.h"
#include "tests/runmode/Harness.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using namespace runmode;

enum Mode { NORMAL, PARKING, RESTART };

Mode ModeOf(CMainDvr* dvr)
{
    return dvr->IsNormalMode() ? NORMAL : dvr->IsParkingMode() ? PARKING : RESTART;
}

void Acc(int onOff)
{
    ipc_msg_t msg = Message(WND::CMAIN_DVR, WM::ACC, onOff);
    Singleton<CMainDvr>::Inst()->OnAcc(msg);
}

// The timer service delivers an expired timer once and forgets it.
void Expire(vk::TIMER::ID id)
{
    Singleton<vk::UITimer>::Inst()->Kill(WND::CMAIN_DVR, id);
    FireTimer(id);
}

void EmmcWear(const char* lifeTime)
{
    Shell("mkdir -p '" + vk::EmmcInfo::_path + "'");
    Shell("echo " + std::string(lifeTime) + " > '" + vk::EmmcInfo::_path + "life_time'");
}

vk::Pref* Prefs()
{
    return Singleton<vk::Pref>::Inst();
}

TEST(Ignition, FollowsTheIgnitionIntoAndOutOfParking)
{
    PrepareBoard();
    CMainDvr* dvr = InitializeRecorder();
    const Posted shutdownAccOff { WND::CMAIN_DVR, WM::SHUTDOWN, vk::Micom::ACC_OFF, 0 };
    const Posted startParking { WND::LIVEVIEW, WM::START_PARKING_MODE, 0, 0 };
    struct Case {
        const char* name;
        std::function<void()> setup;
        std::function<void()> act;
        std::vector<Posted> posted;
        Mode mode;
        vk::TIMER::ID timer;
        long long armedMs; // -1: not armed
    };
    const Case cases[] = {
        { "ACC on while driving changes nothing", [] {}, [] { Acc(vk::PARAM1::ACC_ON); }, {}, NORMAL,
          TIMER::NO_SDCARD_IN_PARKING_MODE, -1 },
        { "ACC off with parking switched off powers down", [] { Prefs()->SetParkingModeOff(); },
          [] { Acc(vk::PARAM1::ACC_OFF); }, { shutdownAccOff }, NORMAL, TIMER::NO_SDCARD_IN_PARKING_MODE, -1 },
        { "ACC off with parking on and a card parks",
          [] {
              Prefs()->SetParkingModeOn();
              InsertCard("");
          },
          [] { Acc(vk::PARAM1::ACC_OFF); }, { startParking }, PARKING, TIMER::NO_SDCARD_IN_PARKING_MODE, -1 },
        { "ACC on while parked drives on", [] {}, [] { Acc(vk::PARAM1::ACC_ON); },
          { { WND::LIVEVIEW, WM::STOP_PARKING_MODE, 1, 0 } }, NORMAL, TIMER::NO_SDCARD_IN_PARKING_MODE, -1 },
        { "ACC on while parked with an update file on the card restarts into the update",
          [dvr] {
              dvr->SetParkingMode();
              Shell("touch /mnt/extsd/zentro_v2.bin");
          },
          [] { Acc(vk::PARAM1::ACC_ON); }, { { WND::CMAIN_DVR, WM::REBOOT, 0, 0 } }, PARKING,
          TIMER::NO_SDCARD_IN_PARKING_MODE, -1 },
        { "ACC off without a card parks and gives the card a minute",
          [dvr] {
              Shell("rm -f /mnt/extsd/zentro_v2.bin");
              RemoveCard();
              dvr->SetNormalMode();
          },
          [] { Acc(vk::PARAM1::ACC_OFF); }, { startParking }, PARKING, TIMER::NO_SDCARD_IN_PARKING_MODE, 60000 },
        { "still parked without a card after the minute: power-down", [] {},
          [] { Expire(TIMER::NO_SDCARD_IN_PARKING_MODE); },
          { { WND::CMAIN_DVR, WM::SHUTDOWN, vk::Micom::NORMAL_OFF_POWER, 0 } }, PARKING,
          TIMER::NO_SDCARD_IN_PARKING_MODE, -1 },
        { "a card back within the minute keeps the recorder running", [dvr] { dvr->SetNormalMode(); },
          [] {
              Acc(vk::PARAM1::ACC_OFF);
              InsertCard("");
              Expire(TIMER::NO_SDCARD_IN_PARKING_MODE);
          },
          { startParking }, PARKING, TIMER::NO_SDCARD_IN_PARKING_MODE, -1 },
        { "ACC off with a worn eMMC recording never parks",
          [dvr] {
              dvr->SetNormalMode();
              Prefs()->SetInternalStorageRecording();
              EmmcWear("0x0a");
          },
          [] { Acc(vk::PARAM1::ACC_OFF); }, { shutdownAccOff }, NORMAL, TIMER::NO_SDCARD_IN_PARKING_MODE, -1 },
        { "ACC off with an eMMC that cannot be written never parks", [] { EmmcWear("0x01"); },
          [] { Acc(vk::PARAM1::ACC_OFF); }, { shutdownAccOff }, NORMAL, TIMER::NO_SDCARD_IN_PARKING_MODE, -1 },
        { "a reboot closes the live view to the dummy window and ends in half a second", [] {},
          [dvr] {
              ipc_msg_t msg = Message(WND::CMAIN_DVR, WM::REBOOT);
              dvr->OnReboot(msg);
          },
          { { WND::LIVEVIEW, WM::CLOSE, WND::DUMMY, 0 } }, RESTART, TIMER::REBOOT, 500 },
    };
    for (const Case& c : cases) {
        c.setup();
        Drain();
        c.act();
        EXPECT_EQ(Drain(), c.posted) << c.name;
        EXPECT_EQ(ModeOf(dvr), c.mode) << c.name;
        EXPECT_EQ(Armed(c.timer), c.armedMs) << c.name;
    }
    dvr->Finalize();
}

} // namespace
