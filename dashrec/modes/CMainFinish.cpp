#include "dashrec/modes/CMainFinish.h"

#include "bmworks/bmworks.h"
#include "dashrec/core/CMain.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/Sound.h"
#include "dashrec/devices/GPS.h"
#include "dashrec/devices/GSensor.h"
#include "dashrec/devices/KeyboardOp.h"
#include "dashrec/devices/Micom.h"
#include "dashrec/devices/PollingGpio.h"
#include "dashrec/devices/Rtc.h"
#include "dashrec/devices/TouchSensor.h"
#include "dashrec/ui/Resource.h"
#include "dashrec/ui/UITimer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace vk {

namespace {

const ProductionTest::PageIds FINISH_PAGE = {
    CMainFinish::GPS_ITEM,
    CMainFinish::GPS_TIME,
    CMainFinish::RTC_ITEM,
    CMainFinish::CLOCK,
    CMainFinish::GSENSOR_ITEM,
    -1, // no Wi-Fi item
    CMainFinish::MCU_ITEM,
    CMainFinish::MCU_VERSION,
    CMainFinish::ACC_ITEM,
    CMainFinish::TEMPERATURE,
    CMainFinish::VOLTAGE,
    CMainFinish::TOTAL_TIME,
    CMainFinish::SW_VERSION,
    CMainFinish::EEPROM_ITEM,
    CMainFinish::STORAGE_ITEM,
    CMainFinish::REFERENCES,
    CMainFinish::MIC_ITEM,
    CMainFinish::LANGUAGE,
    CMainFinish::VIEW,
    CMainFinish::KEY_OK,
    CMainFinish::KEY_MENU,
    CMainFinish::KEY_UP,
    CMainFinish::KEY_DOWN,
};

const int UI_TIMER_TICK_MS = 10;
const int VIEW_SWITCH_PAUSE_MS = 500;
const char* const BACKLIGHT_OFF = "echo 4 > /sys/class/backlight/lcd0/bl_power";
// The spoken prompt while the microphone is recorded; the recording is
// measured like the tone once it is done, so the item can pass.
const ProductionTest::AudioTest MIC_AUDIO = {
    "aplay ./rsc/sound/V_mic_on_k.wav",
    "arecord -t raw -c 1 -D hw:0,0 -f S16_LE -d 5 -r 16000 /tmp/stest.pcm",
    "/tmp/stest.pcm",
    6000,
};
// At the rate it was recorded: the operator hears the voice as it was spoken.
const char* const MIC_PLAY = "aplay -t raw -c 1 -f S16_LE -r 16000 /tmp/stest.pcm";

// The touch screen's areas, bounds included: the camera switch, and the edges
// that make a corner.
const int SWITCH_LEFT = 420;
const int SWITCH_RIGHT = 480;
const int SWITCH_TOP = 200;
const int SWITCH_BOTTOM = 260;
const int CORNER_LEFT_BELOW = 80;
const int CORNER_RIGHT_FROM = 400;
const int CORNER_TOP_BELOW = 60;
const int CORNER_BOTTOM_FROM = 260;

ProductionTest::Settings FinishDefaults()
{
    ProductionTest::Settings settings;
    settings.minVoltage = 11.5f;
    settings.maxVoltage = 12.5f;
    return settings;
}

void SleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

CMainFinish::CMainFinish()
    : ProductionTest(WND::CMAIN_FINISH, "CMainFinish", FINISH_PAGE, CMain::FINISH_FILE, FinishDefaults())
{
}

void CMainFinish::Initialize(bool)
{
    Singleton<Rtc>::Inst()->Init();
    Singleton<GPS>::Inst()->Init(true);
    Singleton<GSensor>::Inst()->Init();
    Singleton<UITimer>::Inst()->Init(UI_TIMER_TICK_MS);
    UIQueue::Inst()->Init();
    Singleton<Resource>::Inst()->Init(480, 320, true);
    Singleton<PollingGpio>::Inst()->Init(0);
    Singleton<KeyboardOp>::Inst()->Init();
    Singleton<TouchSensor>::Inst()->Init();
    TestEeprom();
    MakeLeds(true);
    _mean = 0;
}

void CMainFinish::Start()
{
    MountCard();
    SetMarker(_finish2_mode ? CMain::FINISH2_FILE : CMain::FINISH_FILE);
    LoadSettings();
    Singleton<GPS>::Inst()->SetMinNSat(_settings.satellite);
    Singleton<GPS>::Inst()->Start();
    Singleton<Micom>::Inst()->Start();
    Singleton<GSensor>::Inst()->Start();
    Singleton<TouchSensor>::Inst()->Start();
    Singleton<UITimer>::Inst()->Start();
    Singleton<KeyboardOp>::Inst()->Start();
    Singleton<PollingGpio>::Inst()->Start();
    _running = true;
    InitBmworks(FINISH_VIEW);
    if (_finish2_mode) {
        SoundRecord();
    } else {
        ToneRecord();
    }
    EnterPage();
    RunLoop();
}

void CMainFinish::Finalize()
{
    _running = false;
    JoinToneWorkers();
    if (_player.joinable())
        _player.join();
    FinalizeServices(true);
}

void CMainFinish::Update()
{
    UpdateTimes();
    AlternateLeds();
    ShowTouchItem();
}

void CMainFinish::ShowTouchItem()
{
    obj_common* touch = GetComponent(TOUCH_ITEM);
    if (touch == nullptr)
        return;
    bool all = true;
    for (bool corner : _touched)
        all = all && corner;
    SetPass(touch, all);
}

void CMainFinish::OnGps(ipc_msg_t& msg)
{
    bool locked = _status.gpslock;
    ProductionTest::OnGps(msg);
    if (!locked && _status.gpslock)
        std::printf("gps lock\n");
}

void CMainFinish::OnButton(ipc_msg_t& msg)
{
    Singleton<Sound>::Inst()->Play(Sound::button);
    switch (msg.param1) {
    case PARAM1::KEY_UP:
        _status.keyUp = true;
        PressKey(KEY_UP);
        break;
    case PARAM1::KEY_DOWN:
        OnDownKey();
        break;
    case PARAM1::KEY_OK:
    case PARAM1::KEY_POWER:
        PressOk();
        if (_finish2_mode)
            SoundPlay();
        break;
    case PARAM1::KEY_MENU:
        _status.keyMenu = true;
        PressKey(KEY_MENU);
        break;
    case PARAM1::TOUCH:
        OnTouch((msg.param2 >> 12) & 0xFFF, msg.param2 & 0xFFF);
        break;
    default:
        break;
    }
    SendMessage(WM::PAINT);
}

void CMainFinish::OnDownKey()
{
    _status.keyDown = true;
    bool rear = PressKey(KEY_DOWN);
    ShowView(rear);
    BmWorks* engine = BmWorks::Inst();
    BmVideo::SetVisible(false);
    engine->PauseVideoOut(rear ? Front : Rear);
    engine->RunVideoOut(rear ? Rear : Front);
    SleepMs(VIEW_SWITCH_PAUSE_MS);
    BmVideo::SetVisible(true);
}

void CMainFinish::OnTouch(int x, int y)
{
    if (x >= SWITCH_LEFT && x <= SWITCH_RIGHT && y >= SWITCH_TOP && y <= SWITCH_BOTTOM) {
        obj_common* cam = GetComponent(VIEW);
        VK_ASSERT(cam != nullptr);
        ShowCamera(Toggle(cam) ? VocRear : VocFront);
        return;
    }
    bool left = x < CORNER_LEFT_BELOW;
    bool right = x >= CORNER_RIGHT_FROM;
    bool top = y < CORNER_TOP_BELOW;
    bool bottom = y >= CORNER_BOTTOM_FROM;
    if (!(left || right) || !(top || bottom))
        return;
    int corner = (bottom ? 2 : 0) + (right ? 1 : 0);
    _touched[corner] = true;
    obj_common* mark = GetComponent(CORNER_TOP_LEFT + corner);
    VK_ASSERT(mark != nullptr);
    mark->SetHide();
    ShowTouchItem();
}

void CMainFinish::SoundRecord()
{
    StartAudioTest(MIC_AUDIO);
}

void CMainFinish::SoundPlay()
{
    if (_played)
        return;
    _played = true;
    _player = std::thread([] { std::system(MIC_PLAY); });
}

void CMainFinish::OnShutDown(ipc_msg_t& msg)
{
    std::system(BACKLIGHT_OFF);
    ProductionTest::OnShutDown(msg);
}

} // namespace vk
