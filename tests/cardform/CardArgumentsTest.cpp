// The command lines of cardform and cardaudit, and the mounted-device check
// of the write test.

#include "cardform/tools/CardArguments.h"
#include "cardform/tools/WriteTest.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

struct Parsed {
    bool ok;
    int front = 0;
    int rear = 0;
    int fps = 0;
    int parkingFps = 0;
    bool emmc = false;
    bool mstar = false;
    bool aging = false;
};

struct ArgumentCase {
    std::vector<const char*> words; // after the program name
    Parsed expected;
};

Parsed Parse(bool (*parse)(int, const char* const*, CardArguments*), const std::vector<const char*>& words)
{
    std::vector<const char*> argv = {"program"};
    argv.insert(argv.end(), words.begin(), words.end());
    CardArguments arguments;
    Parsed parsed{parse(static_cast<int>(argv.size()), argv.data(), &arguments)};
    if (parsed.ok)
        parsed = {true,          arguments.frontHeight, arguments.rearHeight, arguments.fps, arguments.parkingFps,
                  arguments.emmc, arguments.mstar,       arguments.aging};
    return parsed;
}

void ExpectParsed(bool (*parse)(int, const char* const*, CardArguments*), const ArgumentCase& c)
{
    std::string line;
    for (const char* word : c.words)
        line += std::string(word) + " ";
    const Parsed got = Parse(parse, c.words);
    ASSERT_EQ(got.ok, c.expected.ok) << line;
    if (!got.ok)
        return;
    EXPECT_EQ(got.front, c.expected.front) << line;
    EXPECT_EQ(got.rear, c.expected.rear) << line;
    EXPECT_EQ(got.fps, c.expected.fps) << line;
    EXPECT_EQ(got.parkingFps, c.expected.parkingFps) << line;
    EXPECT_EQ(got.emmc, c.expected.emmc) << line;
    EXPECT_EQ(got.mstar, c.expected.mstar) << line;
    EXPECT_EQ(got.aging, c.expected.aging) << line;
}

const Parsed REFUSED{false};

TEST(CardformArguments, SizesAndRates)
{
    const ArgumentCase cases[] = {
        {{"/dev/sdx", "wqhd", "fhd", "27", "16"}, {true, 1440, 1080, 27, 16}},
        {{"/dev/sdx", "shd", "hd", "30", "0"}, {true, 1296, 720, 30, 0}},
        {{"/dev/sdx", "fhd", "0", "29", "29"}, {true, 1080, 0, 29, 29}},
        {{"/dev/sdx", "hd", "fhd", "25", "22"}, {true, 720, 1080, 25, 22}},
        {{"/dev/sdx", "hd", "fhd", "7", "6"}, {true, 720, 1080, 7, 6}},
        {{"/dev/sdx", "uhd", "fhd", "27", "16"}, REFUSED},
        {{"/dev/sdx", "wqhd", "shd", "27", "16"}, REFUSED},
        {{"/dev/sdx", "wqhd", "fhd", "0", "16"}, REFUSED},
        {{"/dev/sdx", "wqhd", "fhd", "60", "16"}, REFUSED},
        {{"/dev/sdx", "wqhd", "fhd", "27", "15"}, REFUSED},
        {{"/dev/sdx", "wqhd", "fhd", "27"}, REFUSED},
        {{"/dev/sdx", "wtest"}, REFUSED},
        {{"/dev/sdx", "wqhd", "fhd", "27", "16", "aging", "emmc", "mstar", "x"}, REFUSED},
    };
    for (const ArgumentCase& c : cases)
        ExpectParsed(ParseCardformArguments, c);
}

