// The card log ring "HISTORY.DM1" and the write counters "HISTORY.DM0" on
// 4 MiB fixture files.

#include "CardFixture.h"

#include "dashrec/core/CLogger.h"
#include "dashrec/core/SDDebug.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

using fixture::COUNTER_FILE;
using fixture::LOG_FILE;
using Block = vk::CLogger::Logger;
using Record = vk::SDDebug::SD_WRITE_COUNT_s;
const long SLOT = 65536;

struct BlockHeader {
    int32_t sync, index, offset, version;
    int64_t count;
};

BlockHeader HeaderOf(int block)
{
    return fixture::ReadAt<BlockHeader>(LOG_FILE, block * SLOT);
}

void PutBlock(int n, int64_t count)
{
    fixture::WriteAt(LOG_FILE, n * SLOT, BlockHeader { vk::CLogger::SYNC, n, 10, 1, count });
}

class LogRing : public ::testing::Test {
protected:
    void SetUp() override { fixture::MakeRingFile(LOG_FILE); }

    // The logger as the program starts it: fresh images, then the scan.
    vk::CLogger* Started()
    {
        vk::CLogger* logger = vk::CLogger::Inst();
        logger->Init();
        logger->Start();
        return logger;
    }
};

TEST_F(LogRing, StartsBehindTheNewestBlock)
{
    const struct {
        std::vector<std::pair<int, int64_t>> blocks;
        int current;
        int64_t count;
    } cases[] = {
        { {}, 0, 1 },
        { { { 0, 5 }, { 1, 9 }, { 2, 7 } }, 2, 10 },
        { { { 3, 4 }, { 7, 4 } }, 4, 5 },
        { { { 63, 70 }, { 0, 6 } }, 0, 71 },
    };
    for (const auto& c : cases) {
        fixture::MakeRingFile(LOG_FILE);
        for (const auto& [block, count] : c.blocks)
            PutBlock(block, count);
        std::shared_ptr<const Block> current = Started()->Current();
        ASSERT_NE(current, nullptr);
        EXPECT_EQ(current->index, c.current);
        EXPECT_EQ(current->count, c.count);
        EXPECT_EQ(current->offset, 0);
    }
}

TEST_F(LogRing, LinesFillBlocksWholeAndTheRingWraps)
{
    vk::CLogger* logger = Started();
    std::string line(2000, 'x');
    const int linesPerBlock = vk::CLogger::DATA_LIMIT / 2000;
    // Every block once, three more and one line: block 63 is followed by block 0.
    for (int i = 0; i < (64 + 3) * linesPerBlock + 1; ++i)
        logger->Write(line.data(), line.size());
    EXPECT_EQ(logger->Current()->index, 3);
    EXPECT_EQ(logger->Current()->count, 68);
    EXPECT_EQ(HeaderOf(63).count, 64);
    EXPECT_EQ(HeaderOf(0).count, 65);
    EXPECT_EQ(HeaderOf(0).offset, linesPerBlock * 2000) << "a block takes no line that would pass its limit";
    EXPECT_EQ(HeaderOf(2).count, 67);
    EXPECT_EQ(HeaderOf(4).count, 5) << "blocks ahead of the current one keep their older generation";

    logger->Finalize();
    EXPECT_EQ(HeaderOf(3).count, 68);
    // After a restart the place is found again behind the newest block.
    EXPECT_EQ(Started()->Current()->index, 4);
    EXPECT_EQ(vk::CLogger::Inst()->Current()->count, 69);
}

TEST_F(LogRing, LoggedLinesReachTheCardScrambled)
{
    vk::SDDebug* log = vk::SDDebug::Inst();
    log->Init();
    log->Start();
    log->Print("[Test]hello\n");
    log->Finalize();
    BlockHeader header = HeaderOf(0);
    EXPECT_EQ(header.sync, vk::CLogger::SYNC);
    EXPECT_EQ(header.count, 1);
    std::string tail = "}[Test]hello\r\n";
    ASSERT_EQ(header.offset, 28 + static_cast<int>(tail.size()) - 1);
    auto data = fixture::ReadAt<std::array<char, 64>>(LOG_FILE, 24);
    for (size_t i = 0; i < tail.size(); ++i)
        EXPECT_EQ(data[27 + i], vk::SDDebug::Encode(static_cast<unsigned char>(tail[i]))) << i;
}

TEST_F(LogRing, PutOffBlocksAreWrittenOnceWritingResumes)
{
    vk::CLogger* logger = Started();
    logger->PauseWrite();
    logger->Write("abc", 3);
    logger->WriteCurrent();
    logger->WriteCurrent();
    EXPECT_EQ(HeaderOf(0).sync, 0) << "nothing reaches the card while paused";
    logger->ResumeWrite();
    logger->WriteCurrent();
    EXPECT_EQ(HeaderOf(0).offset, 3);
}

TEST_F(LogRing, ANewCardGetsItsOwnRingAndNoneOfTheOldCardsBlocks)
{
    for (int n = 0; n < 10; ++n)
        PutBlock(n, 100 + n);
    vk::CLogger* logger = Started();
    ASSERT_EQ(logger->Current()->index, 10);
    logger->Write("old card", 8);
    unlink(LOG_FILE.c_str()); // the card is pulled: the block is put off
    logger->WriteCurrent();

    fixture::MakeRingFile(LOG_FILE); // a fresh card
    logger->Restart();
    EXPECT_EQ(logger->Current()->index, 0);
    EXPECT_EQ(logger->Current()->count, 1);
    logger->Write("new card", 8);
    logger->WriteCurrent();
    EXPECT_EQ(HeaderOf(0).offset, 8);
    EXPECT_EQ(HeaderOf(10).sync, 0) << "the old card's block went into the new ring";
}

