// Playback of recordings through the engine: discovery, play, pause, seek and
// stop, with the decoded pictures taken from the decoder channel and checked
// by their time stamps and size (and saved as PNG to look at).

#include "tests/bmworks/EngineRun.h"
#include "Recordings.h"

#include "host/soc/Vo.h"
#include "mpp_comm/soc_vdec.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::string InBuildFolder(const std::string& name)
{
    const char* dir = std::getenv("DASHREC_BINARY_DIR");
    return std::string(dir != nullptr ? dir : ".") + "/" + name;
}

// How far the screen is from one flat colour: 0 for a blank panel.
double Spread(const soc::LcdPicture& lcd)
{
    double sum = 0;
    double squares = 0;
    for (uint32_t pixel : lcd.argb) {
        double grey = ((pixel >> 16 & 0xFF) + (pixel >> 8 & 0xFF) + (pixel & 0xFF)) / 3.0;
        sum += grey;
        squares += grey * grey;
    }
    double n = lcd.argb.empty() ? 1 : static_cast<double>(lcd.argb.size());
    return squares / n - (sum / n) * (sum / n);
}

struct Picture {
    int width = 0;
    int height = 0;
    uint64_t ptsUsec = 0;
    std::vector<unsigned char> pixels; // NV21
};

class PlaybackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        demux = &Engine()->bmDemux;
        ASSERT_TRUE(PanelReady());
        recording = Recording("hevc", 40);
        ASSERT_FALSE(recording.empty());
    }

    void TearDown() override
    {
        if (demux->IsStarted())
            demux->Stop();
    }

    // The decoder task leaves the pictures to the test from here on.
    void TakeOverPictures()
    {
        BmPlayer& player = demux->bmPlayer;
        OnEngine([&player] {
            if (player.mVideoDecoderTaskId != 0)
                g_source_remove(player.mVideoDecoderTaskId);
            player.mVideoDecoderTaskId = 0;
        });
    }

    bool NextPicture(Picture& picture, int timeoutMs)
    {
        int channel = demux->bmPlayer.mVideoDecoderId;
        auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        VIDEO_FRAME_INFO_S frame;
        while (SOC_MPI_VDEC_GetImage(channel, &frame, 10) != 0) {
            if (Clock::now() > end)
                return false;
        }
        const VIDEO_FRAME_S& f = frame.VFrame;
        picture.width = static_cast<int>(f.mWidth);
        picture.height = static_cast<int>(f.mHeight);
        picture.ptsUsec = f.mpts;
        size_t luma = static_cast<size_t>(f.mWidth) * f.mHeight;
        const auto* y = static_cast<const unsigned char*>(f.mpVirAddr[0]);
        const auto* vu = static_cast<const unsigned char*>(f.mpVirAddr[1]);
        picture.pixels.assign(y, y + luma);
        picture.pixels.insert(picture.pixels.end(), vu, vu + luma / 2);
        EXPECT_EQ(SOC_MPI_VDEC_ReleaseImage(channel, &frame), 0);
        return true;
    }

    // The first picture at or after the time, within timeoutMs.
    bool PictureFrom(uint64_t fromUsec, Picture& picture, int timeoutMs)
    {
        auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (Clock::now() < end) {
            if (NextPicture(picture, 100) && picture.ptsUsec >= fromUsec)
                return true;
        }
        return false;
    }

    void SavePng(const Picture& p, const std::string& name)
    {
        const unsigned char* y = p.pixels.data();
        EXPECT_TRUE(SaveNv21Png(y, y + p.width * p.height, p.width, p.height, name));
    }

    // Since a seek to target posted at the given time, playing on at the
    // real rate: however late the engine ran the seek, never ahead.
    void ExpectPlayingOnFrom(int32_t targetMsec, Clock::time_point seekTime)
    {
        double sinceSeekMs = std::chrono::duration<double, std::milli>(Clock::now() - seekTime).count();
        int32_t position = demux->Position();
        EXPECT_GE(position, targetMsec);
        EXPECT_LE(position, targetMsec + sinceSeekMs + 150);
    }

    void StartPlaying(int32_t startMsec = 0)
    {
        demux->SetFile(recording, startMsec);
        ASSERT_GT(demux->GetDurationMsec(), 0);
        TakeOverPictures();
        demux->Play();
        ASSERT_TRUE(WaitFor([this] { return demux->IsStreamValid(); }, 5000));
    }

    BmDemux* demux = nullptr;
    std::string recording;
};

TEST_F(PlaybackTest, DiscoveryGivesTheDurationAndFormatAndLeavesThePipelineUnplayed)
{
    demux->SetFile(recording, 0);
    EXPECT_NEAR(demux->GetDurationMsec(), ProbeDurationMsec(recording), 100);
    EXPECT_TRUE(demux->IsStarted());
    EXPECT_FALSE(demux->IsPlaying());
    EXPECT_EQ(demux->bmPlayer.mFormat.width, 640);
    EXPECT_EQ(demux->bmPlayer.mFormat.height, 360);
    EXPECT_EQ(demux->bmPlayer.mFormat.codec, H265);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(demux->IsStreamValid());
}

