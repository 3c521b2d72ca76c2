#include "dashrec/modes/ServiceMode.h"

#include "bmworks/bmworks.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/ProcessEnd.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Shell.h"
#include "dashrec/core/Sound.h"
#include "dashrec/core/Storage.h"
#include "dashrec/core/SystemClock.h"
#include "dashrec/devices/GPS.h"
#include "dashrec/devices/Micom.h"
#include "dashrec/devices/Rtc.h"
#include "dashrec/ui/Resource.h"
#include "dashrec/ui/StrId.h"
#include "dashrec/ui/UITimer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace vk {

namespace {

const char* const GPIO_DIR = "/sys/class/gpio";
const int RTC_READ_TRIES = 5;
const int LANGUAGE_PICTURE = 22;

// Language letter at the end of the version file, and its picture.
struct LanguagePictureRow {
    char letter;
    const char* picture;
};
const LanguagePictureRow LANGUAGE_PICTURES[] = {
    { 'J', "4830_japanese.png" },
    { 'E', "4830_english.png" },
    { 'K', "4830_korean.png" },
};
const char* const UNKNOWN_LANGUAGE_PICTURE = "4830_error.png";

const char* const REAR_CAMERA_POWER_ON[] = {
    "echo 227 > /sys/class/gpio/export",
    "echo out > /sys/class/gpio/gpio227/direction",
    "echo 1 > /sys/class/gpio/gpio227/value",
};

void SleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void IgnoreStorage(bool)
{
}

char* NoFileName(CameraPosition, RecordType)
{
    return nullptr;
}

void IgnoreError(CameraPosition, RecordType, BmError, std::string)
{
}

void IgnoreMotion(CameraPosition, int)
{
}

template <typename T>
T* AsKind(obj_common* obj, char kind)
{
    return obj != nullptr && obj->obj_type == kind ? static_cast<T*>(obj) : nullptr;
}

} // namespace

const ServiceMode::LiveView ServiceMode::FACTORY_VIEW = { true, false, true, true, true, true, false };
const ServiceMode::LiveView ServiceMode::FINISH_VIEW = { false, true, true, true, true, true, false };
const ServiceMode::LiveView ServiceMode::VOLTAGE_VIEW = { false, false, false, false, false, true, false };
const ServiceMode::LiveView ServiceMode::WIFI_VIEW = { false, false, false, false, false, false, true };

ServiceMode::ServiceMode(WND::ID window, const char* tag)
    : _window(window)
    , _tag(tag)
{
}

std::string ServiceMode::ParameterFile(const std::string& marker)
{
    return CARD_ROOT + marker;
}

const char* ServiceMode::LanguagePicture(char letter)
{
    for (const LanguagePictureRow& row : LANGUAGE_PICTURES)
        if (row.letter == letter)
            return row.picture;
    return UNKNOWN_LANGUAGE_PICTURE;
}

void ServiceMode::RunLoop()
{
    if (_initRefused) {
        _initRefused = false;
        ipc_msg_t init {};
        init.wnd = _window;
        init.cmd = WM::INIT;
        Dispatch(init);
    }
    while (_running) {
        ipc_msg_t msg {};
        if (UIQueue::Inst()->RecvMessage(msg, LOOP_RECEIVE_MS) <= 0)
            continue;
        Dispatch(msg);
    }
}

void ServiceMode::Dispatch(ipc_msg_t& msg)
{
    switch (msg.cmd) {
    case WM::INIT:
        OnInit(msg);
        break;
    case WM::PAINT:
        OnDraw(msg);
        break;
    case WM::TIMER:
        OnTimer(msg);
        break;
    case WM::BUTTON:
        OnButton(msg);
        break;
    case WM::GPS:
        OnGps(msg);
        break;
    case WM::SHUTDOWN:
        OnShutDown(msg);
        break;
    case WM::EXIT:
        OnExit();
        break;
    default:
        break;
    }
}

void ServiceMode::OnShutDown(ipc_msg_t& msg)
{
    PowerOff(msg.param1, true);
}

