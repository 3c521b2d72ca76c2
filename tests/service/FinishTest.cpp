// The final inspection run mode on the bench, in both variants: the items of
// the factory test on the device's own screen, the four corners and the camera
// switch of the touch screen, the tighter voltage limits, and the finish2
// microphone recording played back on the first OK.

#include "dashrec/modes/CMainFinish.h"
#include "dashrec/ui/Resource.h"
#include "host/soc/Vo.h"
#include "tests/service/ServiceBench.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace service;
using vk::CMainFinish;
using vk::Singleton;
namespace WM = vk::WM;
namespace WND = vk::WND;
namespace PARAM1 = vk::PARAM1;

obj_common* Item(int id)
{
    return Singleton<vk::Resource>::Inst()->GetStateComponent(WND::CMAIN_FINISH, id);
}

int Touch(int x, int y)
{
    return x << 12 | y;
}

void SaveScreen(const std::string& name)
{
    std::string dir = std::string(std::getenv("DASHREC_BINARY_DIR")) + "/screenshots/service";
    Shell("mkdir -p " + dir);
    vk::Resource* resource = Singleton<vk::Resource>::Inst();
    resource->Draw(false);
    EXPECT_TRUE(soc::VoSaveScreenPng((dir + "/" + name).c_str(), resource->GetHandle()->window));
}

TEST(Finish, CornersCameraSwitchAndTheItemsOfAGoodUnit)
{
    PrepareProgram();
    InsertCard("_finish.velmora", "[settings]\nmicom = 7\ngps_nsat = 4\ngps_level = 30\n");
    AttachEmmc(70);
    HearTone(3000, 3);
    auto sim = StartBoard("0s acc on 12.4V\n");

    CMainFinish* finish = Singleton<CMainFinish>::Inst();
    finish->Initialize(true);
    {
        ModeRun run(finish);
        ASSERT_TRUE(WaitUntil([&] {
            const auto& s = finish->GetStatus();
            return s.gpslock && s.satlock && finish->GetTone() != 0 && s.micom;
        }, 30000)) << "fix, satellites, tone and MCU";
        // Three corners, a touch that is none, the camera switch twice, the last corner.
        for (int point : { Touch(10, 10), Touch(470, 20), Touch(30, 300), Touch(200, 150), Touch(420, 200),
                 Touch(480, 260), Touch(460, 310) })
            run.Post(WND::CMAIN_FINISH, WM::BUTTON, PARAM1::TOUCH, point);
        for (int key : { PARAM1::KEY_UP, PARAM1::KEY_MENU, PARAM1::KEY_DOWN, PARAM1::KEY_POWER })
            run.Post(WND::CMAIN_FINISH, WM::BUTTON, key);
        ASSERT_TRUE(WaitUntil([&] { return finish->GetStatus().keyOk.load(); }, 10000));
        float seen = finish->GetTotalTime();
        ASSERT_TRUE(WaitUntil([&] { return finish->GetTotalTime() >= seen + 1.0f; }, 10000)) << "two more updates";
        run.Exit();
    }
    EXPECT_TRUE(finish->IsLoaded());
    EXPECT_FLOAT_EQ(finish->GetSettings().minVoltage, 11.5f);
    EXPECT_FLOAT_EQ(finish->GetSettings().maxVoltage, 12.5f);
    for (int id : { CMainFinish::GPS_ITEM, CMainFinish::GPS_TIME, CMainFinish::RTC_ITEM, CMainFinish::GSENSOR_ITEM,
             CMainFinish::MCU_ITEM, CMainFinish::ACC_ITEM, CMainFinish::TEMPERATURE, CMainFinish::VOLTAGE,
             CMainFinish::EEPROM_ITEM, CMainFinish::STORAGE_ITEM, CMainFinish::MIC_ITEM, CMainFinish::TOUCH_ITEM })
        EXPECT_TRUE(Item(id)->IsFocused()) << "item " << id;
    for (int corner = 0; corner < CMainFinish::CORNERS; ++corner) {
        EXPECT_TRUE(finish->IsTouched(corner)) << corner;
        EXPECT_FALSE(Item(CMainFinish::CORNER_TOP_LEFT + corner)->IsShown()) << corner;
    }
    // The switch toggled the view twice; the DOWN key and then POWER each chose the rear.
    EXPECT_TRUE(Item(CMainFinish::VIEW)->IsFocused());
    EXPECT_TRUE(finish->IsRearViewShown());
    const auto& status = finish->GetStatus();
    EXPECT_TRUE(status.keyUp && status.keyDown && status.keyMenu && status.keyOk);
    for (int id : { CMainFinish::KEY_UP, CMainFinish::KEY_MENU, CMainFinish::KEY_DOWN, CMainFinish::KEY_OK })
        EXPECT_TRUE(Item(id)->IsShown() && Item(id)->IsFocused()) << "key " << id;
    std::string shims = ShimLog();
    EXPECT_EQ(Count(shims, "aplay ./rsc/sound/tone440hz.wav"), 1u) << shims;
    EXPECT_EQ(Count(shims, "/tmp/stest.pcm"), 0u) << shims;
    SaveScreen("finish_pass.png");
    finish->Finalize();
    sim->Stop();
}

