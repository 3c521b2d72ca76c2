// The developer GPS screen: its signal bars driven by satellite reports, both
// made up and made by the GPS receiver from captured NMEA logs sent over a pty
// bound at /dev/ttyS4; the red LED and the beep when the receiver gains a fix.

#include "dashrec/core/MessageQueue.h"
#include "dashrec/devices/GPS.h"
#include "dashrec/modes/CMainDeveloper.h"
#include "dashrec/ui/Resource.h"
#include "host/board/PtyLine.h"
#include "host/board/Sysfs.h"
#include "tests/sensors/NmeaText.h"
#include "tests/ui/UiTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using vk::CMainDeveloper;
using Bar = vk::CMainDeveloper::SignalBar;
namespace WND = vk::WND;
namespace WM = vk::WM;

const std::string LOGS = DASHREC_NMEA_LOGS;
const char* const BEEP = "aplay /app/kvo/rsc/sound/beepbeep.wav\n";
// Sent after a log: a satellite no log reports, so its report marks the end.
const int MARKER_SATELLITE = 99;
const int MARKER_SNR = 42;

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

size_t Beeps()
{
    std::string log = ReadFile(std::string(std::getenv("DASHREC_HOST_DIR")) + "/shims.log");
    size_t count = 0;
    for (size_t at = log.find(BEEP); at != std::string::npos; at = log.find(BEEP, at + 1))
        ++count;
    return count;
}

ipc_msg_t Message(int cmd, int param1 = 0, int param2 = 0)
{
    ipc_msg_t msg;
    msg.wnd = WND::ANY;
    msg.cmd = cmd;
    msg.param1 = param1;
    msg.param2 = param2;
    return msg;
}

class GpsScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        uitest::UseBuildResources();
        ASSERT_TRUE(board::LayOutSysfs());
        mode = CMainDeveloper::Inst();
        mode->Initialize(true);
        vk::Resource::Inst()->SetPage(WND::CMAIN_DEVELOPER);
        Send(WM::INIT);
    }
    void TearDown() override
    {
        vk::Resource::Inst()->Finalize();
        vk::UIQueue::Inst()->Finalize();
    }

    void Send(int cmd, int param1 = 0, int param2 = 0)
    {
        ipc_msg_t msg = Message(cmd, param1, param2);
        mode->Dispatch(msg);
    }
    // One report of the receiver: (satellite, SNR, active) each.
    void Report(const std::vector<std::tuple<int, int, int>>& satellites)
    {
        Send(WM::SATELLITE_UPDATE_BEGIN);
        for (const auto& [sat, snr, active] : satellites) {
            Send(WM::SATELLITE_SNR_UPDATE, sat, snr);
            Send(WM::SATELLITE_ACTIVE_UPDATE, sat, active);
        }
        Send(WM::SATELLITE_UPDATE_END);
    }
    const Bar& BarAt(size_t i) { return *mode->GetSignalBars().at(i); }
    obj_common* Component(int id) { return vk::Resource::Inst()->GetStateComponent(WND::CMAIN_DEVELOPER, id); }
    unsigned BarColour(int i) { return static_cast<obj_rect*>(Component(i))->color; }
    unsigned NumberColour(int i) { return static_cast<obj_text*>(Component(i + Bar::OFFSET_TXT_ID))->color; }
    const char* StrengthText(int i) { return static_cast<obj_text*>(Component(i + Bar::OFFSET_TXT_SIGNAL))->text_ptr; }
    const char* NumberText(int i) { return static_cast<obj_text*>(Component(i + Bar::OFFSET_TXT_ID))->text_ptr; }
    std::string Led() { return board::ReadNode(board::GpioValuePath(CMainDeveloper::GPIO_LED_FIX)); }

    CMainDeveloper* mode = nullptr;
};

TEST_F(GpsScreen, StartsWithTwentyFourFreeBars)
{
    ASSERT_EQ(mode->GetSignalBars().size(), 24u);
    Send(WM::INIT);
    ASSERT_EQ(mode->GetSignalBars().size(), 24u);
    for (int i = 0; i < 24; ++i) {
        EXPECT_EQ(BarAt(i).GetSatellite(), 0);
        EXPECT_STREQ(NumberText(i), "00");
        EXPECT_STREQ(StrengthText(i), "0");
        EXPECT_EQ(Component(i)->area.h, 0);
        EXPECT_TRUE(Component(i + Bar::OFFSET_IMG_BG)->IsShown());
    }
    EXPECT_EQ(Led(), "0");
}

struct StrengthCase {
    int snr;
    const char* text;
    unsigned colour;
};

