// The factory test run mode driven through the bus against the board
// simulator's MCU and GPS, a card with its parameter file, the eMMC and what
// the microphone hears: a good unit passes every item, a bad one fails them,
// and the screen the production line sees is saved.

#include "dashrec/core/Pref.h"
#include "dashrec/devices/Eeprom.h"
#include "dashrec/devices/Micom.h"
#include "dashrec/modes/CMainFactory.h"
#include "dashrec/ui/Resource.h"
#include "host/board/Sysfs.h"
#include "host/soc/Vo.h"
#include "tests/prefs/ChipFiles.h"
#include "tests/service/ServiceBench.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace service;
using vk::CMainFactory;
using vk::Singleton;
namespace WM = vk::WM;
namespace WND = vk::WND;
namespace PARAM1 = vk::PARAM1;

const char* const PARAMETERS = "[settings]\n"
                               "micom = 7\n"
                               "version = v1.1.4-7\n"
                               "gpslock_time = 60\n"
                               "voltage_min = 11.5\n"
                               "voltage_max = 13.0\n"
                               "temperature_min = 10\n"
                               "temperature_max = 35\n"
                               "gps_nsat = 4\n"
                               "gps_level = 30\n"
                               "mic = 1000\n";

const unsigned WHITE = 0xFFFFFFFF;
const unsigned RED = 0xFFFF0000;

obj_common* Item(int id)
{
    return Singleton<vk::Resource>::Inst()->GetStateComponent(WND::CMAIN_FACTORY, id);
}

std::string Text(int id)
{
    obj_common* item = Item(id);
    const char* text = item->obj_type == obj_common::TEXT ? static_cast<obj_text*>(item)->text_ptr
                                                          : static_cast<obj_button*>(item)->text_ptr;
    return text == nullptr ? "" : text;
}

unsigned Colour(int id)
{
    return static_cast<obj_text*>(Item(id))->color;
}

void SaveScreen(const std::string& name)
{
    std::string dir = std::string(std::getenv("DASHREC_BINARY_DIR")) + "/screenshots/service";
    Shell("mkdir -p " + dir);
    vk::Resource* resource = Singleton<vk::Resource>::Inst();
    resource->Draw(false);
    EXPECT_TRUE(soc::VoSaveScreenPng((dir + "/" + name).c_str(), resource->GetHandle()->window));
}

CMainFactory* Factory()
{
    return Singleton<CMainFactory>::Inst();
}

// The factory test's own checks, called as its loop would call them.
class FactoryChecks : public CMainFactory {
public:
    using ProductionTest::OnGps;
    using ProductionTest::TestEeprom;
    using ProductionTest::UpdateTimes;
    void SetFixTimer(float seconds) { _start = seconds; }
};

