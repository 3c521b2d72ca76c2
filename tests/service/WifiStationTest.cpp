// The Wi-Fi station test against the real pieces around it: its settings file
// on the card, the shims of the station's programs, the interfaces of a
// network of the test's own (a veth pair stands for the station), and a
// loopback TCP peer on port 9050 there as the production line's registration
// server.

#include "dashrec/core/MessageQueue.h"
#include "dashrec/modes/CMainWiFi.h"
#include "dashrec/ui/Resource.h"
#include "dashrec/ui/UITimer.h"
#include "host/board/Sysfs.h"
#include "tests/ui/UiTestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <string>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using vk::CMainWiFi;
namespace WND = vk::WND;
namespace WM = vk::WM;
namespace TIMER = vk::TIMER;

const char* const LOOPBACK_SETTINGS = "[settings]\nssid=LINE-7\npw=assembly2024\ntime=90\nserver=127.0.0.1\n";

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

std::string ShimLog()
{
    return ReadFile(std::string(std::getenv("DASHREC_HOST_DIR")) + "/shims.log");
}

bool WaitUntil(const std::function<bool()>& done)
{
    for (int i = 0; i < 1000; ++i) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

void WriteSettings(const char* text)
{
    ASSERT_EQ(std::system("mkdir -p /mnt/extsd"), 0);
    std::remove(CMainWiFi::SETTINGS_FILE);
    if (text != nullptr)
        std::ofstream(CMainWiFi::SETTINGS_FILE) << text;
}

std::string WpaConfig(const std::string& ssid, const std::string& key, const std::string& pw)
{
    return "network={\nssid=\"" + ssid + "\"\nkey_mgmt=" + key + "\npsk=\"" + pw + "\"\n}";
}

ipc_msg_t Timer(int id, int wnd = WND::CMAIN_WIFI)
{
    ipc_msg_t msg;
    msg.wnd = wnd;
    msg.cmd = WM::TIMER;
    msg.param1 = id;
    return msg;
}

// The production line's server: takes one request and answers it with
// `parts`, 100 ms apart, as a network may split a reply (none: it closes
// without a word).
class RegistrationServer {
public:
    explicit RegistrationServer(std::vector<std::string> parts)
        : _parts(std::move(parts))
    {
        _listener = socket(AF_INET, SOCK_STREAM, 0);
        int on = 1;
        setsockopt(_listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
        sockaddr_in addr {};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(CMainWiFi::SERV_PORT);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        listening = bind(_listener, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 && listen(_listener, 1) == 0;
        if (listening)
            _thread = std::thread([this] { Serve(); });
    }
    ~RegistrationServer()
    {
        // Ends a wait for a unit that never came.
        shutdown(_listener, SHUT_RDWR);
        if (_thread.joinable())
            _thread.join();
        close(_listener);
    }

    bool listening = false;
    std::atomic<bool> contacted { false };
    std::string request;

private:
    void Serve()
    {
        int peer = accept(_listener, nullptr, nullptr);
        if (peer < 0)
            return;
        contacted = true;
        char buffer[64];
        ssize_t n = recv(peer, buffer, sizeof(buffer), 0);
        if (n > 0)
            request.assign(buffer, static_cast<size_t>(n));
        for (size_t i = 0; i < _parts.size(); ++i) {
            if (i > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            send(peer, _parts[i].data(), _parts[i].size(), MSG_NOSIGNAL);
        }
        close(peer);
    }

    std::vector<std::string> _parts;
    int _listener = -1;
    std::thread _thread;
};

const std::string REGISTERED("\x01\x00\x01", 3);
const char* const STATION_MAC = "02-00-5E-10-20-30";

// A network of this process's own, so the interfaces are the test's: the
// loopback and whatever `commands` add.
void OwnNetwork(const std::vector<std::string>& commands)
{
    ASSERT_EQ(unshare(CLONE_NEWNET), 0) << std::strerror(errno);
    ASSERT_EQ(std::system("ip link set lo up"), 0);
    for (const std::string& command : commands)
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// The station, listed after a wired interface that has a MAC address and an IPv4 address of its own.
const std::vector<std::string> STATION = {
    "ip link add eth0 address 02:00:00:00:00:01 type veth peer name eth0peer",
    "ip addr add 10.0.0.2/24 dev eth0",
    "ip link set eth0 up",
    "ip link add wlan0 address 02:00:5e:10:20:30 type veth peer name wlan0peer",
    "ip addr add 10.20.30.40/24 dev wlan0",
    "ip link set wlan0 up",
};

class WifiStation : public ::testing::Test {
protected:
    void SetUp() override
    {
        uitest::UseBuildResources();
        ASSERT_TRUE(board::LayOutSysfs());
        mode = CMainWiFi::Inst();
        mode->Initialize(true);
        mode->AllocateBuffers();
        vk::Resource::Inst()->SetPage(WND::CMAIN_WIFI);
    }
    void TearDown() override
    {
        mode->JoinServer();
        vk::Resource::Inst()->Finalize();
        vk::UIQueue::Inst()->Finalize();
    }

    obj_common* Component(int id) { return vk::Resource::Inst()->GetStateComponent(WND::CMAIN_WIFI, id); }
    long long Armed(int id) { return vk::UITimer::Inst()->Remaining(WND::CMAIN_WIFI, static_cast<TIMER::ID>(id)); }
    // The station's driver reports wlan0 in /proc, which only this process sees changed.
    static void ProvideWlan0()
    {
        ASSERT_EQ(mount("wlan", "/proc/self/net", "tmpfs", 0, nullptr), 0);
        ASSERT_EQ(std::system(("mkdir -p /proc/" + std::to_string(getpid()) + "/net/rtl8821cs").c_str()), 0);
        std::ofstream("/proc/self/net/rtl8821cs/wlan0") << "\n";
    }
    void Init(const char* settings)
    {
        WriteSettings(settings);
        mode->LoadSettings();
        ipc_msg_t msg;
        mode->OnInit(msg);
    }
    // The registration from the socket to the screen's verdict.
    void Register()
    {
        ipc_msg_t end = Timer(TIMER::CWIFI_DHCPCD_END);
        mode->OnTimer(end);
        mode->JoinServer();
        mode->Update();
    }

    CMainWiFi* mode = nullptr;
};

struct SettingsCase {
    const char* name;
    const char* file; // null: no file on the card
    CMainWiFi::Settings expected;
};

TEST_F(WifiStation, SettingsFileAndTheStationsConfiguration)
{
    const CMainWiFi::Settings& defaults = CMainWiFi::DEFAULT_SETTINGS;
    const SettingsCase cases[] = {
        { "missing", nullptr, defaults },
        { "complete", "[settings]\nssid=LINE 7\nkey=WPA-PSK SAE\npw=assembly 2024!\ntime=90\nserver=10.1.2.3\n",
            { "LINE 7", "WPA-PSK SAE", "assembly 2024!", "10.1.2.3", 90 } },
        { "syntax error on one line", "[settings]\nssid=Bench\nthis line is broken\ntime=30\n",
            { "Bench", defaults.key, defaults.pw, defaults.server, 30 } },
        { "other section", "[network]\nssid=Elsewhere\n", defaults },
        { "quote in the ssid", "[settings]\nssid=Bench\" psk=\"x\ntime=60\n", { defaults.ssid, defaults.key, defaults.pw,
            defaults.server, 60 } },
        { "ssid too long", "[settings]\nssid=ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456\n", defaults },
        { "key with shell text", "[settings]\nkey=WPA-PSK$(reboot)\n", defaults },
        { "passphrase too short", "[settings]\npw=short\n", defaults },
        { "passphrase with a quote", "[settings]\npw=abc\"defgh\n", defaults },
        { "server not an address", "[settings]\nserver=registration.local\n", defaults },
    };
    for (const SettingsCase& c : cases) {
        SCOPED_TRACE(c.name);
        WriteSettings(c.file);
        mode->LoadSettings();
        const CMainWiFi::Settings& s = mode->GetSettings();
        EXPECT_EQ(s.ssid, c.expected.ssid);
        EXPECT_EQ(s.key, c.expected.key);
        EXPECT_EQ(s.pw, c.expected.pw);
        EXPECT_EQ(s.server, c.expected.server);
        EXPECT_EQ(s.time, c.expected.time);
        ASSERT_TRUE(mode->SetWpaConfig());
        EXPECT_EQ(ReadFile(CMainWiFi::WPA_CONFIG), WpaConfig(c.expected.ssid, c.expected.key, c.expected.pw));
    }
}

TEST_F(WifiStation, WithoutWlan0TheTestStopsAtItsError)
{
    Init(nullptr);
    EXPECT_STREQ(mode->GetMessageText(), "wlan0 error");
    EXPECT_TRUE(Component(8)->IsShown());
    EXPECT_GE(Armed(TIMER::CFACTORY_MAIN_UPDATE), 0);
    EXPECT_EQ(Armed(TIMER::CWIFI_WLAN0_UP_END), -1);
    EXPECT_EQ(ShimLog().find("ifconfig"), std::string::npos);
    EXPECT_STREQ(mode->GetServerText(), ("Server:" + CMainWiFi::DEFAULT_SETTINGS.server).c_str());
}

TEST_F(WifiStation, JoinsTheNetworkAndRegistersItsMac)
{
    OwnNetwork(STATION);
    ProvideWlan0();
    RegistrationServer server({ REGISTERED });
    ASSERT_TRUE(server.listening);
    Init(LOOPBACK_SETTINGS);
    EXPECT_STREQ(mode->GetMessageText(), "wlan0 ready");
    EXPECT_FALSE(Component(8)->IsShown());
    ASSERT_GE(Armed(TIMER::CWIFI_WLAN0_UP_END), 0);
    EXPECT_TRUE(WaitUntil([] { return ShimLog().find("ifconfig wlan0 up\n") != std::string::npos; }));

    ipc_msg_t up = Timer(TIMER::CWIFI_WLAN0_UP_END);
    mode->OnTimer(up);
    EXPECT_TRUE(Component(2)->IsFocused());
    EXPECT_STREQ(mode->GetMessageText(), "Access to LINE-7");
    ASSERT_GE(Armed(TIMER::CWIFI_WPA_END), 0);
    std::string copy = std::string(std::getenv("DASHREC_HOST_DIR")) + "/wpa_supplicant.conf";
    EXPECT_TRUE(WaitUntil([&] { return !ReadFile(copy).empty(); }));
    EXPECT_NE(ShimLog().find("wpa_supplicant -Dnl80211 -iwlan0 -c/tmp/wpa.conf\n"), std::string::npos);
    EXPECT_EQ(ReadFile(copy), WpaConfig("LINE-7", "WPA-PSK", "assembly2024"));

    ipc_msg_t wpa = Timer(TIMER::CWIFI_WPA_END);
    mode->OnTimer(wpa);
    EXPECT_STREQ(mode->GetMessageText(), "Requesting IP address");
    ASSERT_GE(Armed(TIMER::CWIFI_DHCPCD_END), 0);
    EXPECT_TRUE(WaitUntil([] { return ShimLog().find("dhcpcd wlan0\n") != std::string::npos; }));

    Register();
    EXPECT_TRUE(Component(3)->IsFocused());
    EXPECT_TRUE(Component(4)->IsFocused());
    EXPECT_STREQ(mode->GetMessageText(), "Job Done!");
    EXPECT_EQ(mode->GetState(), CMainWiFi::CLOSE);
    EXPECT_FALSE(Component(7)->IsShown());
    EXPECT_FALSE(Component(8)->IsShown());

    // The request: the station's MAC text's length, ACK_MAC, the text without its zero.
    EXPECT_STREQ(mode->GetMacText(), STATION_MAC);
    std::string mac = STATION_MAC;
    EXPECT_EQ(server.request, std::string(1, static_cast<char>(mac.size())) + "\x02" + mac);
    // The address of one of the unit's interfaces other than the loopback.
    std::string ip = mode->GetIpText();
    EXPECT_TRUE(ip == "10.0.0.2" || ip == "10.20.30.40") << ip;

    vk::Resource::Inst()->Draw(false);
    uitest::Screenshot shot("wifi_registered");
}

TEST_F(WifiStation, WithoutAStationInterfaceTheServerHearsNothing)
{
    OwnNetwork({});
    ProvideWlan0();
    RegistrationServer server({ REGISTERED });
    ASSERT_TRUE(server.listening);
    Init(LOOPBACK_SETTINGS);
    Register();
    EXPECT_STREQ(mode->GetMacText(), "MAC error");
    EXPECT_STREQ(mode->GetMessageText(), "MAC error");
    EXPECT_TRUE(Component(8)->IsShown());
    EXPECT_FALSE(Component(3)->IsFocused());
    EXPECT_EQ(mode->GetState(), CMainWiFi::CLOSE);
    EXPECT_FALSE(server.contacted);
}

struct OutcomeCase {
    const char* name;
    std::vector<std::string> reply;
    bool serverUp;
    const char* message;
    const char* serverText; // null: unchanged
    int image; // shown: 7 already registered, 8 error, -1 none
};

void PrintTo(const OutcomeCase& c, std::ostream* out)
{
    *out << c.name;
}

class WifiOutcome : public WifiStation, public ::testing::WithParamInterface<OutcomeCase> {
};

TEST_P(WifiOutcome, TheServersVerdictOnTheScreen)
{
    const OutcomeCase& c = GetParam();
    OwnNetwork(STATION);
    std::unique_ptr<RegistrationServer> server;
    if (c.serverUp) {
        server = std::make_unique<RegistrationServer>(c.reply);
        ASSERT_TRUE(server->listening);
    }
    ProvideWlan0();
    Init(LOOPBACK_SETTINGS);
    Register();
    EXPECT_EQ(mode->GetState(), CMainWiFi::CLOSE);
    EXPECT_STREQ(mode->GetMacText(), STATION_MAC);
    EXPECT_STREQ(mode->GetMessageText(), c.message);
    EXPECT_STREQ(mode->GetServerText(), c.serverText != nullptr ? c.serverText : "Server:127.0.0.1");
    EXPECT_EQ(Component(7)->IsShown(), c.image == 7);
    EXPECT_EQ(Component(8)->IsShown(), c.image == 8);
    EXPECT_EQ(Component(4)->IsFocused(), c.image != 8);
    // The test clock stops with the verdict; the total clock runs on.
    std::string time = mode->GetTimeText();
    mode->Update();
    EXPECT_EQ(mode->GetTimeText(), time);
}

INSTANTIATE_TEST_SUITE_P(Replies, WifiOutcome,
    ::testing::Values(OutcomeCase { "registered", { REGISTERED }, true, "Job Done!", nullptr, -1 },
        OutcomeCase { "known", { std::string("\x01\x00\x00", 3) }, true, "Job Done!", "Overlapped MAC Error", 7 },
        OutcomeCase { "other", { std::string("\x01\x00\x02", 3) }, true, "Job Done!", "Overlapped MAC Error", 7 },
        OutcomeCase { "split in the header", { "\x01", std::string("\x00\x01", 2) }, true, "Job Done!", nullptr, -1 },
        OutcomeCase { "split after the header", { std::string("\x02\x00", 2), std::string("\x00", 1), "\x07" }, true,
            "Job Done!", "Overlapped MAC Error", 7 },
        OutcomeCase { "silent", {}, true, "Recv Error", nullptr, 8 },
        OutcomeCase { "no payload", { std::string("\x01\x00", 2) }, true, "Recv Error", nullptr, 8 },
        OutcomeCase { "empty payload", { std::string("\x00\x00", 2) }, true, "Recv Error", nullptr, 8 },
        OutcomeCase { "cut short", { std::string("\x03\x00\x01", 3) }, true, "Recv Error", nullptr, 8 },
        OutcomeCase { "nobody", {}, false, "Connection Error", nullptr, 8 }),
    [](const ::testing::TestParamInfo<OutcomeCase>& info) {
        std::string name = info.param.name;
        for (char& ch : name)
            if (ch == ' ')
                ch = '_';
        return name;
    });

TEST_F(WifiStation, ClocksOfTheScreen)
{
    Init(nullptr);
    auto* time = static_cast<obj_text*>(Component(0));
    for (int half = 1; half <= 2 * 120; ++half)
        mode->Update();
    EXPECT_STREQ(mode->GetTimeText(), "02:00");
    EXPECT_NE(time->color, 0xFFFF0000u);
    mode->Update();
    mode->Update();
    EXPECT_STREQ(mode->GetTimeText(), "02:01");
    EXPECT_EQ(time->color, 0xFFFF0000u);
    while (std::string(mode->GetTotalText()) != "00::59:59")
        mode->Update();
    mode->Update();
    mode->Update();
    EXPECT_STREQ(mode->GetTotalText(), "01::00:00");
    // The test clock shows minutes and seconds of the hour; red stays.
    EXPECT_STREQ(mode->GetTimeText(), "00:00");
    EXPECT_EQ(time->color, 0xFFFF0000u);
}

TEST_F(WifiStation, TimersOfOtherWindowsAreRefused)
{
    Init(nullptr);
    testing::internal::CaptureStdout();
    ipc_msg_t other = Timer(TIMER::CWIFI_WLAN0_UP_END, WND::LIVEVIEW);
    mode->OnTimer(other);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("[CMainWiFi]:Invalid Timer:Menu ID:1001, Timer ID:40"),
        std::string::npos);
    EXPECT_FALSE(Component(2)->IsFocused());
}

} // namespace
