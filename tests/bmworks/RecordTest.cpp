// Both cameras in encode mode for 35 s, with replayed encoding: each
// pre-record buffer holds the last 30 s, a key unit every GOP, at the bitrate
// of the rule; a rate change to 16 fps sends 32 of every 55 frames.

#include "EngineRun.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

struct Camera {
    CameraPosition position;
    VideoSize size;
    int width;
    int height;
    const char* name;
};

const Camera kCameras[] = {
    {Front, WQHD, 2560, 1440, "front"},
    {Rear, FHD, 1920, 1080, "rear"},
};

void ExpectKeyEveryGop(const std::vector<BufferedUnit>& units, size_t gop, const char* name)
{
    size_t first = 0;
    while (first < units.size() && units[first].nal.keyFrame != 1)
        first++;
    ASSERT_LT(first, gop) << name;
    for (size_t i = first; i < units.size(); i++)
        EXPECT_EQ(units[i].nal.keyFrame == 1, (i - first) % gop == 0) << name << " unit " << i;
}

int SentByTable(const BmFrameTable& table, int frames)
{
    int sent = 0;
    for (int i = 0; i < frames; i++)
        sent += table.entries[i % table.length];
    return sent;
}

TEST(Recording, BothCamerasFillTheirPreRecordBuffers)
{
    UseReplayEncoding();
    BmWorks* works = Engine();
    for (const Camera& c : kCameras) {
        works->SetCongigBeforeStart(c.position, c.size);
        ASSERT_EQ(works->Start(c.position), 0) << c.name;
    }
    OnEngine([&] {
        for (BmMux& mux : works->bmMux)
            mux.mVideo.RunVideoEnc();
    });
    for (const Camera& c : kCameras) {
        BmVideoBuffer& buffer = works->bmMux[c.position].mVideo.mVideoBuffer;
        ASSERT_TRUE(WaitFor([&] { return buffer.GetLastBufferTime() != 0; }, 120000)) << c.name;
    }
    // Past the 30 s a buffer keeps, by more than its bound below allows: the oldest units must have gone.
    std::this_thread::sleep_for(std::chrono::seconds(35));
    std::vector<BufferedUnit> buffered[MaxCam];
    for (const Camera& c : kCameras) {
        BmVideo& video = works->bmMux[c.position].mVideo;
        video.mVideoBuffer.Report(c.name);
        EXPECT_GE(video.mVideoBuffer.GetTotalTimeSec(), 29) << c.name;
        buffered[c.position] = Units(video.mVideoBuffer);
    }

    // A rate change on the running rear encoder: 32 of every 55 frames, a key unit every 16.
    BmVideo& rear = works->bmMux[Rear].mVideo;
    works->SetFpsRear(F16);
    uint64_t changed = 0;
    OnEngine([&] { changed = BmClock::Inst()->Usec(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(5500));
    // Units lag the frames by what the encoder still holds (on a slow machine
    // it may first be preparing its new loop).
    int frames = 0;
    int expected = 0;
    std::vector<BufferedUnit> reduced;
    auto settled = [&] {
        OnEngine([&] {
            frames = rear.mEncodingFrameCount;
            reduced = Units(rear.mVideoBuffer, changed);
        });
        expected = SentByTable(rear.mEncodingFrameTable, frames);
        return std::abs(static_cast<int>(reduced.size()) - expected) <= 3;
    };
    EXPECT_TRUE(WaitFor(settled, 60000)) << reduced.size() << " units for " << expected << " frames sent";
    EXPECT_GT(frames, 150);
    ExpectKeyEveryGop(reduced, 16, "rear at 16 fps");

    for (const Camera& c : kCameras) {
        const std::vector<BufferedUnit>& units = buffered[c.position];
        // A loaded machine may make the engine miss a few captured frames,
        // and age the buffer a little late.
        EXPECT_GE(units.size(), 30u * 27) << c.name;
        EXPECT_LE(units.size(), 30u * 32) << c.name;
        ExpectKeyEveryGop(units, 30, c.name);
        BmVideo probe;
        probe.mCameraPosition = c.position;
        probe.mFormat.width = c.width;
        probe.mFormat.height = c.height;
        double target = probe.CalcBitrate(27, 12000000);
        std::printf("%s: %zu units, %.2f Mbit/s against %.2f\n", c.name, units.size(), Bitrate(units) / 1e6,
                    target / 1e6);
        EXPECT_NEAR(Bitrate(units), target, 0.15 * target) << c.name;
        // One capture interval apart, but where a lag of the engine beyond 200 ms was taken up.
        int jumps = 0;
        for (size_t i = 1; i < units.size(); i++) {
            uint64_t step = units[i].nal.pts - units[i - 1].nal.pts;
            if (step > 33333 + 200000)
                jumps++;
            else
                EXPECT_NEAR(static_cast<double>(step), 33333, 4) << c.name << " unit " << i;
        }
        EXPECT_LE(jumps, 2) << c.name;

        std::string stream = WriteRawStream(units, std::string(c.name) + "_replay.h265");
        EXPECT_EQ(Shell("ffprobe -v error -select_streams v:0 -show_entries stream=codec_name,width,height "
                        "-of csv=p=0 " + stream),
                  "hevc," + std::to_string(c.width) + "," + std::to_string(c.height) + "\n");
        Shell("ffmpeg -v error -y -i " + stream + " -frames:v 1 " + c.name + "_replay.png");
        std::string decoded = Shell("ffprobe -v error -threads 2 -count_frames -select_streams v:0 -show_entries "
                                    "stream=nb_read_frames -of csv=p=0 " + stream);
        size_t fromKey = 0;
        while (fromKey < units.size() && units[fromKey].nal.keyFrame != 1)
            fromKey++;
        EXPECT_EQ(std::atoi(decoded.c_str()), static_cast<int>(units.size() - fromKey)) << c.name;
    }
}

} // namespace
