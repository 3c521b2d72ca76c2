// The crash handler and its log "/data/segment".

#include "dashrec/core/CrashLog.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <sys/stat.h>

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

long FileSize(const char* path)
{
    struct stat info {};
    return stat(path, &info) == 0 ? static_cast<long>(info.st_size) : -1;
}

TEST(CrashLogDeathTest, SegmentationFaultLeavesItsLine)
{
    unlink(vk::CRASH_LOG_PATH);
    EXPECT_EXIT(
        {
            installSignal(SIGSEGV);
            raise(SIGSEGV);
        },
        ::testing::ExitedWithCode(1), "");
    std::string log = ReadFile(vk::CRASH_LOG_PATH);
    std::regex entry(R"(^\{\d{4}/\d\d/\d\d-\d\d:\d\d:\d\d:\d{6}\} signal 11 \(Segmentation fault\), address is 0x[0-9a-f]+ from 0x[0-9a-f]+\n$)");
    EXPECT_TRUE(std::regex_match(log, entry)) << log;
}

TEST(CrashLog, FullLogOverwritesFromTheStart)
{
    struct {
        long size;
        long entryOffset;
    } const cases[] = {
        { vk::CRASH_LOG_LIMIT, vk::CRASH_LOG_LIMIT }, // at the limit: appended
        { vk::CRASH_LOG_LIMIT + 1, 0 },               // beyond it: from the start
    };
    for (const auto& c : cases) {
        std::ofstream(vk::CRASH_LOG_PATH, std::ios::trunc) << std::string(c.size, 'x');
        write_to_error_file(vk::CRASH_LOG_PATH, "signal 11 (test)\n");
        std::string log = ReadFile(vk::CRASH_LOG_PATH);
        EXPECT_EQ(log.substr(c.entryOffset, 1), "{") << c.size;
        EXPECT_NE(log.find("} signal 11 (test)\n", c.entryOffset), std::string::npos);
        EXPECT_GE(FileSize(vk::CRASH_LOG_PATH), c.size);
    }
}

} // namespace
