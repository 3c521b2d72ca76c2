// The GPS receiver fed sentence by sentence: framing, dispatch, the RMC fix and
// the clock setting, the satellite report and the no-data report.

#include "dashrec/core/MessageIds.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/SystemClock.h"
#include "dashrec/devices/GPS.h"
#include "dashrec/devices/Rtc.h"
#include "tests/sensors/HandedOn.h"
#include "tests/sensors/NmeaText.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using sensors_test::Nmea;
using sensors_test::Rmc;

class Gps : public ::testing::Test {
protected:
    void SetUp() override
    {
        vk::UIQueue::Inst()->Init();
        gps()->Init(false);
    }
    void TearDown() override { vk::UIQueue::Inst()->Finalize(); }

    sensors_test::HandedOn _handedOn;

    static vk::GPS* gps() { return vk::Singleton<vk::GPS>::Inst(); }
    static std::vector<std::string> Handed() { return sensors_test::HandedOn::Sentences(); }

    static void Feed(const std::string& bytes)
    {
        for (char c : bytes)
            gps()->HandleByte(c);
    }

    static vk::gps_lock_data_t Fix()
    {
        vk::gps_lock_data_t fix;
        gps()->CopyData(fix);
        return fix;
    }

    // Every message waiting on the bus.
    static std::vector<ipc_msg_t> Drain(int quietMs = 20)
    {
        std::vector<ipc_msg_t> messages;
        ipc_msg_t msg;
        while (vk::UIQueue::Inst()->RecvMessage(msg, quietMs) > 0)
            messages.push_back(msg);
        return messages;
    }

    static int GpsPosts(const std::vector<ipc_msg_t>& messages, int available)
    {
        int count = 0;
        for (const ipc_msg_t& m : messages)
            count += m.wnd == vk::WND::CMAIN_DVR && m.cmd == vk::WM::GPS && m.param1 == available;
        return count;
    }
};

// A sentence of exactly `length` characters, CR LF included, with a valid checksum.
std::string SentenceOfLength(size_t length)
{
    std::string body = "GPRMC,000941.00,A,4404.13387,N,12118.85628,W,0.029,,100117,,,A";
    std::string padding;
    while (Nmea(body + "," + padding).size() < length)
        padding += "0";
    return Nmea(body + "," + padding);
}

TEST_F(Gps, FramingKeepsOnlyWellFormedSentences)
{
    const std::string good = "$GNRMC,000941.00,A,4404.13387,N,12118.85628,W,0.029,,100117,,,A*7D\r\n";
    const struct {
        std::string bytes;
        bool handedOn;
    } cases[] = {
        { good, true },
        { "$GNRMC,000941.00,A,4404.13387,N,12118.85628,W,0.029,,100117,,,A*7d\r\n", false },
        { "$GNRMC,000941.00,A,4404.13387,N,12118.85628,W,0.029,,100117,,,A\r\n", false },
        { good.substr(0, good.size() - 2) + "\n", false },
        { good.substr(0, good.size() - 1), false },
        { "$GNRMC,000941.00,A,4404.13387,N,12118.85628,W,0.029,,100117,,,A*7C\r\n", false },
        { Nmea("GPRMC,000941.00,A,4404.13387,N,12118.85628,W,0.029, ,100117,,,A"), false },
        { "$GPRMC,0009" + good, true },
        { SentenceOfLength(91), true },
        { SentenceOfLength(92), false },
        { std::string(300, 'x') + "\n" + good, true },
        { Nmea("GPGGA,000941.00,4404.13387,N,12118.85628,W,1,12,1.01,1144.8,M,-21.4,M,,"), false },
        { Nmea("GPGSV,4,1,16,02,05,307,,03,21,174,29,04,12,038,23,06,07,270,06"), false },
    };
    for (const auto& c : cases) {
        sensors_test::HandedOn::Clear();
        Feed(c.bytes);
        std::string sentence = c.bytes.substr(c.bytes.rfind('$'));
        EXPECT_EQ(Handed(), c.handedOn ? std::vector<std::string> { sentence } : std::vector<std::string> {})
            << c.bytes;
    }
    ASSERT_EQ(SentenceOfLength(91).size(), 91u);
    ASSERT_EQ(SentenceOfLength(92).size(), 92u);
}

TEST_F(Gps, OverlongSentenceIsLogged)
{
    testing::internal::CaptureStdout();
    Feed(SentenceOfLength(92));
    EXPECT_NE(testing::internal::GetCapturedStdout().find("[GPS]Overlong packet rejected.\r\n"), std::string::npos);
}

