// Captured receiver logs replayed through a pty bound at /dev/ttyS4 into the
// running GPS receiver: what it hands on must be exactly the well-formed RMC
// sentences, and the fix each leaves must agree with gpsd's own decoding
// (the TPV records of the log's .chk file).

#include "dashrec/core/MessageQueue.h"
#include "dashrec/devices/GPS.h"
#include "host/board/PtyLine.h"
#include "tests/sensors/HandedOn.h"
#include "tests/sensors/NmeaText.h"

#include <gtest/gtest.h>

#include <chrono>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <dirent.h>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::string LOGS = DASHREC_NMEA_LOGS;
const std::string MARKER = sensors_test::Nmea("GPRMC,235959.00,V,,,,,,,010180,,,N");

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

// The log as the module would send it: header dropped, every line ended in CR LF.
std::string LineBytes(const std::string& log)
{
    std::string bytes;
    for (std::string line : Lines(log)) {
        if (line.rfind("#", 0) == 0)
            continue;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        bytes += line + "\r\n";
    }
    return bytes;
}

bool WellFormed(const std::string& s)
{
    size_t star = s.find('*');
    if (s.size() >= vk::GPS::MAX_SENTENCE || star == std::string::npos || star + 5 != s.size())
        return false;
    for (size_t i = 0; i + 2 < s.size(); ++i) {
        if (s[i] < 33 || s[i] > 126)
            return false;
    }
    return s.compare(star + 1, 2, sensors_test::Checksum(s.substr(1, star - 1))) == 0;
}

// What the receiver must hand on: every line's text from its last "$", when it
// is a well-formed sentence whose type (after the talker) is RMC.
std::vector<std::string> ExpectedRmc(const std::string& bytes)
{
    std::vector<std::string> expected;
    for (const std::string& line : Lines(bytes)) {
        size_t dollar = line.rfind('$');
        if (dollar == std::string::npos)
            continue;
        std::string s = line.substr(dollar) + "\n";
        std::string type = s.substr(3, s.find_first_of(",*") - 3);
        if (WellFormed(s) && type == "RMC")
            expected.push_back(s);
    }
    return expected;
}

std::vector<std::string> Fields(const std::string& sentence)
{
    std::vector<std::string> fields;
    std::string body = sentence.substr(0, sentence.find('*'));
    std::istringstream in(body);
    std::string field;
    while (std::getline(in, field, ','))
        fields.push_back(field);
    while (fields.size() < 10)
        fields.push_back("");
    return fields;
}

// A fix with every field the receiver needs, and a stamp it takes: these it must accept.
bool IsCompleteFix(const std::vector<std::string>& f)
{
    static const std::regex time("[0-9]{6}(\\.[0-9]+)?");
    static const std::regex date("(0[1-9]|[12][0-9]|3[01])(0[1-9]|1[0-2])[0-9]{2}");
    return f[2] == "A" && std::regex_match(f[1], time) && std::regex_match(f[9], date) && !f[3].empty()
        && !f[4].empty() && !f[5].empty() && !f[6].empty() && !f[7].empty();
}

bool NumberIn(const std::string& record, const std::string& key, double& value)
{
    std::smatch m;
    if (!std::regex_search(record, m, std::regex("\"" + key + "\":(-?[0-9.]+)")))
        return false;
    value = std::stod(m[1]);
    return true;
}

// gpsd's TPV for the sentence: the first one after its echo in the .chk file.
struct Tpv {
    double lat = 0, lon = 0, speed = 0;
};

class Chk {
public:
    explicit Chk(const std::string& path)
        : _lines(Lines(ReadFile(path)))
    {
    }

