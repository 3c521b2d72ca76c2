// The log line and the assertion report.

#include "dashrec/core/SDDebug.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

timeval UtcTime(int year, int month, int day, int hour, int minute, int second, long usec)
{
    std::tm broken {};
    broken.tm_year = year - 1900;
    broken.tm_mon = month - 1;
    broken.tm_mday = day;
    broken.tm_hour = hour;
    broken.tm_min = minute;
    broken.tm_sec = second;
    return timeval { timegm(&broken), usec };
}

class Log : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};

TEST_F(Log, LineEndsInCrLfInPlaceOfItsLastCharacter)
{
    const timeval at = UtcTime(2024, 5, 17, 10, 22, 33, 123);
    const struct {
        const char* text;
        std::string line;
    } cases[] = {
        { "[SdCard]SetFormatNeeded\n", "{2024/05/17-10:22:33:000123}[SdCard]SetFormatNeeded\r\n" },
        { "no line feed", "{2024/05/17-10:22:33:000123}no line fee\r\n" },
        { "", "{2024/05/17-10:22:33:000123\r\n" },
    };
    char line[vk::SDDebug::BUFFER_SIZE];
    for (const auto& c : cases) {
        size_t length = vk::SDDebug::FormatLine(line, sizeof(line), at, "%s", c.text);
        EXPECT_EQ(std::string(line, length), c.line);
    }
}

TEST_F(Log, LongTextIsCutToTheBuffer)
{
    std::string text(5000, 'a');
    char line[vk::SDDebug::BUFFER_SIZE];
    size_t length = vk::SDDebug::FormatLine(line, sizeof(line), timeval { 0, 0 }, "%s", text.c_str());
    EXPECT_EQ(length, vk::SDDebug::BUFFER_SIZE - 3) << "prefix and text keep fewer than BUFFER_SIZE - 3 characters";
    EXPECT_EQ(line[length - 2], '\r');
    EXPECT_EQ(line[length - 1], '\n');
    EXPECT_EQ(line[length], '\0');
}

TEST_F(Log, LineWithoutCardIsFollowedByTheNotWritableLine)
{
    vk::SDDebug* log = vk::SDDebug::Inst();
    log->Init();
    ::testing::internal::CaptureStdout();
    log->Print("[Test]%d\n", 42);
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("}[Test]42\r\n[SDDebug]_writable == false return\r\n"), std::string::npos) << out;
}

TEST(LogDeathTest, FailedAssertionIsReportedAndEndsTheProgramWithStatusZero)
{
    const char* report = "/tmp/assert.txt";
    auto start = std::chrono::steady_clock::now();
    EXPECT_EXIT(
        {
            int fd = open(report, O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(fd, STDOUT_FILENO);
            int answer = 41;
            VK_ASSERT(answer == 42 && "100% sure");
        },
        ::testing::ExitedWithCode(0), "");
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(900));

    std::ifstream file(report);
    std::stringstream out;
    out << file.rdbuf();
    EXPECT_NE(out.str().find("}_ASSERT[LogTest.cpp:87]expr:answer == 42 && \"100% sure\"\r\n"), std::string::npos)
        << out.str();
}

} // namespace