TEST_F(Gps, ServiceModesParseAndHandOnSatelliteSentences)
{
    gps()->Init(true);
    const std::string gsv = Nmea("GPGSV,4,1,16,02,05,307,,03,21,174,29,04,12,038,23,06,07,270,06");
    const std::string gga = Nmea("GPGGA,000941.00,4404.13387,N,12118.85628,W,1,12,1.01,1144.8,M,-21.4,M,,");
    Feed(gsv + gga);
    EXPECT_EQ(Handed(), std::vector<std::string> { gsv });
}

TEST_F(Gps, RmcGivesPositionAndSpeed)
{
    Feed(Rmc("120000", "100117"));
    vk::gps_lock_data_t fix = Fix();
    EXPECT_TRUE(fix.available);
    EXPECT_NEAR(fix.latitude, 37.552057, 1e-6);
    EXPECT_NEAR(fix.longitude, -126.975, 1e-9);
    EXPECT_EQ(fix.speed, 18);
    EXPECT_EQ(fix.year, 17);
    EXPECT_EQ(fix.month, 1);
    EXPECT_EQ(fix.day, 10);
    EXPECT_EQ(fix.hour, 12);
    Feed(Rmc("120001", "100117", "A", "0000.0000,S,00000.0000,E", "0.0"));
    EXPECT_EQ(Fix().latitude, 0.0);
    EXPECT_EQ(Fix().speed, 0);
}

TEST_F(Gps, MalformedRmcFieldsKeepWhatCameBefore)
{
    Feed(Rmc("120000", "100117"));
    const struct {
        std::string sentence;
        const char* log;
    } cases[] = {
        { Rmc("", "100117"), "[ProcessRMC]UTC Date error" },
        { Rmc("120001", "100117", "A", "3733.1234,N,,W"), "[ProcessRMC]Longitude error" },
        { Rmc("120001", "100117", "A", "3733.1234,,12658.5000,W"), "[ProcessRMC]Latitude error" },
        { Rmc("120001", "100117", "A", "9933.1234,N,12658.5000,W"), "[ProcessRMC]Latitude error" },
        { Rmc("120001", "100117", "A", "3733.1234,N,12658.5000,W", ""), "[ProcessRMC]Speed error" },
        { Rmc("120001", "100117", "A", "3733.1234,N,12658.5000,W", "1e300"), "[ProcessRMC]Speed error" },
        { Rmc("120001", "100117", "X"), "------------------- RMC ERROR ------------------" },
    };
    for (const auto& c : cases) {
        testing::internal::CaptureStdout();
        Feed(c.sentence);
        EXPECT_NE(testing::internal::GetCapturedStdout().find(c.log), std::string::npos) << c.sentence;
        EXPECT_NEAR(Fix().latitude, 37.552057, 1e-6);
        EXPECT_EQ(Fix().speed, 18);
    }
}

class GpsClock : public Gps {
protected:
    void SetUp() override
    {
        Gps::SetUp();
        vk::Singleton<vk::Rtc>::Inst()->Init();
    }

    // Six RMCs from 12:00:00 on, one second apart.
    static std::vector<std::string> Run(const std::string& date, int first = 0)
    {
        std::vector<std::string> sentences;
        for (int i = 0; i < 6; ++i) {
            char time[8];
            std::snprintf(time, sizeof(time), "1200%02d", first + i);
            sentences.push_back(Rmc(time, date));
        }
        return sentences;
    }

    static long ClockError(time_t expected) { return std::labs(vk::SystemClock::Now().tv_sec - expected); }
};

