#pragma once
// The Wi-Fi station test of the production line: joins the test network as a
// station, obtains an address, reads the unit's own MAC address and registers
// it with the registration server over TCP. Bringing wlan0 up is a chain of
// timers; the registration runs on a thread of its own and reports through
// `_state`, which the 500 ms update turns into the screen's texts.

#include "dashrec/core/SDDebug.h"
#include "dashrec/modes/ServiceMode.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdint>
#include <memory>
#include <string>
#include <sys/time.h>
#include <thread>

namespace vk {

class CMainWiFi : public Singleton<CMainWiFi>, public ServiceMode {
public:
    enum STATE {
        WAITING = 0,
        CONNECTING_SERVER = 1,
        CONNECTION_ERROR = 2,
        SEND_ERROR = 3,
        RECV_ERROR = 4,
        REGISTER_MAC = 5,
        OVERLAPPED_MAC = 6,
        CLOSE = 7,
    };
    enum PROTOCOL { ACK_MAC = 2, SYN_MAC = 3 };

    struct Settings {
        std::string ssid;
        std::string key; // key_mgmt
        std::string pw; // passphrase
        std::string server; // IPv4 address, dotted
        int time = 0; // test-time limit, s
    };

    static constexpr int TEST_COUNT = 3;
    static constexpr int MAIN_UPDATE_TIME = 500;
    static constexpr int DATA_SIZE = 1024;
    static constexpr uint16_t SERV_PORT = 9050;
    static constexpr int HEADSIZE = 2;
    static constexpr const char* SETTINGS_FILE = "/mnt/extsd/_wireless.mod";
    static constexpr const char* WPA_CONFIG = "/tmp/wpa.conf";
    static constexpr const char* STATION_INTERFACE = "wlan0";
    static const Settings DEFAULT_SETTINGS;

    CMainWiFi();
    ~CMainWiFi() override;

    void Initialize(bool) override;
    void Start() override;
    void Finalize() override;

    // Section "settings" of the card's "_wireless.mod"; a missing file or a
    // value the station can't use leaves that key at its default.
    void LoadSettings();
    // The station's network block for wpa_supplicant.
    bool SetWpaConfig();

    void OnInit(ipc_msg_t&) override;
    void OnTimer(ipc_msg_t& msg) override;
    void OnButton(ipc_msg_t&) override;
    void OnShutDown(ipc_msg_t& msg) override;
    // Every 500 ms: the clocks and what the registration has come to.
    void Update();

    // The send and receive buffers of the registration.
    void AllocateBuffers();
    // The first IPv4 address other than the loopback into `_ip`.
    void GetAddr();
    // The station interface's hardware address into `_mac`; false, and
    // "MAC error" there, when the unit has no such interface.
    bool GetMac();
    // Starts the registration thread.
    void ServerHandler();
    void JoinServer();

    STATE GetState() const { return _state; }
    const Settings& GetSettings() const { return _settings; }
    const char* GetMessageText() const { return _message; }
    const char* GetIpText() const { return _ip; }
    const char* GetMacText() const { return _mac; }
    const char* GetServerText() const { return _server; }
    const char* GetTimeText() const { return _time; }
    const char* GetTotalText() const { return _total; }

private:
    void StartNetwork();
    void StartSupplicant();
    void StartDhcp();
    void Register();
    // Connects within the 5 s wait; -1 and the failed state set otherwise.
    // `left` is what remains of the wait.
    int Connect(timeval& left);
    // Sends the MAC and reads the server's verdict on the connected socket.
    STATE Exchange(int sock, const timeval& left);
    // The request in `_snd`; its length on the wire.
    int BuildRequest();
    void CloseSocket();
    void ShowError(const char* message);
    // The registration has failed: the test ends with the error shown.
    void Fail(const char* message);
    void Finish(int button);
    void UpdateClocks();
    // Formats a text of the page; one that does not fit is a broken invariant.
    template <size_t N>
    static void SetText(char (&text)[N], const char* format, ...) __attribute__((format(printf, 2, 3)));

    int _socket = -1;
    std::atomic<STATE> _state { WAITING };
    Settings _settings;
    float _testTime = 0;
    float _totalTime = 0;
    bool _timeOver = false;
    char _message[64] = {};
    char _btn0[32] = {};
    char _btn1[32] = {};
    char _btn2[32] = {};
    char _time[32] = {};
    char _total[32] = {};
    char _ip[32] = {};
    char _mac[32] = {};
    char _server[64] = {};
    std::unique_ptr<char[]> _snd;
    std::unique_ptr<char[]> _rcv;
    std::thread _t;
    const std::string _wlan0 = "/proc/net/rtl8821cs/wlan0";
};

template <size_t N>
void CMainWiFi::SetText(char (&text)[N], const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(text, N, format, args);
    va_end(args);
    if (n < 0 || static_cast<size_t>(n) >= N)
        VK_ASSERT_REPORT("strlen(text) < sizeof(text)");
}

} // namespace vk
