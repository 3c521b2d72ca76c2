#include "dashrec/modes/CMainWiFi.h"

#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Sound.h"
#include "dashrec/devices/KeyboardOp.h"
#include "dashrec/devices/Micom.h"
#include "dashrec/devices/PollingGpio.h"
#include "dashrec/devices/Rtc.h"
#include "dashrec/devices/TouchSensor.h"
#include "dashrec/ui/Resource.h"
#include "dashrec/ui/UITimer.h"

#include <INIReader.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unistd.h>

namespace vk {

namespace {

const char* const SECTION = "settings";
const size_t MAX_SSID = 32;
const size_t MIN_PASSPHRASE = 8;
const size_t MAX_PASSPHRASE = 63;
const int WPA_CONFIG_SIZE = 2048;
const int WLAN0_UP_MS = 5000;
const int WPA_MS = 10000;
const int DHCPCD_MS = 15000;
const unsigned TIME_OVER_COLOUR = 0xFFFF0000;
const int SECONDS_PER_HOUR = 3600;

// Components of the page.
enum Component {
    TEXT_TIME = 0,
    TEXT_TOTAL = 1,
    BUTTON_STEP1 = 2,
    BUTTON_STEP2 = 3,
    BUTTON_STEP3 = 4,
    TEXT_IP = 5,
    TEXT_MAC = 6,
    IMAGE_OVERLAPPED = 7,
    IMAGE_ERROR = 8,
    TEXT_MESSAGE = 9,
    TEXT_SERVER = 10,
};

// The settings go into wpa_supplicant's file between quotes or as a bare
// word, so a value the station can't use or that would break the file out of
// its quotes is refused.
bool IsQuotable(const std::string& text, size_t min, size_t max)
{
    if (text.size() < min || text.size() > max)
        return false;
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F || c == '"' || c == '\\')
            return false;
    }
    return true;
}

bool IsSsid(const std::string& text)
{
    return IsQuotable(text, 1, MAX_SSID);
}

bool IsPassphrase(const std::string& text)
{
    for (unsigned char c : text) {
        if (c > 0x7E)
            return false;
    }
    return IsQuotable(text, MIN_PASSPHRASE, MAX_PASSPHRASE);
}

// key_mgmt: names such as WPA-PSK, separated by single spaces.
bool IsKeyManagement(const std::string& text)
{
    if (text.empty() || text.front() == ' ' || text.back() == ' ' || text.find("  ") != std::string::npos)
        return false;
    for (char c : text) {
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == ' '))
            return false;
    }
    return true;
}

bool IsIpv4(const std::string& text)
{
    in_addr addr {};
    return inet_pton(AF_INET, text.c_str(), &addr) == 1;
}

std::string ValidText(const INIReader& reader, const char* key, const std::string& fallback,
    bool (*valid)(const std::string&))
{
    std::string value = reader.Get(SECTION, key, fallback);
    if (valid(value))
        return value;
    std::printf("[CMainWiFi]%s is not usable, %s kept\n", key, key);
    return fallback;
}

void SleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

const CMainWiFi::Settings CMainWiFi::DEFAULT_SETTINGS = { "NETGEAR32", "WPA-PSK", "quietharbor306", "192.168.1.100", 120 };

CMainWiFi::CMainWiFi()
    : ServiceMode(WND::CMAIN_WIFI, "CMainWiFi")
{
}

CMainWiFi::~CMainWiFi()
{
    JoinServer();
}

void CMainWiFi::Initialize(bool)
{
    _socket = -1;
    Singleton<Rtc>::Inst()->Init();
    Singleton<UITimer>::Inst()->Init(10);
    UIQueue::Inst()->Init();
    Singleton<Resource>::Inst()->Init(480, 320, 1);
    Singleton<PollingGpio>::Inst()->Init(0);
    Singleton<KeyboardOp>::Inst()->Init();
    Singleton<TouchSensor>::Inst()->Init();
    MakeLeds(true);
}

void CMainWiFi::Start()
{
    // The settings file lies on the card, which start-up has unmounted.
    MountCard();
    Singleton<Micom>::Inst()->Start();
    Singleton<TouchSensor>::Inst()->Start();
    Singleton<UITimer>::Inst()->Start();
    Singleton<KeyboardOp>::Inst()->Start();
    Singleton<PollingGpio>::Inst()->Start();
    _running = true;
    LoadSettings();
    InitBmworks(WIFI_VIEW);
    EnterPage();
    AllocateBuffers();
    RunLoop();
}

