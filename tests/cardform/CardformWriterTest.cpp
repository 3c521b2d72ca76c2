// What the writer puts on the card: MBR and disk signature, boot sectors,
// names and attributes of the pre-allocated files, and their FAT chains.

#include "cardform/Cardform.h"
#include "tests/cardform/CardImage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <unistd.h>

namespace {

struct WrittenCard {
    CardImage image{CardImage::SMALLEST_CARD};
    Cardform card;

    explicit WrittenCard(int rearHeight = 1080, bool emmc = false)
    {
        if (emmc) {
            card.SetEmmc();
            card.SetMstarPark();
        }
        EXPECT_EQ(card.Init2(image.Path().c_str(), 1440, rearHeight, 27, 16), 0);
        EXPECT_EQ(card.MakeDisk(), 0);
    }

    // The 96 bytes of recording file `index` of the NORMAL directory.
    std::vector<uint8_t> NormalFile(int index) const
    {
        return image.Read(uint64_t(card.mNormalDirectoryStartSector) * 512 + 64 + 96 * index, 96);
    }

    uint32_t FatEntry(uint32_t cluster) const
    {
        return image.ReadLe32((uint64_t(card.FIRST_SECTOR) + 128) * 512 + 4 * cluster);
    }
};

std::string LongName(const std::vector<uint8_t>& file)
{
    char shortName[12];
    char longName[27];
    Cardform::GetDirFileNameLong(file.data(), shortName, longName);
    return std::string(longName) + "|" + shortName;
}

TEST(CardformWriter, NamesTheFirstNormalFilesHiddenFrontThenRear)
{
    WrittenCard written;
    const std::vector<uint8_t> front = written.NormalFile(0);
    const std::vector<uint8_t> rear = written.NormalFile(1);
    EXPECT_EQ(LongName(front), ".NORM90925-000000F.TMP|N000000FTMP");
    EXPECT_EQ(LongName(rear), ".NORM90925-000000R.TMP|N000000RTMP");
    EXPECT_EQ(LongName(written.NormalFile(2)), ".NORM90925-000001F.TMP|N000001FTMP");
    EXPECT_EQ(Cardform::GetDirFileAttributeLong(front.data()), 0x22);
    EXPECT_EQ(Cardform::GetDirFileAttributeLong(rear.data()), 0x22);
    EXPECT_EQ(Cardform::GetDirFileSizeLong(front.data()), 1120u * 65536);
    EXPECT_EQ(Cardform::GetDirFileSizeLong(rear.data()), 816u * 65536);
    // Both long-name entries carry the checksum of the short name.
    const uint8_t checksum = Cardform::FileNameChecksum(front.data() + 64);
    EXPECT_EQ(front[0], 0x42);
    EXPECT_EQ(front[32], 0x01);
    EXPECT_EQ(front[13], checksum);
    EXPECT_EQ(front[32 + 13], checksum);
}

TEST(CardformWriter, ChainsEachFileContiguously)
{
    WrittenCard written;
    const uint32_t first = Cardform::GetDirFirstClusterLong(written.NormalFile(0).data());
    for (uint32_t cluster = first; cluster < first + 1119; ++cluster)
        ASSERT_EQ(written.FatEntry(cluster), cluster + 1) << cluster;
    EXPECT_EQ(written.FatEntry(first + 1119), Cardform::FAT_END_OF_CHAIN);
    EXPECT_EQ(Cardform::GetDirFirstClusterLong(written.NormalFile(1).data()), first + 1120);
    EXPECT_EQ(written.FatEntry(0), 0x0FFFFFF8u);
    EXPECT_EQ(written.FatEntry(1), 0xFFFFFFFFu);
}

TEST(CardformWriter, WithoutARearCameraFrontFilesFollowEachOther)
{
    WrittenCard written(0);
    EXPECT_EQ(LongName(written.NormalFile(1)), ".NORM90925-000001F.TMP|N000001FTMP");
    const uint32_t first = Cardform::GetDirFirstClusterLong(written.NormalFile(0).data());
    EXPECT_EQ(Cardform::GetDirFirstClusterLong(written.NormalFile(1).data()), first + 1120);
}

TEST(CardformWriter, FreeCountCoversTheClustersBehindTheLastFile)
{
    WrittenCard written;
    const Cardform& card = written.card;
    const int filesClusters = card.mNormalRecords * (1120 + 816) + card.mEventRecords * (1120 + 816) +
                              card.mManualRecords * (1120 + 816) +
                              (card.mParkingNormalRecords + card.mParkingEventRecords) * (704 + 816);
    const int firstFileCluster = card.mParkingEventDirectoryStartCluster + card.mParkingEventDirectoryClusters;
    const uint32_t free = written.image.ReadLe32((2048 + 1) * 512 + 488);
    EXPECT_EQ(free, uint32_t(card.mDataTotalClusters - (firstFileCluster + filesClusters - 2)));
    EXPECT_EQ(written.FatEntry(firstFileCluster + filesClusters), 0u);
    EXPECT_EQ(written.FatEntry(firstFileCluster + filesClusters - 1), Cardform::FAT_END_OF_CHAIN);
}

TEST(CardformWriter, WritesAnUnbootablePartitionAtOneMiB)
{
    WrittenCard written;
    const std::vector<uint8_t> mbr = written.image.Read(0, 512);
    EXPECT_EQ(written.image.ReadLe32(440), Cardform::DISK_SIGNATURE);
    EXPECT_EQ(mbr[446], 0x00);
    EXPECT_EQ(mbr[450], 0x0C);
    EXPECT_EQ(written.image.ReadLe32(454), 2048u);
    EXPECT_EQ(mbr[510], 0x55);
    EXPECT_EQ(mbr[511], 0xAA);
    const std::vector<uint8_t> boot = written.image.Read(2048 * 512, 512);
    EXPECT_EQ(boot, written.image.Read((2048 + 6) * 512, 512));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(boot.data()) + 71, 11), "DVR        ");
}

