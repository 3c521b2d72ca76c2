// The layout model: file sizes, shares, size limits and the geometry of the
// 62,333,952-sector card worked through by hand.

#include "cardform/Cardform.h"
#include "tests/cardform/CardImage.h"

#include <gtest/gtest.h>

namespace {

constexpr int MIB = 1024 * 1024;

struct FileSizeCase {
    int height;
    int fps;
    int mib;
};

TEST(CardformFileSize, FollowsHeightAndFrameRate)
{
    const FileSizeCase cases[] = {
        {1440, 6, 22}, {1440, 30, 78}, {1296, 7, 20}, {1296, 25, 57}, {1080, 16, 30}, {1080, 27, 47},
        {1080, 22, 39}, {720, 6, 11},  {720, 7, 11},  {720, 29, 26},  {1440, 29, 78}, {0, 27, 0},
    };
    Cardform card;
    for (const FileSizeCase& c : cases)
        EXPECT_EQ(card.GetFileSize(c.height, c.fps), c.mib * MIB) << c.height << " at " << c.fps;
}

TEST(CardformFileSize, RefusesAnUnknownHeightOrRate)
{
    Cardform card;
    EXPECT_EQ(card.GetFileSize(1000, 30), -1);
    EXPECT_EQ(card.GetFileSize(1080, 60), -1);
    CardImage image(CardImage::SMALLEST_CARD);
    EXPECT_NE(card.Init2(image.Path().c_str(), 1080, 1080, 60, 16), 0);
}

TEST(CardformInit, RefusesADeviceThatCannotBeOpened)
{
    Cardform card;
    EXPECT_NE(card.Init2("/nonexistent/card", 1440, 1080, 27, 16), 0);
}

struct LimitCase {
    uint64_t sectors;
    bool accepted;
};

TEST(CardformInit, AcceptsCardsFrom472MiBTo1TiB)
{
    const LimitCase cases[] = {
        {966655, false}, {966656, true}, {2147483648ULL, true}, {2147483649ULL, false}};
    for (const LimitCase& c : cases) {
        CardImage image(c.sectors);
        Cardform card;
        EXPECT_EQ(card.Init2(image.Path().c_str(), 1440, 1080, 27, 16) == 0, c.accepted) << c.sectors;
    }
}

TEST(CardformLayout, WorkedExampleOf62333952Sectors)
{
    CardImage image(62333952);
    Cardform card;
    ASSERT_EQ(card.Init2(image.Path().c_str(), 1440, 1080, 27, 16), 0);
    EXPECT_EQ(card.mNormalFrontFileClusters, 1120);
    EXPECT_EQ(card.mNormalRearFileClusters, 816); // sized at 30 frames per second
    EXPECT_EQ(card.mParkingFrontFileClusters, 44 * 16);
    EXPECT_EQ(card.mParkingRearFileClusters, 816);
    EXPECT_EQ(card.mEventFrontFileClusters, 1120);
    EXPECT_EQ(card.mEventRearFileClusters, 816);
    EXPECT_EQ(card.mManualFrontFileClusters, 1120);
    ASSERT_EQ(card.MakeDisk(), 0);

    EXPECT_EQ(card.mSectorsPerFat, 3840);
    EXPECT_EQ(card.mDataTotalClusters, 486907);
    EXPECT_EQ(card.mPtTotalSectors, 62331904u);
    EXPECT_EQ(card.mDataTotalClusters - Cardform::KEPT_BACK_CLUSTERS, 484985);
    const int records[] = {card.mNormalRecords, card.mEventRecords, card.mManualRecords, card.mParkingNormalRecords,
                           card.mParkingEventRecords};
    const int files[] = {card.mNormalFiles, card.mEventFiles, card.mManualFiles, card.mParkingNormalFiles,
                         card.mParkingEventFiles};
    EXPECT_EQ(std::vector<int>(records, records + 5), (std::vector<int>{152, 37, 12, 57, 6}));
    EXPECT_EQ(std::vector<int>(files, files + 5), (std::vector<int>{304, 74, 24, 114, 12}));
    const int directoryClusters[] = {card.mParkingDirectoryClusters, card.mNormalDirectoryClusters,
                                     card.mEventDirectoryClusters, card.mManualDirectoryClusters,
                                     card.mParkingNormalDirectoryClusters, card.mParkingEventDirectoryClusters};
    for (int clusters : directoryClusters)
        EXPECT_EQ(clusters, 1);
    EXPECT_EQ(card.mRootDirectoryStartSector, 9856);
    const int startClusters[] = {card.mParkingDirectoryStartCluster,       card.mNormalDirectoryStartCluster,
                                 card.mEventDirectoryStartCluster,         card.mManualDirectoryStartCluster,
                                 card.mParkingNormalDirectoryStartCluster, card.mParkingEventDirectoryStartCluster};
    EXPECT_EQ(std::vector<int>(startClusters, startClusters + 6), (std::vector<int>{132, 133, 134, 135, 136, 137}));

    // On the card: the partition, the first recording file and the free count.
    EXPECT_EQ(image.ReadLe32(458), 62331904u);
    const uint64_t firstFileEntry = uint64_t(card.mNormalDirectoryStartSector) * 512 + 64;
    EXPECT_EQ(Cardform::GetDirFirstClusterLong(image.Read(firstFileEntry, 96).data()), 138u);
    EXPECT_EQ(image.ReadLe32((2048 + 1) * 512 + 488), 1875u);
}

TEST(CardformInit, ShrinksParkingAndEventFilesForTheAlternativeParkingLayout)
{
    CardImage image(CardImage::SMALLEST_CARD);
    Cardform card;
    card.SetMstarPark();
    ASSERT_EQ(card.Init2(image.Path().c_str(), 1440, 1080, 27, 16), 0);
    EXPECT_EQ(card.mParkingFrontFileClusters, 25 * 16);
    EXPECT_EQ(card.mParkingRearFileClusters, 18 * 16); // 1080 lines at 16 frames per second
    EXPECT_EQ(card.mEventFrontFileClusters, 38 * 16);
    EXPECT_EQ(card.mEventRearFileClusters, 28 * 16);
    EXPECT_EQ(card.mNormalFrontFileClusters, 70 * 16);
    EXPECT_EQ(card.mNormalRearFileClusters, 51 * 16);
}

struct ShareCase {
    uint64_t sectors;
    int parkingFps;
    std::vector<int> shares;
};

TEST(CardformInit, SharesOfTheAlternativeParkingLayoutFollowTheCardSize)
{
    const ShareCase cases[] = {
        {209715200, 16, {55, 13, 2, 30, 0}},
        {209715200, 0, {85, 13, 2, 0, 0}},
        {209715201, 16, {60, 8, 2, 30, 0}},
        {209715201, 0, {90, 8, 2, 0, 0}},
    };
    for (const ShareCase& c : cases) {
        CardImage image(c.sectors);
        Cardform card;
        card.SetMstarPark();
        ASSERT_EQ(card.Init2(image.Path().c_str(), 1440, 1080, 27, c.parkingFps), 0);
        EXPECT_EQ((std::vector<int>{card.mNormalPercent, card.mEventPercent, card.mManualPercent,
                                    card.mParkingNormalPercent, card.mParkingEventPercent}),
                  c.shares)
            << c.sectors << " sectors, parking " << c.parkingFps;
    }
}

TEST(CardformInit, NoParkingRateLeavesNoParkingArea)
{
    CardImage image(CardImage::SMALLEST_CARD);
    Cardform card;
    ASSERT_EQ(card.Init2(image.Path().c_str(), 1080, 720, 30, 0), 0);
    ASSERT_EQ(card.UpdateInfo(), 0);
    EXPECT_EQ((std::vector<int>{card.mNormalPercent, card.mEventPercent, card.mManualPercent,
                                card.mParkingNormalPercent, card.mParkingEventPercent}),
              (std::vector<int>{80, 15, 5, 0, 0}));
    EXPECT_EQ(card.mParkingNormalFiles + card.mParkingEventFiles, 0);
    EXPECT_EQ(card.mParkingDirectoryClusters + card.mParkingNormalDirectoryClusters +
                  card.mParkingEventDirectoryClusters,
              0);
    EXPECT_EQ(card.mNormalDirectoryStartCluster, card.mLogFilesStartCluster + Cardform::LOG_FILES_CLUSTERS);
}

TEST(CardformInit, WithoutARearCameraRecordsAreFiles)
{
    CardImage image(CardImage::SMALLEST_CARD);
    Cardform card;
    ASSERT_EQ(card.Init2(image.Path().c_str(), 1440, 0, 27, 16), 0);
    ASSERT_EQ(card.UpdateInfo(), 0);
    EXPECT_EQ(card.mNormalRearFileClusters + card.mEventRearFileClusters + card.mParkingRearFileClusters, 0);
    EXPECT_GT(card.mNormalRecords, 0);
    EXPECT_EQ(card.mNormalFiles, card.mNormalRecords);
    EXPECT_EQ(card.mEventFiles, card.mEventRecords);
    EXPECT_EQ(card.mParkingNormalFiles, card.mParkingNormalRecords);
}

} // namespace
