// The verifier on a card written by the writer: the same arguments pass,
// others fail; a card in use passes; damage that matters is found.

#include "cardform/Cardform.h"
#include "tests/cardform/CardImage.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct Settings {
    int front;
    int rear;
    int fps;
    int parkingFps;
    bool mstar;
};
constexpr Settings WRITTEN = {1440, 1080, 27, 16, false};
// Large enough for files of every record type.
constexpr uint64_t CARD_SECTORS = 16777216;

class CardformVerifier : public ::testing::Test {
protected:
    CardImage _image{CARD_SECTORS};
    Cardform _written;

    void SetUp() override
    {
        ASSERT_EQ(_written.Init2(_image.Path().c_str(), WRITTEN.front, WRITTEN.rear, WRITTEN.fps, WRITTEN.parkingFps),
                  0);
        ASSERT_EQ(_written.MakeDisk(), 0);
    }

    // Verifies with the given settings; the output lands in `output`.
    bool Verify(const Settings& settings = WRITTEN, std::string* output = nullptr)
    {
        Cardform card;
        if (settings.mstar)
            card.SetMstarPark();
        testing::internal::CaptureStdout();
        const bool initialised =
            card.Init2(_image.Path().c_str(), settings.front, settings.rear, settings.fps, settings.parkingFps) == 0;
        const bool verified = initialised && card.VerifyDisk();
        fflush(stdout);
        const std::string text = testing::internal::GetCapturedStdout();
        if (output != nullptr)
            *output = text;
        return verified;
    }

    uint64_t NormalFileOffset(int index) const
    {
        return uint64_t(_written.mNormalDirectoryStartSector) * 512 + 64 + 96 * index;
    }

    void Rename(int index, const char* longName, uint8_t attribute)
    {
        std::vector<uint8_t> file = _image.Read(NormalFileOffset(index), 96);
        char shortName[12];
        char oldName[27];
        Cardform::GetDirFileNameLong(file.data(), shortName, oldName);
        Cardform::SetDirFileNameLong(file.data(), shortName, longName);
        Cardform::SetDirFileAttributeLong(file.data(), attribute);
        _image.Write(NormalFileOffset(index), file);
    }

    uint64_t FatOffset(int copy, uint32_t cluster) const
    {
        return (uint64_t(_written.FIRST_SECTOR) + 128 + copy * uint64_t(_written.mSectorsPerFat)) * 512 + 4 * cluster;
    }
};

TEST_F(CardformVerifier, PassesWithTheArgumentsItWasWrittenWith)
{
    std::string output;
    EXPECT_TRUE(Verify(WRITTEN, &output));
    EXPECT_NE(output.find("VerifyRecordDirectory_NORM nFiles = "), std::string::npos);
    EXPECT_NE(output.find("VerifyFAT OK."), std::string::npos);
}

TEST_F(CardformVerifier, FailsWithOtherArguments)
{
    const Settings others[] = {
        {1440, 1080, 30, 16, false}, {1296, 1080, 27, 16, false}, {1440, 720, 27, 16, false},
        {1440, 1080, 27, 0, false},  {1440, 1080, 27, 16, true},  {1440, 1080, 27, 22, false},
    };
    for (const Settings& settings : others)
        EXPECT_FALSE(Verify(settings)) << settings.front << " " << settings.rear << " " << settings.fps << " "
                                       << settings.parkingFps << " " << settings.mstar;
}

TEST_F(CardformVerifier, AcceptsARecordingTheRecorderClaimed)
{
    Rename(0, "NORM260101-120000F.MP4", 0x20);
    Rename(1, "NORM260101-120000R.MP4", 0x20);
    EXPECT_TRUE(Verify());
}

struct NameCase {
    const char* name;
    uint8_t attribute;
    const char* complaint;
};

TEST_F(CardformVerifier, RefusesFilesNamedOrHiddenWrongly)
{
    const NameCase cases[] = {
        {"NORM260101-120000F.MP4", 0x22, "VerifyRecordDirectory error. .NORM_0_filename=NORM260101-120000F.MP4"},
        {".NORM90925-000000F.TMP", 0x20, "VerifyRecordDirectory error. NORM_0_filename=.NORM90925-000000F.TMP"},
        {"NORM1F.MP4", 0x20, "VerifyRecordDirectory error. NORM_0_filename=NORM1F.MP4, len=10"},
        {"EVEN260101-120000F.MP4", 0x20, "VerifyRecordDirectory error. NORM_0_filename=EVEN260101-120000F.MP4"},
        {"NORM260101-120000F.AVI", 0x20, "VerifyRecordDirectory error. .NORM_0_filename=NORM260101-120000F.AVI"},
        {"NORM260101-120000F.MP4", 0x02, "VerifyRecordDirectory error. NORM_0_attr=0x02"},
    };
    for (const NameCase& c : cases) {
        Rename(0, c.name, c.attribute);
        std::string output;
        EXPECT_FALSE(Verify(WRITTEN, &output)) << c.name;
        EXPECT_NE(output.find(c.complaint), std::string::npos) << c.name << "\n" << output;
    }
}