TEST(Factory, AGoodUnitPassesEveryItem)
{
    PrepareProgram();
    vk::Pref* pref = Singleton<vk::Pref>::Inst();
    pref->SetRef12VoltValue(644);
    pref->SetRef24VoltValue(1310);
    InsertCard("_factory.velmora", PARAMETERS);
    AttachEmmc(70);
    HearTone(3000, 3);
    ASSERT_EQ(Shell(std::string(DASHREC_PROGRAM) + " f > /dev/null"), 0);
    auto sim = StartBoard("0s acc on 12.4V\n");

    CMainFactory* factory = Factory();
    factory->Initialize(true);
    {
        ModeRun run(factory);
        ASSERT_TRUE(WaitUntil([&] {
            const auto& s = factory->GetStatus();
            return s.gpslock && s.satlock && factory->GetTone() != 0 && s.micom;
        }, 30000)) << "fix, satellites, tone and MCU";
        for (int key : { PARAM1::KEY_UP, PARAM1::KEY_MENU, PARAM1::KEY_DOWN, PARAM1::KEY_OK })
            run.Post(WND::CMAIN_FACTORY, WM::BUTTON, key);
        ASSERT_TRUE(WaitUntil([&] { return factory->GetStatus().keyOk.load(); }, 10000));
        float seen = factory->GetTotalTime();
        ASSERT_TRUE(WaitUntil([&] { return factory->GetTotalTime() >= seen + 1.0f; }, 10000)) << "two more updates";
        run.Exit();
    }
    EXPECT_EQ(access("/tmp/exit", F_OK), 0) << "the launcher learns the mode ended";
    EXPECT_TRUE(factory->IsLoaded());
    EXPECT_EQ(factory->GetSettings().version, "v1.1.4-7");

    // Passed items are focused; the Wi-Fi item is never shown.
    for (int id : { CMainFactory::GPS_ITEM, CMainFactory::RTC_ITEM, CMainFactory::GSENSOR_ITEM, CMainFactory::MCU_ITEM,
             CMainFactory::ACC_ITEM, CMainFactory::TEMPERATURE, CMainFactory::VOLTAGE, CMainFactory::GPS_TIME,
             CMainFactory::EEPROM_ITEM, CMainFactory::STORAGE_ITEM, CMainFactory::MIC_ITEM })
        EXPECT_TRUE(Item(id)->IsFocused()) << "item " << id;
    EXPECT_FALSE(Item(CMainFactory::WIFI_ITEM)->IsShown());
    EXPECT_FALSE(Item(CMainFactory::LANGUAGE)->IsShown());
    EXPECT_EQ(static_cast<obj_image*>(Item(CMainFactory::LANGUAGE))->image,
              Singleton<vk::Resource>::Inst()->GetSurface("4830_korean.png"));

    EXPECT_EQ(Text(CMainFactory::VOLTAGE), "12.4V");
    EXPECT_EQ(Text(CMainFactory::TEMPERATURE), "25°C");
    EXPECT_EQ(Text(CMainFactory::MCU_VERSION), "Micom:7");
    EXPECT_EQ(Colour(CMainFactory::MCU_VERSION), WHITE);
    EXPECT_EQ(std::string(factory->GetSoftwareVersion()), "v1.1.4-7");
    EXPECT_EQ(Text(CMainFactory::SW_VERSION), "DASHREC v1.1.4-7");
    EXPECT_EQ(Colour(CMainFactory::SW_VERSION), WHITE);
    EXPECT_EQ(Text(CMainFactory::REFERENCES), "12V AD:644, 24V AD:1310");
    EXPECT_EQ(Colour(CMainFactory::REFERENCES), WHITE);
    EXPECT_EQ(Colour(CMainFactory::CLOCK), WHITE);
    // A 440 Hz tone of amplitude 3000: the mean of |3000 sin| is 3000 x 2/pi.
    EXPECT_NEAR(factory->GetTone(), 1910, 3);
    EXPECT_EQ(Text(CMainFactory::MIC_ITEM), "Mic:" + std::to_string(factory->GetTone()));

    // Each key pressed once: shown and focused; OK also chose the rear view.
    const auto& status = factory->GetStatus();
    EXPECT_TRUE(status.keyUp && status.keyDown && status.keyMenu && status.keyOk);
    for (int id : { CMainFactory::KEY_UP, CMainFactory::KEY_MENU, CMainFactory::KEY_OK })
        EXPECT_TRUE(Item(id)->IsShown() && Item(id)->IsFocused()) << "key " << id;
    EXPECT_TRUE(factory->IsRearViewShown());

    std::string shims = ShimLog();
    EXPECT_EQ(Count(shims, "mount /dev/mmcblk1p1 /mnt/extsd/"), 1u) << shims;
    EXPECT_EQ(Count(shims, "aplay ./rsc/sound/tone440hz.wav"), 1u) << shims;
    EXPECT_EQ(Count(shims, "arecord -t raw -c 1 -D hw:0,0 -f S16_LE -d 3 -r 16000 /tmp/tone440hz.pcm"), 1u) << shims;
    EXPECT_EQ(board::ReadNode("/sys/class/gpio/gpio227/value"), "1") << "the rear camera is powered";
    SaveScreen("factory_pass.png");
    factory->Finalize();
    sim->Stop();
}