    bool Find(const std::string& sentence, Tpv& tpv)
    {
        std::string text = sentence.substr(0, sentence.find('\r'));
        for (size_t i = _cursor; i < _lines.size(); ++i) {
            if (_lines[i].rfind(text, 0) != 0)
                continue;
            _cursor = i + 1;
            // gpsd reports at the end of the receiver's cycle, which the next RMC begins.
            for (size_t j = i + 1; j < _lines.size() && !IsRmc(_lines[j]); ++j) {
                const std::string& r = _lines[j];
                if (r.find("\"class\":\"TPV\"") != std::string::npos && SameTime(r, sentence)
                    && NumberIn(r, "lat", tpv.lat) && NumberIn(r, "lon", tpv.lon) && NumberIn(r, "speed", tpv.speed))
                    return true;
            }
            return false;
        }
        return false;
    }

private:
    // A record of the sentence's own epoch, not of a later sentence of the cycle.
    static bool SameTime(const std::string& record, const std::string& sentence)
    {
        std::smatch m;
        if (!std::regex_search(record, m, std::regex("\"time\":\"[^T]*T([0-9]{2}):([0-9]{2}):([0-9.]+)Z")))
            return false;
        std::string stamp = Fields(sentence)[1];
        return m[1] == stamp.substr(0, 2) && m[2] == stamp.substr(2, 2)
            && std::fabs(std::stod(m[3]) - std::stod(stamp.substr(4))) < 0.001;
    }

    static bool IsRmc(const std::string& line) { return line.rfind("$", 0) == 0 && line.compare(3, 4, "RMC,") == 0; }

    std::vector<std::string> _lines;
    size_t _cursor = 0;
};

class GpsReplay : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override { vk::UIQueue::Inst()->Init(); }
    void TearDown() override { vk::UIQueue::Inst()->Finalize(); }

    // Sends the bytes and waits until the receiver has handed on the marker after them.
    static bool Replay(board::PtyLine& line, const std::string& bytes)
    {
        std::string all = bytes + MARKER;
        auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        for (size_t sent = 0; sent < all.size();) {
            ssize_t n = line.Write(all.data() + sent, all.size() - sent);
            if (n > 0) {
                sent += static_cast<size_t>(n);
                continue;
            }
            // The line's buffer is full until the receiver reads on.
            if (errno != EAGAIN || std::chrono::steady_clock::now() > giveUp)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return sensors_test::HandedOn::WaitForLast(MARKER, std::chrono::seconds(60));
    }

    sensors_test::HandedOn _handedOn;
};

TEST_P(GpsReplay, AcceptsExactlyTheGoodRmcAndAgreesWithGpsd)
{
    const std::string name = GetParam();
    const std::string bytes = LineBytes(ReadFile(LOGS + "/" + name));
    board::PtyLine line;
    ASSERT_TRUE(line.Bind(vk::GPS::UART));
    vk::GPS* gps = vk::Singleton<vk::GPS>::Inst();
    gps->Init(false);
    gps->Start();
    bool done = Replay(line, bytes);
    gps->Finalize();
    ASSERT_TRUE(done) << "the receiver did not get through the log";

    std::vector<sensors_test::Handed> handed = sensors_test::HandedOn::All();
    std::vector<std::string> sentences;
    for (size_t i = 0; i + 1 < handed.size(); ++i)
        sentences.push_back(handed[i].sentence);
    EXPECT_EQ(sentences, ExpectedRmc(bytes));

    Chk chk(LOGS + "/" + name + ".chk");
    int comparable = 0;
    int compared = 0;
    for (size_t i = 0; i + 1 < handed.size(); ++i) {
        if (!IsCompleteFix(Fields(handed[i].sentence)))
            continue;
        ++comparable;
        Tpv tpv;
        if (!chk.Find(handed[i].sentence, tpv))
            continue;
        // The fix a sentence leaves is what the next one finds.
        const vk::gps_lock_data_t& fix = handed[i + 1].fixBefore;
        SCOPED_TRACE(handed[i].sentence);
        EXPECT_TRUE(fix.available);
        EXPECT_NEAR(fix.latitude, tpv.lat, 1e-6);
        EXPECT_NEAR(fix.longitude, tpv.lon, 1e-6);
        EXPECT_NEAR(fix.speed, std::floor(tpv.speed * 3.6), 1.0);
        ++compared;
    }
    if (comparable > 0) {
        EXPECT_GT(compared, 0);
    }
}

std::vector<std::string> LogNames()
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(LOGS.c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::string file = entry->d_name;
            if (file.size() > 4 && file.compare(file.size() - 4, 4, ".log") == 0)
                names.push_back(file);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

INSTANTIATE_TEST_SUITE_P(Logs, GpsReplay, ::testing::ValuesIn(LogNames()),
    [](const ::testing::TestParamInfo<std::string>& info) {
        std::string name = info.param.substr(0, info.param.size() - 4);
        for (char& c : name)
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

} // namespace
