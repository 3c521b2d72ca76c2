// The engine facade and a camera on the host platform with real encoding.

#include "EngineRun.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <thread>

namespace {

std::string ThreadName()
{
    char name[32] = {};
    pthread_getname_np(pthread_self(), name, sizeof(name));
    return name;
}

TEST(Engine, PostedCommandsRunInOrderOnTheEngineThread)
{
    BmWorks* works = Engine();
    struct Probe {
        bool fsadas;
        std::string thread;
    };
    std::vector<Probe> probes;
    auto probe = [](gpointer data) -> gboolean {
        auto* seen = static_cast<std::vector<Probe>*>(data);
        seen->push_back(Probe{BmWorks::Inst()->bmMux[Front].mVideo.IsRunFsadas(), ThreadName()});
        return G_SOURCE_REMOVE;
    };
    const int commands = 40;
    for (int i = 0; i < commands; i++) {
        if (i % 2 == 0)
            works->RunFsadas();
        else
            works->PauseFsadas();
        g_idle_add(probe, &probes);
    }
    OnEngine([] {});
    ASSERT_EQ(probes.size(), static_cast<size_t>(commands));
    for (int i = 0; i < commands; i++) {
        EXPECT_EQ(probes[i].fsadas, i % 2 == 0) << i;
        EXPECT_EQ(probes[i].thread, "gBmWorksTask");
    }
    EXPECT_FALSE(works->bmMux[Rear].mVideo.IsRunFsadas());
}

std::string gSplitThread;

// A Normal file named on a streaming thread: its split time and the other
// camera's split follow on the engine thread, where that camera's state lives.
TEST(Engine, NormalFileBeginsOnTheEngineThread)
{
    BmWorks* works = Engine();
    BmMux& front = works->bmMux[Front];
    BmMux::FilenameFunction saved = front.NormalSplitCallback;
    front.NormalSplitCallback = [](CameraPosition, RecordType) -> char* {
        gSplitThread = ThreadName();
        return nullptr;
    };
    const uint64_t before = 123456789;
    OnEngine([&] { front.mNormalSplitTime = before; });
    char* name = nullptr;
    std::thread streaming([&] { name = front.NewFilename(Normal, 3); });
    streaming.join();
    g_free(name);
    uint64_t splitTime = before;
    OnEngine([&] { splitTime = front.mNormalSplitTime; });
    EXPECT_EQ(gSplitThread, "gBmWorksTask");
    EXPECT_LE(BmClock::Inst()->Sec() - splitTime, 1u) << "the split time is taken then";
    front.NormalSplitCallback = saved;
}

void AssistCallback(int, void*, void*, int, int) {}

TEST(Engine, AssistFramesComeFromTheFrontCamera)
{
    BmWorks* works = Engine();
    works->SetFsadasCallback(Rear, AssistCallback);
    EXPECT_EQ(works->bmMux[Front].mVideo.FsadasCallback, AssistCallback);
    EXPECT_EQ(works->bmMux[Rear].mVideo.FsadasCallback, nullptr);
}

TEST(Engine, StallIsReportedAfterFiveSecondsWithoutFrames)
{
    BmWorks* works = Engine();
    BmVideo& video = works->bmMux[Rear].mVideo;
    BmMux& mux = works->bmMux[Rear];
    video.mRunFlag |= BmVideo::RunEncoder;
    uint64_t now = BmClock::Inst()->Sec();
    video.mLastVITimeSec = now - 6;
    EXPECT_EQ(works->CheckCameraRunning(Rear), 1) << "not recording";

    mux.mRecordState[Event] = BmMux::RunTry;
    video.mLastVITimeSec = now - 5;
    EXPECT_EQ(works->CheckCameraRunning(Rear), 1);
    video.mLastVITimeSec = BmClock::Inst()->Sec() - 6;
    EXPECT_EQ(works->CheckCameraRunning(Rear), 0);
    EXPECT_EQ(works->CheckCameraRunning(Rear), 1) << "the next stall only 6 s later";

    video.mRunFlag &= ~BmVideo::RunEncoder;
    video.mLastVITimeSec = 0;
    EXPECT_EQ(works->CheckCameraRunning(Rear), 1) << "encoder not running";
    mux.mRecordState[Event] = BmMux::Pause;
}

TEST(Engine, AutoStopAlwaysEntersFinalFramesMode)
{
    BmWorks* works = Engine();
    works->SetAutoStop(false);
    EXPECT_TRUE(works->mAutoSplit);
    EXPECT_EQ(works->mAutoSplitCommand, 1);
    works->SetAutoStop(true);
    EXPECT_EQ(works->mAutoSplitCommand, 2);
    works->mAutoSplit = false;
    works->mAutoSplitCommand = 1;
}

TEST(Engine, SettingsBeforeStart)
{
    BmWorks* works = Engine();
    works->SetEventTimeSec(20, 5);
    for (BmMux& mux : works->bmMux) {
        EXPECT_EQ(mux.mEventRecordTime, 20);
        EXPECT_EQ(mux.mEventPreTimeUsec, 5000000u);
    }
    works->SetFps(F16);
    works->SetFpsRear(F25);
    EXPECT_EQ(works->GetFps(), F16);
    EXPECT_EQ(works->GetFpsRear(), F25);
    works->SetCongigBeforeStart(Rear, SHD);
    EXPECT_EQ(works->bmMux[Rear].mVideo.mFormat.width, 2304);
    EXPECT_EQ(works->bmMux[Rear].mVideo.mFormat.fps10, 251);
    EXPECT_EQ(works->bmMux[Rear].mVideo.mFormat.codec, H265);
}

TEST(Engine, VideoOutLayoutsAssignTheDisplayChannels)
{
    BmWorks* works = Engine();
    const struct {
        VideoOutConfig config;
        int front;
        int rear;
    } layouts[] = {{VocRear, 1, 0}, {VocFrontRear, 0, 1}, {VocRearFront, 1, 0}, {VocFront, 0, 1}};
    for (const auto& l : layouts) {
        works->SetVideoOutConfig(l.config);
        EXPECT_EQ(works->GetVideoOutConfig(), l.config);
        OnEngine([] {});
        EXPECT_EQ(works->bmMux[Front].mVideo.mVideoOutChannelId, l.front) << l.config;
        EXPECT_EQ(works->bmMux[Rear].mVideo.mVideoOutChannelId, l.rear) << l.config;
    }
}

TEST(Engine, StartFailsWhenTheEncoderCannotBeMade)
{
    BmWorks* works = Engine();
    works->SetCongigBeforeStart(Rear, FHD);
    VENC_CFG_S cfg;
    mpp_comm_venc_get_cfg(VENC_360P_TO_360P_1M_30FPS, &cfg);
    ASSERT_EQ(mpp_comm_venc_create(works->bmMux[Rear].mVideo.mVideoEncoderId, PT_H265, 0, 2, 0, &cfg), 0);
    testing::internal::CaptureStdout();
    EXPECT_EQ(works->Start(Rear), -1);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Do CreateVideoEncoder() fail!"), std::string::npos) << out;
    EXPECT_NE(out.find("        BmWorks::Start() error. bmMux[1].Start()\n"), std::string::npos) << out;
    EXPECT_EQ(works->bmMux[Rear].mVideo.mVideoEncoderTaskId, 0u) << "no sources";
    mpp_comm_venc_destroy(works->bmMux[Rear].mVideo.mVideoEncoderId);
}

// Luma of the decoded picture, width × height bytes.
std::string DecodeLuma(const std::string& stream, const std::string& png)
{
    Shell("ffmpeg -v error -y -i " + stream + " -frames:v 1 " + png);
    return Shell("ffmpeg -v error -i " + stream + " -frames:v 1 -f rawvideo -pix_fmt gray -");
}

// The front camera at 27 fps encoded for real: its units are decodable
// H.265 of the camera's size, stamped 1/27 s apart, keep coming while a live
// stream runs, and show the road upright.
TEST(Engine, FrontCameraEncodesDecodableHevc)
{
    unsetenv("DASHREC_SOC_VENC");
    BmWorks* works = Engine();
    works->SetFps(F27);
    works->SetCongigBeforeStart(Front, WQHD);
    ASSERT_EQ(works->Start(Front), 0);
    BmVideo& video = works->bmMux[Front].mVideo;
    int started = -2;
    OnEngine([&] { started = video.RunVideoEnc(); });
    ASSERT_EQ(started, 0);
    int again = 0;
    OnEngine([&] { again = video.RunVideoEnc(); });
    EXPECT_EQ(again, -1) << "an encoder runs once";
    ASSERT_TRUE(WaitFor([&] { return Units(video.mVideoBuffer).size() >= 6; }, 60000));

    // The recording goes on while a live stream runs.
    OnEngine([&] { video.RunRtsp(); });
    EXPECT_TRUE(video.IsRunRtsp());
    EXPECT_TRUE(video.IsRunVideoIn(1));
    size_t before = Units(video.mVideoBuffer).size();
    EXPECT_TRUE(WaitFor([&] { return Units(video.mVideoBuffer).size() >= before + 6; }, 60000));
    OnEngine([&] {
        video.PauseRtsp();
        video.PauseVideoEnc();
    });
    EXPECT_FALSE(video.IsRunRtsp());
    EXPECT_FALSE(video.IsRunVideoIn(1));
    EXPECT_FALSE(video.IsRunVideoIn(0));

    std::vector<BufferedUnit> units = Units(video.mVideoBuffer);
    ASSERT_EQ(units.front().nal.keyFrame, 1);
    // Whole capture intervals apart, but where the engine took up a drift of
    // more than 200 ms from the capture clock (live 1440p encoding on a loaded machine).
    int driftTakenUp = 0;
    for (size_t i = 1; i < units.size(); i++) {
        uint64_t step = units[i].nal.pts - units[i - 1].nal.pts;
        uint64_t off = step % 37037;
        EXPECT_GT(step, 0u);
        EXPECT_EQ(units[i].nal.pts % 4, 0u);
        if (step > 37037 + 200000) {
            driftTakenUp++;
            continue;
        }
        EXPECT_LE(std::min(off, 37037 - off), 4u) << "whole 27 fps capture intervals: " << step;
    }
    EXPECT_LT(driftTakenUp * 2, static_cast<int>(units.size())) << "the drift is an exception";
    std::string stream = WriteRawStream(units, "front_real.h265");
    EXPECT_EQ(Shell("ffprobe -v error -select_streams v:0 -show_entries stream=codec_name,width,height -of csv=p=0 " +
                  stream),
              "hevc,2560,1440\n");
    std::string luma = DecodeLuma(stream, "front_real.png");
    ASSERT_EQ(luma.size(), 2560u * 1440u);
    auto at = [&](int x, int y) { return static_cast<uint8_t>(luma[static_cast<size_t>(y) * 2560 + x]); };
    EXPECT_GT(at(1280, 200), 150) << "sky at the top: the upside-down sensor is turned upright";
    EXPECT_LT(at(1280, 1400), 130) << "road at the bottom";
    EXPECT_LT(at(30, 30), 40) << "the caption box at the top left";
}

} // namespace