void ServiceMode::OnDraw(ipc_msg_t&)
{
    Singleton<Resource>::Inst()->Draw(false);
}

void ServiceMode::OnExit()
{
    std::system("touch /tmp/exit");
    _running = false;
    std::printf("MSG::SYS::EXIT\n");
}

void ServiceMode::PowerOff(int reason, bool withSound)
{
    Pref* pref = Singleton<Pref>::Inst();
    SYSTEM::BOOT_MODE::VALUE status = pref->GetBootStatus();
    pref->SetBootMode(status < SYSTEM::BOOT_MODE::MAX ? status : SYSTEM::BOOT_MODE::ANNOUNCE_N_MESSAGE);
    pref->Save();
    if (withSound)
        Singleton<Sound>::Inst()->Play(Sound::power_off);
    Micom* micom = Singleton<Micom>::Inst();
    for (int i = 0; i < POWER_OFF_COMMANDS; ++i) {
        micom->SendPowerOff(Micom::REASON(reason));
        SleepMs(POWER_OFF_PAUSE_MS);
    }
    std::printf("SYSTEM SHUTDOWN\n");
    std::system("touch /tmp/shutdown");
    EndProcess(0);
}

int ServiceMode::SendMessage(int cmd, int param1, int param2)
{
    return UIQueue::Inst()->SendMessage(_window, cmd, param1, param2, nullptr);
}

void ServiceMode::PostInit()
{
    _initRefused = SendMessage(WM::INIT) <= 0;
}

void ServiceMode::SetTimer(TIMER::ID id, int ms)
{
    Singleton<UITimer>::Inst()->Set(_window, id, ms);
}

obj_common* ServiceMode::GetComponent(int id)
{
    return Singleton<Resource>::Inst()->GetStateComponent(_window, id);
}

obj_text* ServiceMode::GetText(int id)
{
    return AsKind<obj_text>(GetComponent(id), obj_common::TEXT);
}

obj_button* ServiceMode::GetButton(int id)
{
    return AsKind<obj_button>(GetComponent(id), obj_common::BUTTON);
}

obj_image* ServiceMode::GetImage(int id)
{
    return AsKind<obj_image>(GetComponent(id), obj_common::IMAGE);
}

void ServiceMode::MountCard()
{
    char cmd[64];
    VK_FORMAT_COMMAND(cmd, "mount %s %s", Singleton<Storage>::Inst()->SdPartition().c_str(), CARD_ROOT);
    std::system(cmd);
}

void ServiceMode::EnterPage()
{
    Singleton<Resource>::Inst()->SetPage(_window);
    PostInit();
    Singleton<Micom>::Inst()->SendStart();
    GPS* gps = Singleton<GPS>::Inst();
    gps->SetSendSateliiteInfo();
    gps->DisableSendMeesageToApp();
    DisableWatchdogAfterStart();
}

void ServiceMode::DisableWatchdogAfterStart()
{
    SleepMs(2000);
    Singleton<Micom>::Inst()->SendWDTDisable();
}

void ServiceMode::InitBmworks(const LiveView& view)
{
    if (view.rearPowered) {
        for (const char* cmd : REAR_CAMERA_POWER_ON)
            std::system(cmd);
    }
    BmWorks* engine = BmWorks::Inst();
    engine->Init(IgnoreStorage);
    engine->SetWallClock(WallClockSeconds);
    engine->SetFps(view.userFps ? DynamicFps(Singleton<Pref>::Inst()->GetFps()) : F30);
    engine->SetFpsRear(F30);
    engine->SetHdr(true);
    if (view.eventTime)
        engine->SetEventTimeSec(20, 5);
    if (view.quiet)
        engine->DontStartAudio();
    engine->mFactoryMode = view.factoryMode;
    if (view.unmirroredRear)
        engine->SetMirrorRear(false);
    engine->SetCongigBeforeStart(Front, WQHD);
    engine->SetCongigBeforeStart(Rear, FHD);
    engine->SetNewFileNameCallback(NoFileName);
    engine->SetErrorCallback(IgnoreError);
    engine->SetMotionDetectCallback(IgnoreMotion);
    if (view.quiet)
        engine->DontStartAudio();
    engine->Start(Front);
    engine->Start(Rear);
    engine->RunVideoOut(Front);
    if (view.bothOutputs) {
        engine->RunVideoOut(Rear);
        engine->SetVideoOutConfig(VocFront);
    }
    BmVideo::SetVisible(true);
}