TEST(Factory, ABadUnitFailsItsItems)
{
    PrepareProgram();
    // A line that is no key spoils only itself: the MCU version after it is read.
    InsertCard("_factory.velmora", "[settings]\nthis line is not a key\nmicom = 9\n");
    HearTone(3000, 1); // cut short: fewer than 16000 samples after the skipped second
    chips::Refuse("isl1208", -1);
    chips::Refuse("mc3416", -1);
    chips::Refuse("at24cs32", -1);
    auto sim = StartBoard("0s acc off\n0s voltage 16V\n0s temp 50C\n0s gps lost\n");

    CMainFactory* factory = Factory();
    factory->Initialize(true);
    {
        ModeRun run(factory);
        ASSERT_TRUE(WaitUntil([&] { return factory->GetTotalTime() >= 5.0f; }, 30000));
        run.Exit();
    }
    EXPECT_TRUE(factory->IsLoaded());
    EXPECT_EQ(factory->GetSettings().micom, 9);
    EXPECT_EQ(factory->GetSettings().version, "0.0.000-1");
    for (int id : { CMainFactory::GPS_ITEM, CMainFactory::RTC_ITEM, CMainFactory::GSENSOR_ITEM, CMainFactory::MCU_ITEM,
             CMainFactory::ACC_ITEM, CMainFactory::TEMPERATURE, CMainFactory::VOLTAGE, CMainFactory::GPS_TIME,
             CMainFactory::EEPROM_ITEM, CMainFactory::STORAGE_ITEM, CMainFactory::MIC_ITEM })
        EXPECT_FALSE(Item(id)->IsFocused()) << "item " << id;
    EXPECT_EQ(Text(CMainFactory::CLOCK), "RTC read ERROR");
    EXPECT_EQ(Colour(CMainFactory::CLOCK), RED);
    EXPECT_EQ(Text(CMainFactory::MCU_VERSION), "Micom:7");
    EXPECT_EQ(Colour(CMainFactory::MCU_VERSION), RED);
    EXPECT_EQ(Text(CMainFactory::SW_VERSION), "ERROR") << "no version file";
    EXPECT_EQ(Colour(CMainFactory::SW_VERSION), RED);
    EXPECT_EQ(static_cast<obj_image*>(Item(CMainFactory::LANGUAGE))->image,
              Singleton<vk::Resource>::Inst()->GetSurface("4830_error.png"));
    EXPECT_EQ(Colour(CMainFactory::REFERENCES), RED) << Text(CMainFactory::REFERENCES);
    EXPECT_EQ(Text(CMainFactory::MIC_ITEM), "Mic:0");
    EXPECT_EQ(Text(CMainFactory::VOLTAGE), "16.0V");
    EXPECT_EQ(Text(CMainFactory::TEMPERATURE), "50°C");
    // The fix timer counts while there is no fix.
    EXPECT_GE(factory->GetFixTimer(), 5.0f);
    // The keys nobody pressed stay hidden.
    for (int id : { CMainFactory::KEY_UP, CMainFactory::KEY_MENU, CMainFactory::KEY_DOWN })
        EXPECT_FALSE(Item(id)->IsShown()) << "key " << id;
    SaveScreen("factory_fail.png");
    factory->Finalize();
    sim->Stop();
}

TEST(Factory, AFixAfterAnHourIsNotAFixInTime)
{
    PrepareProgram();
    Singleton<vk::Resource>::Inst()->Init(720, 480, false);
    FactoryChecks factory;
    // Half an update short of the hour, then on past it.
    factory.SetFixTimer(3599.5f);
    for (int update = 0; update < 4; ++update)
        factory.UpdateTimes();
    EXPECT_FLOAT_EQ(factory.GetFixTimer(), 3600.0f) << "held at the hour, not wrapped to seconds";
    ipc_msg_t fix {};
    fix.wnd = WND::CMAIN_FACTORY;
    fix.cmd = WM::GPS;
    fix.param1 = 1;
    factory.OnGps(fix);
    EXPECT_FALSE(factory.GetStatus().gpslock);
    factory.UpdateTimes();
    EXPECT_FALSE(Item(CMainFactory::GPS_ITEM)->IsFocused());
    Singleton<vk::Resource>::Inst()->Finalize();
}

TEST(Factory, TheEepromItemPassesOnlyWhenTheChipKeepsWhatIsWrittenBack)
{
    PrepareProgram();
    ASSERT_TRUE(Singleton<vk::Eeprom>::Inst()->Init());
    std::vector<unsigned char> memory(4096);
    for (size_t i = 0; i < memory.size(); ++i)
        memory[i] = static_cast<unsigned char>(i * 7);
    chips::SetBytes("at24cs32", memory);
    FactoryChecks factory;
    factory.TestEeprom();
    EXPECT_TRUE(factory.GetStatus().eeprom) << "read and written back whole";
    EXPECT_EQ(chips::Bytes("at24cs32"), memory);

    // A worn cell acknowledges the write and loses the byte.
    chips::Wear("at24cs32", 100);
    factory.TestEeprom();
    EXPECT_FALSE(factory.GetStatus().eeprom);
    EXPECT_EQ(chips::Bytes("at24cs32").at(100), 0xFF);

    chips::Refuse("at24cs32", -1);
    factory.TestEeprom();
    EXPECT_FALSE(factory.GetStatus().eeprom);
}

} // namespace