TEST(CardformArguments, OptionsByCount)
{
    const auto options = [](std::initializer_list<const char*> words) {
        std::vector<const char*> all = {"/dev/sdx", "wqhd", "fhd", "27", "16"};
        all.insert(all.end(), words);
        return all;
    };
    const ArgumentCase cases[] = {
        {options({"aging"}), {true, 1440, 1080, 27, 16, false, false, true}},
        {options({"emmc"}), {true, 1440, 1080, 27, 16, true, true, false}},
        {options({"mstar"}), {true, 1440, 1080, 27, 16, false, false, false}},
        {options({"mstar", "aging"}), {true, 1440, 1080, 27, 16, false, false, true}},
        {options({"aging", "mstar"}), {true, 1440, 1080, 27, 16, false, false, true}},
        {options({"aging", "emmc"}), {true, 1440, 1080, 27, 16, true, true, true}},
        {options({"x", "y", "mstar"}), {true, 1440, 1080, 27, 16, false, true, false}},
        {options({"emmc", "x", "y"}), {true, 1440, 1080, 27, 16, true, false, false}},
        {options({"mstar", "emmc", "aging"}), {true, 1440, 1080, 27, 16, true, true, true}},
    };
    for (const ArgumentCase& c : cases)
        ExpectParsed(ParseCardformArguments, c);
}

TEST(CardauditArguments, SizesRatesAndOptions)
{
    const ArgumentCase cases[] = {
        {{"/dev/sdx", "wqhd", "fhd", "27", "16"}, {true, 1440, 1080, 27, 16}},
        {{"/dev/sdx", "shd", "0", "6", "0"}, {true, 1296, 0, 6, 0}},
        {{"/dev/sdx", "fhd", "hd", "29", "16"}, REFUSED},
        {{"/dev/sdx", "fhd", "hd", "30", "29"}, REFUSED},
        {{"/dev/sdx", "fhd", "wqhd", "30", "16"}, REFUSED},
        {{"/dev/sdx", "wqhd", "fhd", "27", "16", "emmc"}, {true, 1440, 1080, 27, 16, true, true}},
        {{"/dev/sdx", "wqhd", "fhd", "27", "16", "mstar"}, {true, 1440, 1080, 27, 16, false, false}},
        {{"/dev/sdx", "wqhd", "fhd", "27", "16", "aging"}, {true, 1440, 1080, 27, 16, false, false}},
        {{"/dev/sdx", "wqhd", "fhd", "27", "16", "x", "mstar"}, {true, 1440, 1080, 27, 16, false, true}},
        {{"/dev/sdx", "wqhd", "fhd", "27", "16", "emmc", "x"}, {true, 1440, 1080, 27, 16, true, false}},
        {{"/dev/sdx", "wqhd", "fhd", "27", "16", "mstar", "emmc"}, {true, 1440, 1080, 27, 16, true, true}},
        {{"/dev/sdx", "wqhd", "fhd", "27", "16", "emmc", "mstar", "aging"}, REFUSED},
        {{"/dev/sdx", "wqhd", "fhd", "27"}, REFUSED},
    };
    for (const ArgumentCase& c : cases)
        ExpectParsed(ParseCardauditArguments, c);
}

struct MountCase {
    const char* device;
    bool mounted;
};

TEST(WriteTest, RecognisesAMountedDeviceOrPartition)
{
    const char* base = getenv("DASHREC_BINARY_DIR");
    std::string table = std::string(base != nullptr ? base : ".") + "/mounts.XXXXXX";
    const int fd = mkstemp(table.data());
    ASSERT_GE(fd, 0);
    FILE* file = fdopen(fd, "w");
    fputs("proc /proc proc rw 0 0\n/dev/mmcblk1p1 /mnt/extsd vfat rw 0 0\n/dev/sda1 /tmp/usb vfat rw 0 0\n", file);
    fclose(file);
    const MountCase cases[] = {
        {"/dev/mmcblk1", true}, {"/dev/mmcblk1p1", true}, {"/dev/mmcblk10", false}, {"/dev/mmcblk0", false},
        {"/dev/sda", true},     {"/dev/sda1", true},      {"/dev/sdb", false},      {"/dev/sd", false},
    };
    for (const MountCase& c : cases)
        EXPECT_EQ(IsDeviceMounted(c.device, table.c_str()), c.mounted) << c.device;
    remove(table.c_str());
}

} // namespace