TEST_F(GpsScreen, StrengthGivesHeightTextAndColour)
{
    const StrengthCase cases[] = { { -1, "0", Bar::RED }, { -150, "0", Bar::RED }, { 0, "0", Bar::RED }, { 9, "9", Bar::RED }, { 10, "10", Bar::ORANGE },
        { 19, "19", Bar::ORANGE }, { 20, "20", Bar::YELLOW }, { 29, "29", Bar::YELLOW }, { 30, "30", Bar::LIME },
        { 49, "49", Bar::LIME }, { 50, "50", Bar::GREEN }, { 99, "99", Bar::GREEN }, { 150, "99", Bar::GREEN } };
    std::vector<std::tuple<int, int, int>> report;
    for (size_t i = 0; i < std::size(cases); ++i)
        report.emplace_back(static_cast<int>(i) + 1, cases[i].snr, 0);
    Report(report);
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].snr);
        int id = static_cast<int>(i);
        const Rect& bg = Component(id + Bar::OFFSET_IMG_BG)->area;
        const Rect& bar = Component(id)->area;
        int height = std::clamp(cases[i].snr, 0, 99) * bg.h / 100;
        EXPECT_EQ(bar.h, height);
        EXPECT_EQ(bar.y + bar.h, bg.y + bg.h);
        EXPECT_STREQ(StrengthText(id), cases[i].text);
        EXPECT_EQ(BarColour(id), cases[i].colour);
        EXPECT_EQ(BarAt(i).GetStrength(), std::clamp(cases[i].snr, 0, 99));
    }
}

TEST_F(GpsScreen, SatellitesFillTheFreeBarsInOrder)
{
    std::vector<std::tuple<int, int, int>> report;
    for (int sat = 1; sat <= 25; ++sat)
        report.emplace_back(sat * 3, 20 + sat, sat % 2);
    // A second report of a satellite in the same cycle updates its own bar.
    report.emplace_back(6, 45, 0);
    Report(report);
    for (int i = 0; i < 24; ++i) {
        SCOPED_TRACE(i);
        int sat = i + 1;
        EXPECT_EQ(BarAt(i).GetSatellite(), sat * 3);
        EXPECT_EQ(BarAt(i).GetStrength(), sat == 2 ? 45 : 20 + sat);
        EXPECT_EQ(BarAt(i).GetActive(), sat % 2 == 1);
        EXPECT_EQ(NumberColour(i), sat % 2 == 1 ? Bar::YELLOW : Bar::LIGTH_GREY);
        EXPECT_EQ(std::stoi(NumberText(i)), sat * 3);
    }
    // The 25th satellite found no bar.
    for (int i = 0; i < 24; ++i)
        EXPECT_NE(BarAt(i).GetSatellite(), 75);

    // The next cycle starts afresh; an ACTIVE flag 0 leaves a bar as it is.
    Report({ { 40, 33, 1 }, { 3, 12, 0 } });
    EXPECT_EQ(BarAt(0).GetSatellite(), 40);
    EXPECT_TRUE(BarAt(0).GetActive());
    EXPECT_EQ(BarAt(1).GetSatellite(), 3);
    EXPECT_FALSE(BarAt(1).GetActive());
    EXPECT_STREQ(NumberText(1), "03");
    for (int i = 2; i < 24; ++i) {
        EXPECT_EQ(BarAt(i).GetSatellite(), 0);
        EXPECT_EQ(BarAt(i).GetStrength(), 0);
        EXPECT_EQ(NumberColour(i), Bar::LIGTH_GREY);
    }
}

TEST_F(GpsScreen, EverySecondReportRepaints)
{
    vk::UIQueue* bus = vk::UIQueue::Inst();
    ipc_msg_t msg;
    while (bus->RecvMessage(msg, 0) > 0) {
    }
    int paints = 0;
    for (int cycle = 1; cycle <= 4; ++cycle) {
        Report({ { 7, 30, 1 } });
        while (bus->RecvMessage(msg, 0) > 0)
            paints += msg.cmd == WM::PAINT && msg.wnd == WND::CMAIN_DEVELOPER;
        EXPECT_EQ(paints, cycle / 2) << cycle;
    }
}

TEST_F(GpsScreen, GainedFixLightsTheLedAndBeepsOnce)
{
    const struct {
        int fix;
        const char* led;
        size_t beeps;
    } steps[] = { { 0, "0", 0 }, { 1, "1", 1 }, { 1, "1", 1 }, { 0, "0", 1 }, { 1, "1", 2 } };
    for (const auto& step : steps) {
        Send(WM::GPS, step.fix);
        EXPECT_EQ(Led(), step.led);
        EXPECT_EQ(Beeps(), step.beeps);
    }
}

// What one report of the receiver asked of the screen.
struct Cycle {
    std::vector<std::pair<int, int>> snr; // satellite, SNR in order
    std::vector<int> active;
};