TEST_F(GpsClock, SixthConsistentStampSetsClockAndRtc)
{
    // 2017-01-10 12:00:05 UTC, and the default time zone of 9 h.
    const time_t sixth = 1484049605 + 9 * 3600;
    std::vector<std::string> run = Run("100117");
    testing::internal::CaptureStdout();
    for (int i = 0; i < 5; ++i)
        Feed(run[i]);
    std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("[GPS]push 117/0/10 - 12:0:0\r\n"), std::string::npos);
    EXPECT_GT(ClockError(sixth), 3600) << "the clock was set before the sixth stamp";
    EXPECT_TRUE(Drain().empty());

    testing::internal::CaptureStdout();
    Feed(run[5]);
    log = testing::internal::GetCapturedStdout();
    EXPECT_LE(ClockError(sixth), 2);
    EXPECT_NE(log.find("GPS SetTime::2017/01/10-21:00:05, timezone:9\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("[GPS]RTC Set successful\r\n"), std::string::npos);
    std::vector<ipc_msg_t> posts = Drain();
    EXPECT_EQ(GpsPosts(posts, 1), 1);
    EXPECT_EQ(posts.size(), 1u);

    vk::Rtc::RtcTime rtc {};
    ASSERT_TRUE(vk::Singleton<vk::Rtc>::Inst()->GetTime(rtc));
    EXPECT_EQ(rtc.year, 17);
    EXPECT_EQ(rtc.mon, 1);
    EXPECT_EQ(rtc.date, 10);
    EXPECT_EQ(rtc.hour, 21);
    EXPECT_EQ(rtc.min, 0);
    EXPECT_NEAR(rtc.sec, 5, 2);

    // Set once: every later fix only posts.
    vk::SystemClock::Set(timeval { 1000000000, 0 });
    Feed(Rmc("120006", "100117"));
    EXPECT_LT(vk::SystemClock::Now().tv_sec, 1000000100);
    EXPECT_EQ(GpsPosts(Drain(), 1), 1);
}

TEST_F(GpsClock, OtherThreadsReadTheFixWhileTheClockIsSet)
{
    std::vector<std::string> run = Run("100117");
    for (int i = 0; i < 5; ++i)
        Feed(run[i]);
    std::thread receiver([&run] { Feed(run[5]); });
    // The receiver waits 100 ms after setting the clock; the fix stays readable meanwhile.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    auto start = std::chrono::steady_clock::now();
    Fix();
    auto waited = std::chrono::steady_clock::now() - start;
    receiver.join();
    EXPECT_LT(waited, std::chrono::milliseconds(30));
    EXPECT_LE(ClockError(1484049605 + 9 * 3600), 2);
}

TEST_F(GpsClock, StampsThatDisagreeNeverSetTheClock)
{
    const time_t far = 1484049605 + 9 * 3600;
    std::vector<std::string> sentences;
    for (const char* time : { "120000", "120001", "120002", "120003", "120030" })
        sentences.push_back(Rmc(time, "100117"));
    // A lone jump after five good stamps must not set the clock either.
    sentences.push_back(Rmc("235959", "311225"));
    testing::internal::CaptureStdout();
    for (const std::string& s : sentences)
        Feed(s);
    std::string log = testing::internal::GetCapturedStdout();
    EXPECT_GT(ClockError(far), 3600);
    EXPECT_NE(log.find("[GPS]time error, push 125/11/31 - 23:59:59\r\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("SetTime"), std::string::npos);
}

// A module with the week-number rollover fault dates its fixes "99": 1999,
// which the clocks would take for 2099. The clocks stay as they were; the
// fix is used, and a good date later still sets them.
TEST_F(GpsClock, AYear99LeavesTheClocksAsTheyWereButTheFixIsUsed)
{
    vk::Rtc* rtc = vk::Singleton<vk::Rtc>::Inst();
    vk::Rtc::RtcTime before {};
    ASSERT_TRUE(rtc->GetTime(before));
    timeval clock = vk::SystemClock::Now();
    testing::internal::CaptureStdout();
    int fixes = 0;
    for (int run = 0; run < 2; ++run) {
        for (const std::string& s : Run("100199", 6 * run))
            Feed(s);
        fixes += GpsPosts(Drain(), 1);
    }
    std::string log = testing::internal::GetCapturedStdout();
    EXPECT_LT(ClockError(clock.tv_sec), 60);
    vk::Rtc::RtcTime after {};
    ASSERT_TRUE(rtc->GetTime(after));
    EXPECT_EQ(after.year, before.year);
    EXPECT_EQ(after.mon, before.mon);
    EXPECT_EQ(after.date, before.date);
    EXPECT_EQ(log.find("SetTime::"), std::string::npos) << log;
    EXPECT_NE(log.find("[GPS]clock not set, out of range 199/0/10 - 12:0:0\r\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("out of range"), log.rfind("out of range")) << "logged once";
    EXPECT_EQ(fixes, 12) << "every fix is reported";
    EXPECT_TRUE(Fix().available);
    EXPECT_EQ(Fix().speed, 18);
    EXPECT_NEAR(Fix().latitude, 37.552057, 1e-6);

    for (const std::string& s : Run("100117", 20))
        Feed(s);
    EXPECT_LE(ClockError(1484049625 + 9 * 3600), 2);
}

TEST_F(GpsClock, MalformedStampsNeverSetTheClock)
{
    const std::vector<std::pair<std::string, std::string>> stamps = {
        { "12a000", "100117" }, { "120000", "1a0117" }, { "120000", "320117" }, { "120000", "001317" },
        { "120000", "300217" }, { "250000", "100117" }, { "126100", "100117" }, { "120000", "000000" },
        { "+12000", "100117" }, { "120000", "10011" }, { "120000", "1001170" },
    };
    timeval before = vk::SystemClock::Now();
    for (const auto& stamp : stamps) {
        for (int i = 0; i < 7; ++i)
            Feed(Rmc(stamp.first, stamp.second));
        EXPECT_LT(std::labs(vk::SystemClock::Now().tv_sec - before.tv_sec), 60) << stamp.first << " " << stamp.second;
        EXPECT_EQ(GpsPosts(Drain(), 1), 0) << stamp.first << " " << stamp.second;
    }
}

TEST_F(GpsClock, FixLossByStatusAndByDate)
{
    for (const std::string& s : Run("100117"))
        Feed(s);
    Drain();
    // Within 3 s of the fix a "V" keeps it but still reports no fix.
    Feed(Rmc("120006", "100117", "V"));
    EXPECT_TRUE(Fix().available);
    EXPECT_EQ(GpsPosts(Drain(), 0), 1);

    // Date 000000 within 4 s of the fix: ignored silently.
    Feed(Rmc("120007", "000000"));
    EXPECT_TRUE(Fix().available);
    EXPECT_TRUE(Drain().empty());

    // Later, the bad date clears the fix, and so does "V".
    timeval later = vk::SystemClock::Now();
    later.tv_sec += 5;
    vk::SystemClock::Set(later);
    testing::internal::CaptureStdout();
    Feed(Rmc("120012", "000000"));
    EXPECT_NE(testing::internal::GetCapturedStdout().find("[ProcessRMC]============Error Date============"),
        std::string::npos);
    EXPECT_FALSE(Fix().available);
    EXPECT_EQ(Fix().speed, 0);
    EXPECT_EQ(GpsPosts(Drain(), 0), 1);
}

TEST_F(Gps, SilentLineReportsTheLostFixOnce)
{
    Feed(Rmc("120000", "100117"));
    Drain();
    for (int i = 0; i < vk::GPS::NO_DATA_ROUNDS; ++i)
        gps()->CountSilentRound();
    EXPECT_TRUE(Drain().empty());
    EXPECT_TRUE(Fix().available);
    for (int i = 0; i < 100; ++i)
        gps()->CountSilentRound();
    std::vector<ipc_msg_t> posts = Drain();
    EXPECT_EQ(posts.size(), 1u);
    EXPECT_EQ(GpsPosts(posts, 0), 1);
    EXPECT_FALSE(Fix().available);

    // A byte ends the silence; the next silence is reported again.
    Feed("\n");
    for (int i = 0; i < vk::GPS::NO_DATA_ROUNDS + 1; ++i)
        gps()->CountSilentRound();
    EXPECT_EQ(GpsPosts(Drain(), 0), 1);
}

TEST_F(Gps, SatelliteReportAveragesTheStrongest)
{
    gps()->Init(true);
    gps()->SetSendSateliiteInfo();
    Feed(Nmea("GPGSV,2,1,05,07,46,259,40,03,21,174,35,22,08,167,30,09,67,312,20"));
    Feed(Nmea("GPGSV,2,2,05,16,47,064,10"));
    Feed(Nmea("GPGSA,A,3,07,09,,,,,,,,,,,1.71,1.01,1.38"));
    Drain();
    // The report runs at the next GSA, from what was gathered since the last.
    Feed(Nmea("GPGSV,2,1,05,07,46,259,40,03,21,174,35,22,08,167,30,09,67,312,20"));
    // More messages than the bus holds: received while they are posted, as the main loop does.
    std::vector<ipc_msg_t> posts;
    std::thread receiver([&posts] { posts = Drain(500); });
    Feed(Nmea("GPGSA,A,3,07,09,,,,,,,,,,,1.71,1.01,1.38"));
    receiver.join();
    EXPECT_EQ(gps()->GetSignalAvg(), 31);
    std::vector<std::vector<int>> seen;
    for (const ipc_msg_t& m : posts) {
        EXPECT_EQ(m.wnd, vk::WND::ANY);
        seen.push_back({ m.cmd, m.param1, m.param2 });
    }
    using W = vk::WM::ID;
    std::vector<std::vector<int>> expected = { { W::SATELLITE_UPDATE_BEGIN, 0, 0 } };
    for (auto [id, snr, active] : std::vector<std::array<int, 3>> {
             { 3, 35, 0 }, { 7, 40, 1 }, { 9, 20, 1 }, { 16, 10, 0 }, { 22, 30, 0 } }) {
        expected.push_back({ W::SATELLITE_SNR_UPDATE, id, snr });
        expected.push_back({ W::SATELLITE_ACTIVE_UPDATE, id, active });
    }
    expected.push_back({ W::SATELLITE_UPDATE_END, 0, 0 });
    EXPECT_EQ(seen, expected);
}

TEST_F(Gps, MissingLineEndsTheThread)
{
    testing::internal::CaptureStdout();
    gps()->Start();
    gps()->Finalize();
    std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("[GPS]fd{-1] Error, return"), std::string::npos) << log;
}

} // namespace