TEST_F(CardformVerifier, RefusesAFrontFileOfTheRearSize)
{
    Rename(0, ".NORM90925-000000R.TMP", 0x22);
    std::string output;
    EXPECT_FALSE(Verify(WRITTEN, &output));
    EXPECT_NE(output.find("NORM_0R_filesize=73400320/53477376"), std::string::npos) << output;
}

TEST_F(CardformVerifier, FindsAChangedFatEntryInsideAChain)
{
    const uint32_t first = Cardform::GetDirFirstClusterLong(_image.Read(NormalFileOffset(0), 96).data());
    for (int copy = 0; copy < 2; ++copy) {
        _image.WriteLe32(FatOffset(copy, first + 5), 0);
        std::string output;
        EXPECT_FALSE(Verify(WRITTEN, &output));
        const std::string complaint = "VerifyFAT" + std::to_string(copy) + "...i=" + std::to_string(first + 5) +
                                      ", wf=0x" + [&] {
                                          char hex[9];
                                          snprintf(hex, sizeof(hex), "%08x", first + 6);
                                          return std::string(hex);
                                      }() + ", rf=0x00000000";
        EXPECT_NE(output.find(complaint), std::string::npos) << output;
        _image.WriteLe32(FatOffset(copy, first + 5), first + 6);
    }
    EXPECT_TRUE(Verify());
}

TEST_F(CardformVerifier, IgnoresTheFreeSpaceAndTheRootDirectory)
{
    const uint32_t free = _image.ReadLe32((2048 + 1) * 512 + 488);
    const uint32_t behindLastFile = uint32_t(_written.mDataTotalClusters) + 2 - free;
    _image.WriteLe32(FatOffset(0, behindLastFile), Cardform::FAT_END_OF_CHAIN);
    std::vector<uint8_t> extra(32, 0);
    memcpy(extra.data(), "EXTRA   TXT", 11);
    extra[11] = 0x20;
    _image.Write(uint64_t(_written.mRootDirectoryStartSector) * 512 + 32 * 6, extra);
    EXPECT_TRUE(Verify());
}

TEST_F(CardformVerifier, ChecksTheMbr)
{
    _image.WriteLe32(440, 0xDEADFAC2);
    EXPECT_TRUE(Verify());
    _image.WriteLe32(440, 0x01020304);
    std::string output;
    EXPECT_FALSE(Verify(WRITTEN, &output));
    EXPECT_NE(output.find("VerifyMBR()...Error: Disk serial number 16909060."), std::string::npos);
    _image.WriteLe32(440, 0xDEADFACE);
    _image.Write(446, {0x80});
    EXPECT_FALSE(Verify(WRITTEN, &output));
    EXPECT_NE(output.find("ChkPT() error... ACTIVE_PARTITION_FLAG = 0x80"), std::string::npos);
}

TEST_F(CardformVerifier, ChecksTheBootSectorGeometry)
{
    _image.WriteLe32(2048 * 512 + 36, uint32_t(_written.mSectorsPerFat) + 128);
    std::string output;
    EXPECT_FALSE(Verify(WRITTEN, &output));
    EXPECT_NE(output.find("VerifyFATBS()...Error: sector per fat."), std::string::npos);
}

TEST(CardformVerifierEmmc, PassesWithoutAnMbr)
{
    CardImage image(CardImage::SMALLEST_CARD);
    for (int pass = 0; pass < 2; ++pass) {
        Cardform card;
        card.SetEmmc();
        card.SetMstarPark();
        ASSERT_EQ(card.Init2(image.Path().c_str(), 1440, 1080, 27, 16), 0);
        if (pass == 0)
            ASSERT_EQ(card.MakeDisk(), 0);
        else
            EXPECT_TRUE(card.VerifyDisk());
    }
}

} // namespace