class GpsScreenReplay : public GpsScreen, public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override
    {
        GpsScreen::SetUp();
        ASSERT_TRUE(_line.Bind(vk::GPS::UART));
        vk::GPS::Inst()->Start();
    }
    void TearDown() override
    {
        _stop = true;
        if (_writer.joinable())
            _writer.join();
        vk::GPS::Inst()->Finalize();
        GpsScreen::TearDown();
    }

    // The log as the module sends it, then a report of the marker satellite.
    // A sentence goes out once the screen has taken in the last one: the bus
    // holds ten messages, fewer than a cycle's reports, and a module sends a
    // cycle a second, not the whole log at once.
    void Feed(const std::string& log)
    {
        std::vector<std::string> sentences;
        std::istringstream in(log);
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("#", 0) == 0)
                continue;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            sentences.push_back(line + "\r\n");
        }
        sentences.push_back(sensors_test::Nmea("GPGSV,1,1,01," + std::to_string(MARKER_SATELLITE) + ",45,100,"
            + std::to_string(MARKER_SNR)));
        sentences.push_back(
            sensors_test::Nmea("GPGSA,A,3," + std::to_string(MARKER_SATELLITE) + ",,,,,,,,,,,,1.0,1.0,1.0"));
        _writer = std::thread([this, sentences] {
            for (const std::string& sentence : sentences) {
                if (!WriteAll(sentence))
                    return;
                unsigned seen = _idle;
                while (!_stop && _idle < seen + 2)
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
    }

    bool WriteAll(const std::string& bytes)
    {
        for (size_t sent = 0; sent < bytes.size();) {
            if (_stop)
                return false;
            ssize_t n = _line.Write(bytes.data() + sent, bytes.size() - sent);
            if (n > 0)
                sent += static_cast<size_t>(n);
            else if (errno == EAGAIN)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            else
                return false;
        }
        return true;
    }

    board::PtyLine _line;
    std::thread _writer;
    std::atomic<bool> _stop { false };
    // Times the test found the bus empty.
    std::atomic<unsigned> _idle { 0 };
};

TEST_P(GpsScreenReplay, BarsFollowTheReceiversReports)
{
    Feed(ReadFile(LOGS + "/" + GetParam()));
    vk::UIQueue* bus = vk::UIQueue::Inst();
    Cycle cycle;
    int cycles = 0;
    size_t gained = 0;
    bool fix = false;
    bool marked = false;
    std::string screenshot = GetParam().substr(0, GetParam().find('.'));
    bool shot = false;
    auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(150);
    while (!marked && std::chrono::steady_clock::now() < giveUp) {
        ipc_msg_t msg;
        if (bus->RecvMessage(msg, 20) <= 0) {
            ++_idle;
            continue;
        }
        mode->Dispatch(msg);
        switch (msg.cmd) {
        case WM::SATELLITE_UPDATE_BEGIN:
            cycle = Cycle();
            break;
        case WM::SATELLITE_SNR_UPDATE:
            cycle.snr.emplace_back(msg.param1, msg.param2);
            break;
        case WM::SATELLITE_ACTIVE_UPDATE:
            if (msg.param2 != 0)
                cycle.active.push_back(msg.param1);
            break;
        case WM::GPS:
            gained += msg.param1 != 0 && !fix;
            fix = msg.param1 != 0;
            EXPECT_EQ(Led(), fix ? "1" : "0");
            break;
        case WM::SATELLITE_UPDATE_END: {
            ++cycles;
            std::vector<std::pair<int, int>> shown;
            for (const auto& [sat, snr] : cycle.snr) {
                marked |= sat == MARKER_SATELLITE && snr == MARKER_SNR;
                auto same = std::find_if(shown.begin(), shown.end(), [sat = sat](auto& s) { return s.first == sat; });
                if (same != shown.end())
                    same->second = std::min(snr, 99);
                else if (shown.size() < 24)
                    shown.emplace_back(sat, std::min(snr, 99));
            }
            for (size_t i = 0; i < 24; ++i) {
                SCOPED_TRACE("cycle " + std::to_string(cycles) + ", bar " + std::to_string(i));
                int sat = i < shown.size() ? shown[i].first : 0;
                ASSERT_EQ(BarAt(i).GetSatellite(), sat);
                ASSERT_EQ(BarAt(i).GetStrength(), i < shown.size() ? shown[i].second : 0);
                bool active = sat != 0 && std::count(cycle.active.begin(), cycle.active.end(), sat) > 0;
                ASSERT_EQ(BarAt(i).GetActive(), active);
            }
            if (!marked && !shot && shown.size() >= 8) {
                vk::Resource::Inst()->Draw(false);
                uitest::Screenshot picture("gps_" + screenshot);
                shot = true;
            }
            break;
        }
        default:
            break;
        }
    }
    ASSERT_TRUE(marked) << "the marker's report never came";
    EXPECT_GT(cycles, 1);
    EXPECT_EQ(Beeps(), gained);
}

INSTANTIATE_TEST_SUITE_P(Logs, GpsScreenReplay,
    ::testing::Values("neo-m8n.log", "mt3339.log", "bu353-glonass.log", "st-teseo-liv4f.log"),
    [](const ::testing::TestParamInfo<std::string>& info) {
        std::string name = info.param.substr(0, info.param.find('.'));
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

} // namespace