TEST(Finish, TheSecondVariantMeasuresTheVoiceAndPlaysItBackAsRecorded)
{
    PrepareProgram();
    InsertCard("_finish2.velmora", "[settings]\nvoltage_max = 14.0\n");
    HearTone(3000, 6);
    auto sim = StartBoard("0s acc on 13.0V\n");

    CMainFinish* finish = Singleton<CMainFinish>::Inst();
    finish->_finish2_mode = true;
    finish->Initialize(true);
    {
        ModeRun run(finish);
        ASSERT_TRUE(WaitUntil([&] { return Count(ShimLog(), "arecord") == 1; }, 30000));
        run.Post(WND::CMAIN_FINISH, WM::BUTTON, PARAM1::KEY_OK);
        run.Post(WND::CMAIN_FINISH, WM::BUTTON, PARAM1::KEY_OK);
        ASSERT_TRUE(WaitUntil([&] { return Count(ShimLog(), "aplay -t raw") == 1; }, 30000));
        ASSERT_TRUE(WaitUntil([&] { return finish->GetTone() != 0; }, 30000)) << "the recording measured";
        float seen = finish->GetTotalTime();
        ASSERT_TRUE(WaitUntil([&] { return finish->GetTotalTime() >= seen + 1.0f; }, 30000)) << "two more updates";
        run.Exit();
    }
    EXPECT_TRUE(finish->IsLoaded()) << "the second variant's own file";
    EXPECT_FLOAT_EQ(finish->GetSettings().maxVoltage, 14.0f);
    EXPECT_TRUE(Item(CMainFinish::VOLTAGE)->IsFocused()) << "13.0 V within 11.5 to 14.0";
    // A 440 Hz tone of amplitude 3000 heard: the mean of |3000 sin| is 3000 x 2/pi.
    EXPECT_NEAR(finish->GetTone(), 1910, 3);
    EXPECT_TRUE(Item(CMainFinish::MIC_ITEM)->IsFocused());
    EXPECT_EQ(std::string(static_cast<obj_button*>(Item(CMainFinish::MIC_ITEM))->text_ptr),
        "Mic:" + std::to_string(finish->GetTone()));
    EXPECT_FALSE(Item(CMainFinish::TOUCH_ITEM)->IsFocused());
    // Recorded and played back at 16000 samples a second, once, the whole 5 s.
    std::string shims = ShimLog();
    EXPECT_EQ(Count(shims, "aplay ./rsc/sound/V_mic_on_k.wav"), 1u) << shims;
    EXPECT_EQ(Count(shims, "arecord -t raw -c 1 -D hw:0,0 -f S16_LE -d 5 -r 16000 /tmp/stest.pcm"), 1u) << shims;
    EXPECT_EQ(Count(shims, "aplay -t raw -c 1 -f S16_LE -r 16000 /tmp/stest.pcm"), 1u) << shims;
    EXPECT_EQ(Count(shims, "aplay -t raw"), 1u) << shims;
    EXPECT_EQ(ReadFile("/tmp/stest.pcm").size(), 5u * 16000 * 2);
    EXPECT_EQ(Count(shims, "tone440hz"), 0u) << shims;
    SaveScreen("finish2.png");
    finish->Finalize();
    sim->Stop();
}

} // namespace