void ServiceMode::MakeLeds(bool withSecurity)
{
    _pLedBlue = std::make_shared<GPIO_OUT>(GPIO_LED_BLUE, GPIO_DIR);
    _pLedRed = std::make_shared<GPIO_OUT>(GPIO_LED_RED, GPIO_DIR);
    _pLedBlue->SetOff();
    _pLedRed->SetOff();
    if (withSecurity) {
        _pLedSecurity = std::make_shared<GPIO_OUT>(GPIO_LED_SECURITY, GPIO_DIR);
        _pLedSecurity->SetOff();
    }
}

char ServiceMode::LoadVersion(obj_image* picture)
{
    char letter = 0;
    char line[VERSION_LINE_SIZE] = {};
    if (!ReadVersionLine(line, sizeof(line))) {
        std::printf("Fopen Error\n");
    } else {
        std::printf("fread %s\n", line);
        size_t length = std::strlen(line);
        if (length > 0) {
            letter = line[length - 1];
            line[length - 1] = '\0';
        }
    }
    // No version before the language letter is no version: the line sees an error, not "-7".
    if (line[0] == '\0') {
        _sw[0] = '\0';
        std::snprintf(_ver, sizeof(_ver), "ERROR");
    } else {
        // A version longer than the page's field is shown cut, as the field holds no more.
        std::snprintf(_sw, sizeof(_sw), "%s-%d", line, Singleton<Micom>::Inst()->GetVersion());
        int n = std::snprintf(_ver, sizeof(_ver), "%s %s", Singleton<Resource>::Inst()->GetString(STR::MODEL_NAME), _sw);
        std::printf(n < static_cast<int>(sizeof(_ver)) ? "_ver:%s\n" : "_ver:%s (cut)\n", _ver);
    }
    picture->image = Singleton<Resource>::Inst()->GetSurface(LanguagePicture(letter));
    return letter;
}

bool ServiceMode::ReadVersionLine(char* line, size_t size)
{
    FILE* file = std::fopen(VERSION_FILE, "r");
    if (file == nullptr)
        return false;
    // The whole first line: its last character names the language however long the version is.
    size_t n = 0;
    for (int c = std::fgetc(file); c != EOF && c != '\n' && n + 1 < size; c = std::fgetc(file))
        line[n++] = static_cast<char>(c);
    line[n] = '\0';
    std::fclose(file);
    return true;
}

bool ServiceMode::CheckRtc()
{
    Rtc* rtc = Singleton<Rtc>::Inst();
    Rtc::RtcTime t {};
    for (int tries = 0; tries < RTC_READ_TRIES; ++tries) {
        if (!rtc->GetTime(t)) {
            std::printf("[%s]RTC.GetTime() Read Error\n", _tag);
            continue;
        }
        if (Rtc::IsNonsense(t)) {
            std::printf("[%s]RTC works but not correct time\n", _tag);
            t = Rtc::ResetTime(t.dayofweek);
            rtc->SetTime(t);
        } else {
            std::printf("[%s]RTC GetTime() successful\n", _tag);
        }
        int gmtOffset = Singleton<Pref>::Inst()->GetTimezone() * 3600;
        Singleton<SDDebug>::Inst()->Print("[%s]gmtOffset:%d\n", _tag, gmtOffset);
        SetClockForwardFromRtc(_tag, gmtOffset, Rtc::ToLocalSeconds(t) + gmtOffset);
        return true;
    }
    Singleton<SDDebug>::Inst()->Print("[%s]RTC read failure\n", _tag);
    return false;
}

} // namespace vk