TEST_F(LogRing, AShortOrMissingFileIsNeitherReadNorGrown)
{
    fixture::MakeRingFile(LOG_FILE, 63 * SLOT);
    vk::CLogger* logger = Started();
    EXPECT_EQ(logger->Current(), nullptr);
    logger->Write("dropped", 7);
    logger->Finalize();
    struct stat info {};
    ASSERT_EQ(stat(LOG_FILE.c_str(), &info), 0);
    EXPECT_EQ(info.st_size, 63 * SLOT);

    unlink(LOG_FILE.c_str());
    EXPECT_EQ(Started()->Current(), nullptr);
}

// Counters -------------------------------------------------------------------

Record ReadRecord(int slot)
{
    Record record = fixture::ReadAt<Record>(COUNTER_FILE, slot * SLOT);
    vk::SDDebug::ScrambleRecord(record);
    return record;
}

void PutRecord(int slot, Record record, bool fixChecksum = true)
{
    record.index = slot;
    if (fixChecksum)
        record.CheckSum();
    vk::SDDebug::ScrambleRecord(record);
    fixture::WriteAt(COUNTER_FILE, slot * SLOT, record);
}

Record MakeRecord(int64_t count, int total, int current, int loops, const char* date = "2024/05/17-10:22:33")
{
    Record record;
    record.count = count;
    record.noramlTotal = total;
    record.normalCurrent = current;
    record.normalLoopCount = loops;
    std::strcpy(record.date, date);
    return record;
}

class Counters : public ::testing::Test {
protected:
    void SetUp() override
    {
        fixture::MakeRingFile(LOG_FILE);
        fixture::MakeRingFile(COUNTER_FILE);
    }

    vk::SDDebug* Started(int normalTotal = 100)
    {
        vk::SDDebug* log = vk::SDDebug::Inst();
        log->Init();
        log->Start();
        log->SetTotalFiles(15523840, normalTotal, 20);
        return log;
    }
};

TEST_F(Counters, AFreshFileIsStampedAndTheFirstSaveGoesToSlotOne)
{
    vk::SDDebug* log = Started();
    Record current = log->LoadCounter();
    EXPECT_EQ(current.index, 0);
    EXPECT_EQ(std::strlen(current.date), 19u) << current.date;
    log->IncreaseNormalCounter();

    Record saved = ReadRecord(1);
    EXPECT_TRUE(saved.IsValid());
    EXPECT_EQ(saved.index, 1);
    EXPECT_EQ(saved.count, 1);
    EXPECT_EQ(saved.noramlTotal, 100);
    EXPECT_EQ(saved.normalCurrent, 1);
    EXPECT_EQ(saved.parkingTotal, 20);
    EXPECT_STREQ(saved.date, current.date);
}

TEST_F(Counters, RecordsRoundTripAcrossARestart)
{
    PutRecord(4, MakeRecord(40, 100, 98, 3));
    vk::SDDebug* log = Started();
    for (int i = 0; i < 3; ++i)
        log->IncreaseNormalCounter();
    Record before = log->LoadCounter();
    EXPECT_EQ(before.index, 7);
    EXPECT_EQ(before.normalCurrent, 1) << "99 of 100 is followed by 0 and one more pass";
    EXPECT_EQ(before.normalLoopCount, 4);
    EXPECT_EQ(log->GetNormalCycles(), 4);

    Record after = Started()->LoadCounter();
    EXPECT_EQ(after.index, 7);
    EXPECT_EQ(after.count, 43);
    EXPECT_EQ(after.normalCurrent, 1);
    EXPECT_EQ(after.normalLoopCount, 4);
    EXPECT_STREQ(after.date, "2024/05/17-10:22:33");
}

TEST_F(Counters, ALayoutThatShrankBelowThePositionCountsAPass)
{
    PutRecord(0, MakeRecord(1, 100, 80, 2));
    Record record = Started(50)->LoadCounter();
    EXPECT_EQ(record.noramlTotal, 50);
    EXPECT_EQ(record.normalCurrent, 0);
    EXPECT_EQ(record.normalLoopCount, 3);
}

TEST_F(Counters, DamagedRecordsAreSkipped)
{
    PutRecord(2, MakeRecord(20, 100, 5, 1));
    PutRecord(3, MakeRecord(90, 100, 6, 1), false); // stale checksum
    Record unterminated = MakeRecord(91, 100, 7, 1);
    std::memset(unterminated.date, '9', sizeof(unterminated.date));
    PutRecord(4, unterminated);
    PutRecord(5, MakeRecord(92, 100, -3, 1)); // a position no layout has
    Record negative = MakeRecord(-5, 100, 1, 1);
    PutRecord(6, negative);

    Record current = Started()->LoadCounter();
    EXPECT_EQ(current.index, 2);
    EXPECT_EQ(current.count, 20);
    EXPECT_EQ(current.normalCurrent, 5);
}

TEST_F(Counters, AStampFromBeforeTheClockWasSetIsRenewed)
{
    PutRecord(0, MakeRecord(3, 100, 1, 0, "2021/01/01-00:00:07"));
    Record current = Started()->LoadCounter();
    EXPECT_STRNE(current.date, "2021/01/01-00:00:07");
    EXPECT_EQ(std::string(current.date, 2), "20");
}

TEST_F(Counters, WithoutACounterFileNothingIsCounted)
{
    unlink(COUNTER_FILE.c_str());
    vk::SDDebug* log = Started();
    log->IncreaseNormalCounter();
    EXPECT_EQ(log->LoadCounter().index, -1);
    EXPECT_EQ(log->GetNormalCycles(), 0);
}

} // namespace
