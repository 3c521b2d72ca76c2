// The pre-record buffers: ageing, reading in order, the start point of a
// recording, reports, readers that outlive ageing, and the sound capture's
// chunks.

#include "bmworks/BmAudio.h"
#include "bmworks/BmAudioBuffer.h"
#include "bmworks/BmVideoBuffer.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

namespace {

constexpr uint64_t kSec = 1000000;

Nal Unit(int keyFrame, int length = 4)
{
    Nal nal;
    nal.buffer = static_cast<char*>(g_malloc(length));
    std::memset(nal.buffer, keyFrame ? 'K' : 'P', length);
    nal.length = length;
    nal.keyFrame = keyFrame;
    return nal;
}

TEST(PreRecordBuffer, AgesOnlyItemsOlderThanTheWindow)
{
    const struct {
        uint64_t now;
        size_t left;
    } cases[] = {{50 * kSec + kSec / 2, 1}, {50 * kSec, 2}, {40 * kSec, 3}, {40 * kSec + 1, 2}, {61 * kSec, 0}};
    for (const auto& c : cases) {
        BmTimedList<Nal> list(kPreRecordWindowUsec);
        for (uint64_t t : {10 * kSec, 20 * kSec, 30 * kSec})
            list.Add(Unit(0), t);
        list.DeleteOld(c.now);
        EXPECT_EQ(list.Count(), c.left) << c.now;
    }
}

TEST(PreRecordBuffer, ReadsOldestFirstWithoutRemoving)
{
    BmTimedList<Nal> list(kPreRecordWindowUsec);
    for (uint64_t t : {1 * kSec, 2 * kSec, 3 * kSec})
        list.Add(Unit(t == kSec), t);
    uint64_t position = 0;
    Nal out;
    for (uint64_t t : {1 * kSec, 2 * kSec, 3 * kSec}) {
        ASSERT_EQ(list.GetOld(position, out), 0);
        EXPECT_EQ(position, t);
    }
    EXPECT_EQ(list.GetOld(position, out), -1);
    EXPECT_EQ(position, 3 * kSec);
    EXPECT_EQ(list.Count(), 3u);

    position = 0;
    ASSERT_EQ(list.GetNew(position, out), 0);
    EXPECT_EQ(position, 3 * kSec);
    EXPECT_EQ(list.GetNew(position, out), -1);

    BmTimedList<Nal> empty(kPreRecordWindowUsec);
    position = 0;
    EXPECT_EQ(empty.GetOld(position, out), -1);
    EXPECT_EQ(empty.GetNew(position, out), -1);
}

TEST(PreRecordBuffer, ItemsOfOneMicrosecondAreAllRead)
{
    BmTimedList<Nal> list(kPreRecordWindowUsec);
    EXPECT_EQ(list.Add(Unit(1), 5 * kSec), 5 * kSec);
    EXPECT_EQ(list.Add(Unit(0), 5 * kSec), 5 * kSec + 1);
    EXPECT_EQ(list.Add(Unit(0), 4 * kSec), 5 * kSec + 2);
    uint64_t position = 0;
    Nal out;
    int read = 0;
    while (list.GetOld(position, out) == 0)
        read++;
    EXPECT_EQ(read, 3);
}

TEST(PreRecordBuffer, StartPointIsAKeyUnitFarEnoughBack)
{
    BmVideoBuffer buffer;
    const struct {
        uint64_t time;
        int key;
    } units[] = {{kSec / 2, 0}, {kSec, 1}, {3 * kSec / 2, 0}, {2 * kSec, 1}, {5 * kSec / 2, 0}};
    for (const auto& u : units)
        buffer.mVideoBufferList.Add(Unit(u.key), u.time);
    const struct {
        uint64_t preTime;
        uint64_t start;
    } cases[] = {{1, 2 * kSec}, {kSec, kSec}, {2 * kSec, 0}, {5 * kSec / 2, 0}, {30 * kSec, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(buffer.GetBufferTime(c.preTime), c.start) << c.preTime;
    EXPECT_EQ(BmVideoBuffer().GetBufferTime(1), 0u);
}

TEST(PreRecordBuffer, NewestKeyUnitItselfIsNoStartPointForTheNextOne)
{
    BmVideoBuffer buffer;
    buffer.mVideoBufferList.Add(Unit(1), kSec);
    buffer.mVideoBufferList.Add(Unit(1), 2 * kSec);
    EXPECT_EQ(buffer.GetBufferTime(1), kSec);
}

TEST(PreRecordBuffer, Reports)
{
    testing::internal::CaptureStdout();
    BmVideoBuffer().Report("Front");
    BmAudioBuffer().Report(nullptr);
    BmVideoBuffer full;
    full.mVideoBufferList.Add(Unit(1, 100), 3 * kSec + 5);
    full.mVideoBufferList.Add(Unit(0, 50), 7 * kSec);
    full.Report("Rear");
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("BmVideoBuffer::Report(Front)... totalNodeNum=0, totalBufferSize=0, firstBufferTime=0, "
                       "lastBufferTime=0 \n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("BmAudioBuffer::Report()... totalNodeNum=0, totalBufferSize=0, firstBufferTime=0, "
                       "lastBufferTime=0 \n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("BmVideoBuffer::Report(Rear)... totalNodeNum=2, totalBufferSize=150, firstBufferTime=3, "
                       "lastBufferTime=7 \n"),
              std::string::npos)
        << out;
    EXPECT_EQ(full.GetTotalTimeSec(), 3);
}

// Whatever size the capture hands its sound in, a chunk holds four samples
// and at least the 100 ms (1600 bytes) the feed stamps it with.
TEST(PreRecordBuffer, SoundChunksHoldAtLeastTheirStampedLength)
{
    struct Case {
        int sampleBytes;
        int samples;
        size_t chunks;
        long long chunkBytes;
    } cases[] = {
        {160, 25, 2, 1600},  // a capture device's 10 ms periods: ten to a chunk
        {372, 10, 2, 1860},  // a test source's 23 ms: five
        {2000, 8, 2, 8000},  // 125 ms: four
    };
    BmAudio* audio = BmAudio::Inst();
    std::vector<char> sample(2000, 1);
    for (const Case& c : cases) {
        size_t chunksBefore = audio->mAudioBuffer.mAudioBufferList.Count();
        long long bytesBefore = audio->mAudioBuffer.mAudioBufferList.Bytes();
        audio->mTempBuffer.length = audio->mTempBuffer.count = 0;
        for (int i = 0; i < c.samples; i++)
            audio->AddSample(sample.data(), c.sampleBytes);
        EXPECT_EQ(audio->mAudioBuffer.mAudioBufferList.Count() - chunksBefore, c.chunks) << c.sampleBytes;
        EXPECT_EQ(audio->mAudioBuffer.mAudioBufferList.Bytes() - bytesBefore, c.chunkBytes * 2) << c.sampleBytes;
    }
}

TEST(PreRecordBuffer, AudioAndSubtitleItemsKeepTheirGivenTime)
{
    BmSubtitleBuffer subtitles;
    AudioBuffer line;
    line.buffer = g_strdup("N 37.5 E 127.0");
    line.length = 15;
    subtitles.Add(line, 12 * kSec);
    uint64_t position = 0;
    AudioBuffer out;
    ASSERT_EQ(subtitles.GetOld(position, out), 0);
    EXPECT_EQ(position, 12 * kSec);
    EXPECT_STREQ(out.buffer, "N 37.5 E 127.0");
}

// A unit a reader took stays readable after ageing removed it from the buffer
// (AddressSanitizer watches the bytes).
TEST(PreRecordBuffer, AgeingNeverFreesWhatAReaderHolds)
{
    BmTimedList<Nal> list(kPreRecordWindowUsec);
    list.Add(Unit(1, 64), kSec);
    uint64_t position = 0;
    Nal held;
    ASSERT_EQ(list.GetOld(position, held), 0);
    list.DeleteOld(40 * kSec);
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_EQ(std::string(held.buffer, held.length), std::string(64, 'K'));
}

// The engine fills and ages while a streaming thread reads.
TEST(PreRecordBuffer, ReadersOnOtherThreadsSeeWholeUnits)
{
    BmTimedList<Nal> list(kSec);
    std::atomic<long> read{0};
    std::atomic<bool> done{false};
    std::thread reader([&] {
        uint64_t position = 0;
        Nal held;
        while (!done) {
            if (list.GetOld(position, held) != 0)
                continue;
            char kind = held.keyFrame ? 'K' : 'P';
            EXPECT_EQ(std::string(held.buffer, held.length), std::string(held.length, kind));
            read++;
        }
    });
    uint64_t t = 0;
    while (read < 5000 && t < 2000000) {
        t++;
        list.Add(Unit(static_cast<int>(t % 30 == 0), 256), t * 1000);
        list.DeleteOld(t * 1000);
    }
    done = true;
    reader.join();
    EXPECT_GE(read, 5000);
    EXPECT_LE(list.Count(), 1001u);
}

} // namespace