TEST(CardformWriter, KeepsTheDiskSignatureDeadfac2)
{
    struct Case {
        bool validMbr;
        uint32_t before;
        uint32_t after;
    };
    const Case cases[] = {{true, 0xDEADFAC2, 0xDEADFAC2}, {true, 0x12345678, 0xDEADFACE}, {false, 0xDEADFAC2, 0xDEADFACE}};
    for (const Case& c : cases) {
        CardImage image(CardImage::SMALLEST_CARD);
        image.WriteLe32(440, c.before);
        if (c.validMbr)
            image.Write(510, {0x55, 0xAA});
        Cardform card;
        ASSERT_EQ(card.Init2(image.Path().c_str(), 1080, 720, 30, 30), 0);
        ASSERT_EQ(card.MakeDisk(), 0);
        EXPECT_EQ(image.ReadLe32(440), c.after) << std::hex << c.before;
    }
}

TEST(CardformWriter, OnTheEmmcTheBootSectorIsSectorZero)
{
    WrittenCard written(1080, true);
    const std::vector<uint8_t> boot = written.image.Read(0, 512);
    EXPECT_EQ(boot[0], 0xEB);
    EXPECT_EQ(written.image.ReadLe32(28), 2048u);
    EXPECT_EQ(written.image.ReadLe32(32), written.card.mPtTotalSectors);
    EXPECT_EQ(written.image.Read(6 * 512, 512), boot);
    EXPECT_EQ(written.card.mRootDirectoryStartSector, 128 + 2 * written.card.mSectorsPerFat);
}

TEST(CardformWriter, ReportsFailureWhenTheCardIsGone)
{
    CardImage image(CardImage::SMALLEST_CARD);
    Cardform card;
    ASSERT_EQ(card.Init2(image.Path().c_str(), 1440, 1080, 27, 16), 0);
    unlink(image.Path().c_str());
    testing::internal::CaptureStdout();
    EXPECT_NE(card.MakeDisk(), 0);
    fflush(stdout);
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_NE(output.find("Write FAIL"), std::string::npos);
    EXPECT_EQ(output.find("Write OK"), std::string::npos);
}

} // namespace