TEST_F(PlaybackTest, PlaysAtTheRealRateTurnedForThePanelPausesAndStops)
{
    StartPlaying();
    Picture picture;
    ASSERT_TRUE(NextPicture(picture, 2000));
    // Half size, a quarter turn: portrait like the panel.
    EXPECT_EQ(picture.width, 180);
    EXPECT_EQ(picture.height, 320);

    int32_t p0 = demux->Position();
    auto t0 = Clock::now();
    uint64_t lastPts = 0;
    while (Clock::now() - t0 < std::chrono::seconds(2)) {
        if (NextPicture(picture, 200)) {
            EXPECT_GT(picture.ptsUsec, lastPts);
            lastPts = picture.ptsUsec;
        }
    }
    int32_t p1 = demux->Position();
    double elapsedMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    EXPECT_NEAR(p1 - p0, elapsedMs, 300) << "position " << p0 << " -> " << p1;
    EXPECT_NEAR(static_cast<double>(lastPts) / 1000, p1, 500);
    SavePng(picture, "playing.png");

    demux->Pause();
    EXPECT_FALSE(demux->IsPlaying());
    while (NextPicture(picture, 500)) {
    } // what was on its way before the pause
    int32_t held = demux->Position();
    EXPECT_FALSE(NextPicture(picture, 1000)) << "a picture after the pause";
    EXPECT_NEAR(demux->Position(), held, 40);

    demux->Play();
    EXPECT_TRUE(NextPicture(picture, 2000));
    auto before = Clock::now();
    demux->Stop();
    EXPECT_LT(Clock::now() - before, std::chrono::seconds(3));
    EXPECT_FALSE(demux->IsStarted());
    EXPECT_EQ(demux->pGstPipeline, nullptr);
    EXPECT_EQ(demux->bmPlayer.pVirtualVdAddr, nullptr);
    EXPECT_EQ(demux->Position(), 0);
}

TEST_F(PlaybackTest, SeekShowsTheKeyUnitAtOrBeforeTheTarget)
{
    StartPlaying();
    Picture picture;
    ASSERT_TRUE(NextPicture(picture, 2000));
    auto seekTime = Clock::now();
    demux->Seek(30000);
    // Key units every second: the seek lands on the one at 30 s, and the
    // first picture after it is that key unit.
    ASSERT_TRUE(PictureFrom(20000000, picture, 3000));
    EXPECT_EQ(picture.ptsUsec, 30000000u);
    SavePng(picture, "seek_30s.png");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ExpectPlayingOnFrom(30000, seekTime);
}

TEST_F(PlaybackTest, StartPositionPausesThenSeeks)
{
    demux->SetFile(recording, 20000);
    ASSERT_GT(demux->GetDurationMsec(), 0);
    TakeOverPictures();
    EXPECT_FALSE(demux->IsPlaying());
    // Paused at the start position once the delayed seek has run.
    EXPECT_TRUE(WaitFor([this] { return std::abs(demux->Position() - 20000) <= 200; }, 3000));
    demux->Play();
    Picture picture;
    ASSERT_TRUE(PictureFrom(1, picture, 3000));
    EXPECT_EQ(picture.ptsUsec, 20000000u);
    SavePng(picture, "start_20s.png");
}

TEST_F(PlaybackTest, SetFileWhilePlayingStopsFirst)
{
    StartPlaying();
    std::string shorter = Recording("hevc", 4);
    demux->SetFile(shorter, 0);
    EXPECT_NEAR(demux->GetDurationMsec(), 4000, 100);
    EXPECT_TRUE(demux->IsStarted());
    EXPECT_FALSE(demux->IsPlaying());
}

TEST_F(PlaybackTest, ShowsTheRecordingOnTheLcdHoldsItWhenPausedAndAfterASeek)
{
    demux->SetFile(recording, 0);
    ASSERT_GT(demux->GetDurationMsec(), 0);
    demux->Play();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_GT(Spread(soc::VoComposeLcd()), 100);
    EXPECT_TRUE(soc::VoSaveLcdPng(InBuildFolder("lcd_playing.png").c_str()));

    demux->Pause();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    soc::LcdPicture paused = soc::VoComposeLcd();
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_TRUE(paused.argb == soc::VoComposeLcd().argb) << "the picture moved while paused";

    demux->Play();
    auto seekTime = Clock::now();
    demux->Seek(30000);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    ExpectPlayingOnFrom(30000, seekTime);
    EXPECT_TRUE(soc::VoSaveLcdPng(InBuildFolder("lcd_seek_30s.png").c_str()));
    EXPECT_FALSE(paused.argb == soc::VoComposeLcd().argb);
}

TEST_F(PlaybackTest, UnplayableFilesGiveMinusOneInBoundedTimeAndTheEngineStaysUsable)
{
    const std::string files[] = {HalfOf(recording), Zeros(1 << 20), "/nonexistent/NORM260101-000000F.MP4"};
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        auto t0 = Clock::now();
        demux->SetFile(file, 0);
        EXPECT_EQ(demux->GetDurationMsec(), -1);
        EXPECT_LT(Clock::now() - t0, std::chrono::seconds(9));
        EXPECT_FALSE(demux->IsStarted());
        demux->Play();
        EXPECT_FALSE(demux->IsPlaying());
        EXPECT_EQ(demux->Position(), 0);
        demux->Stop(); // nothing to tear down: returns at once
    }
    StartPlaying();
    Picture picture;
    EXPECT_TRUE(NextPicture(picture, 2000));
}

TEST_F(PlaybackTest, H264RecordingTakesTheH264Path)
{
    recording = Recording("h264", 4);
    ASSERT_FALSE(recording.empty());
    StartPlaying();
    EXPECT_EQ(demux->bmPlayer.mFormat.codec, H264);
    Picture picture;
    ASSERT_TRUE(NextPicture(picture, 2000));
    EXPECT_EQ(picture.width, 180);
    EXPECT_EQ(picture.height, 320);
}

} // namespace