void CMainWiFi::AllocateBuffers()
{
    _snd.reset(new (std::nothrow) char[2 * DATA_SIZE]);
    VK_ASSERT(_snd != nullptr);
    _rcv.reset(new (std::nothrow) char[2 * DATA_SIZE]);
    VK_ASSERT(_rcv != nullptr);
}

void CMainWiFi::Finalize()
{
    _state = WAITING;
    _running = false;
    JoinServer();
    Singleton<Pref>::Inst()->Finalize();
    Singleton<Micom>::Inst()->Finalize();
    Singleton<TouchSensor>::Inst()->Finalize();
    Singleton<UITimer>::Inst()->Finalize();
    UIQueue::Inst()->Finalize();
    Singleton<Resource>::Inst()->Finalize();
    Singleton<PollingGpio>::Inst()->Finalize();
    Singleton<KeyboardOp>::Inst()->Finalize();
    SleepMs(1000);
}

void CMainWiFi::LoadSettings()
{
    _settings = DEFAULT_SETTINGS;
    INIReader reader(SETTINGS_FILE);
    if (reader.ParseError() >= 0) {
        _settings.ssid = ValidText(reader, "ssid", DEFAULT_SETTINGS.ssid, IsSsid);
        _settings.key = ValidText(reader, "key", DEFAULT_SETTINGS.key, IsKeyManagement);
        _settings.pw = ValidText(reader, "pw", DEFAULT_SETTINGS.pw, IsPassphrase);
        _settings.time = static_cast<int>(reader.GetInteger(SECTION, "time", DEFAULT_SETTINGS.time));
        _settings.server = ValidText(reader, "server", DEFAULT_SETTINGS.server, IsIpv4);
    }
    std::printf("SSID:%s, key:%s, PW:%s, Time:%d\n", _settings.ssid.c_str(), _settings.key.c_str(),
        Pref::HIDDEN_VALUE, _settings.time);
}

bool CMainWiFi::SetWpaConfig()
{
    char buf[WPA_CONFIG_SIZE];
    int size = sizeof(buf);
    int n = std::snprintf(buf, size, "network={\nssid=\"%s\"\nkey_mgmt=%s\npsk=\"%s\"\n}", _settings.ssid.c_str(),
        _settings.key.c_str(), _settings.pw.c_str());
    if (n < 0 || n >= size)
        VK_ASSERT_REPORT("strlen(buf) < size");
    FILE* file = std::fopen(WPA_CONFIG, "wt");
    if (file == nullptr) {
        std::printf("[CMainWiFi]%s can't be written\n", WPA_CONFIG);
        return false;
    }
    bool written = std::fputs(buf, file) >= 0;
    return std::fclose(file) == 0 && written;
}

void CMainWiFi::OnInit(ipc_msg_t&)
{
    SetText(_time, "00:00");
    SetText(_total, "00:00:00");
    SetText(_ip, "0.0.0.0");
    SetText(_mac, "00-00-00-00-00-00");
    SetText(_server, "Server:%s", _settings.server.c_str());
    SetText(_btn0, "1");
    SetText(_btn1, "2");
    SetText(_btn2, "3");
    const struct {
        int id;
        const char* text;
    } texts[] = { { TEXT_TIME, _time }, { TEXT_TOTAL, _total }, { TEXT_IP, _ip }, { TEXT_MAC, _mac },
        { TEXT_MESSAGE, _message }, { TEXT_SERVER, _server } };
    for (const auto& text : texts) {
        obj_text* component = GetText(text.id);
        VK_ASSERT(component != nullptr);
        component->text_ptr = text.text;
    }
    const char* steps[] = { _btn0, _btn1, _btn2 };
    for (int i = 0; i < 3; ++i) {
        obj_button* btn = GetButton(BUTTON_STEP1 + i);
        VK_ASSERT(btn != nullptr);
        btn->text_ptr = steps[i];
    }
    SetWpaConfig();
    SendMessage(WM::PAINT);
    _testTime = 0;
    _totalTime = 0;
    SetTimer(TIMER::CFACTORY_MAIN_UPDATE, MAIN_UPDATE_TIME);
    if (access(_wlan0.c_str(), F_OK) != 0) {
        ShowError("wlan0 error");
        return;
    }
    SetText(_message, "wlan0 ready");
    std::system("ifconfig wlan0 up &");
    SetTimer(TIMER::CWIFI_WLAN0_UP_END, WLAN0_UP_MS);
}

