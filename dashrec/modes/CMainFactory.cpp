#include "dashrec/modes/CMainFactory.h"

#include "bmworks/bmworks.h"
#include "dashrec/core/CMain.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/Sound.h"
#include "dashrec/devices/Eeprom.h"
#include "dashrec/devices/GPS.h"
#include "dashrec/devices/GSensor.h"
#include "dashrec/devices/KeyboardOp.h"
#include "dashrec/devices/Micom.h"
#include "dashrec/devices/PollingGpio.h"
#include "dashrec/devices/Rtc.h"
#include "dashrec/ui/Resource.h"
#include "dashrec/ui/UITimer.h"

#include <chrono>
#include <thread>

namespace vk {

namespace {

const ProductionTest::PageIds FACTORY_PAGE = {
    CMainFactory::GPS_ITEM,
    CMainFactory::GPS_TIME,
    CMainFactory::RTC_ITEM,
    CMainFactory::CLOCK,
    CMainFactory::GSENSOR_ITEM,
    CMainFactory::WIFI_ITEM,
    CMainFactory::MCU_ITEM,
    CMainFactory::MCU_VERSION,
    CMainFactory::ACC_ITEM,
    CMainFactory::TEMPERATURE,
    CMainFactory::VOLTAGE,
    CMainFactory::TOTAL_TIME,
    CMainFactory::SW_VERSION,
    CMainFactory::EEPROM_ITEM,
    CMainFactory::STORAGE_ITEM,
    CMainFactory::REFERENCES,
    CMainFactory::MIC_ITEM,
    CMainFactory::LANGUAGE,
    CMainFactory::VIEW,
    CMainFactory::KEY_OK,
    CMainFactory::KEY_MENU,
    CMainFactory::KEY_UP,
    CMainFactory::KEY_DOWN,
};

const int UI_TIMER_TICK_MS = 10;
const int FACTORY_WIDTH = 720;
const int FACTORY_HEIGHT = 480;
// Updates of 500 ms: the front view from the fifth, the rear from the tenth.
const int FRONT_VIEW_COUNT = 5;
const int REAR_VIEW_COUNT = 9;

} // namespace

CMainFactory::CMainFactory()
    : ProductionTest(WND::CMAIN_FACTORY, "CMainFactory", FACTORY_PAGE, CMain::FACTORY_FILE, Settings())
{
}

void CMainFactory::Initialize(bool)
{
    Singleton<Rtc>::Inst()->Init();
    Singleton<GPS>::Inst()->Init(true);
    Singleton<Eeprom>::Inst()->Init();
    Singleton<GSensor>::Inst()->Init();
    Singleton<UITimer>::Inst()->Init(UI_TIMER_TICK_MS);
    UIQueue::Inst()->Init();
    Singleton<Resource>::Inst()->Init(FACTORY_WIDTH, FACTORY_HEIGHT, false);
    Singleton<PollingGpio>::Inst()->Init(0);
    Singleton<KeyboardOp>::Inst()->Init();
    TestEeprom();
    MakeLeds(true);
    _mean = 0;
}

void CMainFactory::Start()
{
    MountCard();
    Singleton<GPS>::Inst()->Start();
    Singleton<Micom>::Inst()->Start();
    Singleton<GSensor>::Inst()->Start();
    Singleton<UITimer>::Inst()->Start();
    Singleton<KeyboardOp>::Inst()->Start();
    Singleton<PollingGpio>::Inst()->Start();
    _running = true;
    LoadSettings();
    InitBmworks(FACTORY_VIEW);
    ToneRecord();
    Singleton<GPS>::Inst()->SetMinNSat(_settings.satellite);
    EnterPage();
    RunLoop();
}

void CMainFactory::Finalize()
{
    _running = false;
    _readbuffer.reset();
    JoinToneWorkers();
    FinalizeServices(false);
}

void CMainFactory::OnInit(ipc_msg_t& msg)
{
    _cam_count = 0;
    ProductionTest::OnInit(msg);
}

void CMainFactory::Update()
{
    UpdateTimes();
    AlternateLeds();
    AlternateCameras();
}

void CMainFactory::AlternateCameras()
{
    ++_cam_count;
    if (_cam_count != FRONT_VIEW_COUNT && _cam_count <= REAR_VIEW_COUNT)
        return;
    bool rear = _cam_count > REAR_VIEW_COUNT;
    obj_common* down = GetComponent(KEY_DOWN);
    VK_ASSERT(down != nullptr);
    SetPass(down, rear);
    ShowView(rear);
    ShowCamera(rear ? VocRear : VocFront);
    if (rear)
        _cam_count = 0;
}

void CMainFactory::OnButton(ipc_msg_t& msg)
{
    Singleton<Sound>::Inst()->Play(Sound::button);
    switch (msg.param1) {
    case PARAM1::KEY_UP:
        _status.keyUp = true;
        PressKey(KEY_UP);
        break;
    case PARAM1::KEY_DOWN: {
        _status.keyDown = true;
        bool rear = PressKey(KEY_DOWN);
        ShowView(rear);
        ShowCamera(rear ? VocRear : VocFront);
        break;
    }
    case PARAM1::KEY_OK:
    case PARAM1::KEY_POWER:
        PressOk();
        break;
    case PARAM1::KEY_MENU:
        _status.keyMenu = true;
        PressKey(KEY_MENU);
        break;
    default:
        break;
    }
    SendMessage(WM::PAINT);
}

} // namespace vk
