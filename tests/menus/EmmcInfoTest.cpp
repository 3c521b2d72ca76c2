// The eMMC report read from a sysfs folder and a device node laid out in the
// sandbox: the node is a sparse image file of the size under test.

#include "dashrec/menus/EmmcInfo.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

const char* const DEVICE = "/dev/mmcblk0";

void WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream(path) << text;
}

void LayOutSysfs(const std::string& name, const std::string& lifeTime)
{
    ASSERT_EQ(0, system(("mkdir -p '" + vk::EmmcInfo::_path + "'").c_str()));
    WriteFile(vk::EmmcInfo::_path + "name", name);
    WriteFile(vk::EmmcInfo::_path + "life_time", lifeTime);
}

void MakeDevice(uint64_t sectors)
{
    std::ofstream(DEVICE).close();
    ASSERT_EQ(0, truncate(DEVICE, static_cast<off_t>(sectors * 512)));
}

class EmmcInfoTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        system(("rm -rf /sys/class/mmc_host " + std::string(DEVICE)).c_str());
    }
};

TEST_F(EmmcInfoTest, NothingThereGivesPlaceholders)
{
    vk::EmmcInfo info;
    EXPECT_STREQ("N/A", info.Size());
    EXPECT_STREQ("N/A", info.LifeTime());
    EXPECT_EQ(0u, info.LifeTimeDecimal());
    EXPECT_FALSE(info.IsLifeTimeOver());
}

TEST_F(EmmcInfoTest, WearIsTheFirstValueOfTheFile)
{
    struct Case {
        const char* file;
        const char* text;
        bool over;
    };
    const Case cases[] = {
        {"0x0a 0x01\n", "10", true},
        {"0x09 0x01\n", "9", false},
        {"0x0b 0x0b\n", "11", true},
        {"0x01\n", "1", false},
        {"garbage\n", "0", false},
    };
    for (const Case& c : cases) {
        LayOutSysfs("8GTF4R", c.file);
        vk::EmmcInfo info;
        EXPECT_STREQ(c.text, info.LifeTime()) << c.file;
        EXPECT_EQ(c.over, info.IsLifeTimeOver()) << c.file;
    }
}

TEST_F(EmmcInfoTest, SizeIsWholeGibWithinPlausibleBounds)
{
    struct Case {
        uint64_t sectors;
        const char* size;
    };
    const Case cases[] = {
        {0xEC000 - 1, "ERR"},
        {0xEC000, "0GB"},
        {7634944, "3GB"},
        {0x80000000, "1024GB"},
        {0x80000001, "ERR"},
    };
    for (const Case& c : cases) {
        MakeDevice(c.sectors);
        EXPECT_STREQ(c.size, vk::EmmcInfo().Size()) << c.sectors;
    }
}

TEST_F(EmmcInfoTest, OverlongNameStaysInsideTheReader)
{
    LayOutSysfs(std::string(200, 'N'), "0x02\n");
    vk::EmmcInfo info;
    info.Print();
    EXPECT_STREQ("2", info.LifeTime());
}

} // namespace