void CMainWiFi::OnTimer(ipc_msg_t& msg)
{
    if (msg.wnd != GetWindowId()) {
        std::printf("[CMainWiFi]:Invalid Timer:Menu ID:%d, Timer ID:%d\n", msg.wnd, msg.param1);
        return;
    }
    switch (msg.param1) {
    case TIMER::CFACTORY_MAIN_UPDATE:
        SetTimer(TIMER::CFACTORY_MAIN_UPDATE, MAIN_UPDATE_TIME);
        Update();
        SendMessage(WM::PAINT);
        break;
    case TIMER::CWIFI_WLAN0_UP_END:
        StartSupplicant();
        break;
    case TIMER::CWIFI_WPA_END:
        StartDhcp();
        break;
    case TIMER::CWIFI_DHCPCD_END:
        StartNetwork();
        break;
    default:
        break;
    }
}

void CMainWiFi::OnButton(ipc_msg_t&)
{
    Singleton<Sound>::Inst()->Play(Sound::button);
}

void CMainWiFi::OnShutDown(ipc_msg_t& msg)
{
    PowerOff(msg.param1, false);
}

void CMainWiFi::StartSupplicant()
{
    std::printf("Excute wpa_supplicant\n");
    obj_button* step = GetButton(BUTTON_STEP1);
    VK_ASSERT(step != nullptr);
    step->SetFocus();
    SetTimer(TIMER::CWIFI_WPA_END, WPA_MS);
    std::system("wpa_supplicant -Dnl80211 -iwlan0 -c/tmp/wpa.conf &");
    SetText(_message, "Access to %s", _settings.ssid.c_str());
}

void CMainWiFi::StartDhcp()
{
    std::printf("Excute dhcpcd\n");
    SetTimer(TIMER::CWIFI_DHCPCD_END, DHCPCD_MS);
    std::system("dhcpcd wlan0 &");
    SetText(_message, "Requesting IP address");
}

void CMainWiFi::StartNetwork()
{
    std::printf("CWIFI_DHCPCD_END\n");
    _socket = socket(AF_INET, SOCK_STREAM, 0);
    std::printf("socket created...\n");
    if (_socket < 0) {
        SetText(_message, "socket() error");
        return;
    }
    GetAddr();
    // Without the station's MAC there is nothing to register: "MAC error" must never reach the server.
    if (!GetMac()) {
        Fail("MAC error");
        return;
    }
    obj_button* step = GetButton(BUTTON_STEP2);
    VK_ASSERT(step != nullptr);
    step->SetFocus();
    ServerHandler();
}

void CMainWiFi::Update()
{
    if (_state != CLOSE)
        UpdateClocks();
    switch (_state.load()) {
    case CONNECTING_SERVER:
        SetText(_message, "Connecting server");
        break;
    case CONNECTION_ERROR:
        Fail("Connection Error");
        break;
    case SEND_ERROR:
        Fail("Send Error");
        break;
    case RECV_ERROR:
        Fail("Recv Error");
        break;
    case REGISTER_MAC:
        Finish(BUTTON_STEP3);
        break;
    case OVERLAPPED_MAC: {
        obj_image* overlapped = GetImage(IMAGE_OVERLAPPED);
        VK_ASSERT(overlapped != nullptr);
        overlapped->SetShow();
        SetText(_server, "Overlapped MAC Error");
        Finish(BUTTON_STEP3);
        break;
    }
    case WAITING:
    case CLOSE:
        break;
    }
    _totalTime += 0.5f;
    int t = static_cast<int>(_totalTime);
    SetText(_total, "%02d::%02d:%02d", t / SECONDS_PER_HOUR, t % SECONDS_PER_HOUR / 60, t % 60);
}

void CMainWiFi::UpdateClocks()
{
    _testTime += 0.5f;
    int s = static_cast<int>(_testTime) % SECONDS_PER_HOUR;
    SetText(_time, "%02d:%02d", s / 60, s % 60);
    if (!_timeOver && s > _settings.time) {
        _timeOver = true;
        obj_text* time = GetText(TEXT_TIME);
        VK_ASSERT(time != nullptr);
        time->color = TIME_OVER_COLOUR;
    }
}

void CMainWiFi::Fail(const char* message)
{
    CloseSocket();
    _state = CLOSE;
    ShowError(message);
}

void CMainWiFi::ShowError(const char* message)
{
    SetText(_message, "%s", message);
    obj_image* error = GetImage(IMAGE_ERROR);
    VK_ASSERT(error != nullptr);
    error->SetShow();
}

void CMainWiFi::Finish(int button)
{
    CloseSocket();
    _state = CLOSE;
    obj_button* step = GetButton(button);
    VK_ASSERT(step != nullptr);
    step->SetFocus();
    SetText(_message, "Job Done!");
}

void CMainWiFi::CloseSocket()
{
    if (_socket >= 0)
        close(_socket);
    _socket = -1;
}

} // namespace vk
