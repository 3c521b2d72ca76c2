// The live streams as the phone sees them: real RTSP clients (ffprobe and a
// ffmpeg decoder) against the engine's servers on loopback, fed by the
// host cameras through the live-stream encoder.

#include "PhoneClient.h"
#include "tests/bmworks/EngineRun.h"

#include "bmworks/BmClock.h"
#include "bmworks/BmNet.h"
#include "bmworks/bmworks.h"
#include "mpp_comm/soc_venc.h"
#include "mpp_comm/soc_vi.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <future>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Output {
    int status;
    std::string text;
};

Output Shell(const std::string& command)
{
    Output out{-1, ""};
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return out;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof(chunk), pipe)) > 0)
        out.text.append(chunk, got);
    out.status = pclose(pipe);
    return out;
}

std::string Url(CameraPosition camera)
{
    return std::string("rtsp://127.0.0.1:") + RTSP_MOUNTS[camera].service + RTSP_MOUNTS[camera].path;
}

// A client that decodes `frames` frames; passes when it ends cleanly and says
// nothing. (gst-launch's rtspsrc fails its own exit when the server closes the
// connection first after the TEARDOWN, which says nothing of the stream.)
Output Decode(CameraPosition camera, int frames = 60)
{
    // The stream's own time base for the output: frames closer than a
    // nominal frame interval are no fault of the stream.
    return Shell("timeout 60 ffmpeg -nostdin -v error -rtsp_transport tcp -i " + Url(camera)
        + " -frames:v " + std::to_string(frames) + " -enc_time_base -1 -f null -");
}

// Waits for the engine thread to have started or stopped the server; a
// loaded machine takes its time.
bool Serving(CameraPosition camera, bool wanted)
{
    return WaitFor([camera, wanted] {
        PhoneClient probe;
        return probe.Connect(atoi(RTSP_MOUNTS[camera].service), 0) == wanted;
    }, 60000);
}

// What the engine's display task does for the live stream while the display
// task is not in the engine: every second stream-1 frame of a camera whose
// live-stream encoder runs goes to that encoder, stamped with the engine clock.
class DisplayStandIn {
public:
    void Start()
    {
        _thread = std::thread([this] {
            while (!_stop) {
                for (BmMux& mux : BmWorks::Inst()->bmMux)
                    Feed(mux.mVideo);
            }
        });
    }
    void Stop()
    {
        _stop = true;
        if (_thread.joinable())
            _thread.join();
    }

private:
    static void Feed(BmVideo& video)
    {
        VIDEO_FRAME_INFO_S frame;
        if (!video.IsRunRtsp() || SOC_MPI_VI_GetFrame(video.mVideoInDevId[1], video.mVideoInChannelId[1], &frame, 5) != 0)
            return;
        if (video.mRtspEncoderCount++ % 2 == 1) {
            uint64_t captured = frame.VFrame.mpts;
            frame.VFrame.mpts = BmClock::Inst()->Usec();
            SOC_MPI_VENC_SendFrame(video.mVideoEncoderRtspId, &frame, 10);
            frame.VFrame.mpts = captured;
        }
        SOC_MPI_VI_ReleaseFrame(video.mVideoInDevId[1], video.mVideoInChannelId[1], &frame);
    }

    std::thread _thread;
    std::atomic<bool> _stop{false};
};

DisplayStandIn gDisplay;

class LiveStream : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        BmWorks* works = BmWorks::Inst();
        works->Init(nullptr);
        works->DontStartAudio();
        works->SetCongigBeforeStart(Front, HD);
        works->SetCongigBeforeStart(Rear, HD);
        ASSERT_EQ(works->Start(Front), 0);
        ASSERT_EQ(works->Start(Rear), 0);
        if (works->bmMux[Front].mVideo.mVideoOutTaskId == 0)
            gDisplay.Start();
    }

    static void TearDownTestSuite() { gDisplay.Stop(); }

    void TearDown() override
    {
        for (CameraPosition camera : {Front, Rear})
            BmWorks::Inst()->StopRtspLive(camera);
    }

    static void StartLive(CameraPosition camera)
    {
        BmWorks::Inst()->StartRtspLive(camera);
        ASSERT_TRUE(Serving(camera, true)) << Url(camera);
    }
};

TEST_F(LiveStream, EachCameraIsH264At640x360AndAbout15FramesASecond)
{
    for (CameraPosition camera : {Front, Rear}) {
        StartLive(camera);
        Output streams = Shell("timeout 30 ffprobe -v error -rtsp_transport tcp -show_entries stream=codec_name,width,height"
                             " -of default=nw=1 " + Url(camera));
        EXPECT_EQ(streams.status, 0) << streams.text;
        EXPECT_EQ(streams.text, "codec_name=h264\nwidth=640\nheight=360\n");

        Output packets = Shell("timeout 30 ffprobe -v error -rtsp_transport tcp -select_streams v:0"
                             " -show_entries packet=pts_time -read_intervals %+4 -of csv=p=0 " + Url(camera));
        // One time a line ("N/A" for a packet without one).
        std::istringstream lines(packets.text);
        std::vector<double> times;
        for (std::string line; std::getline(lines, line);) {
            char* end = nullptr;
            double time = strtod(line.c_str(), &end);
            if (end != line.c_str())
                times.push_back(time);
        }
        ASSERT_GE(times.size(), 20u) << packets.text;
        double rate = (times.size() - 1) / (times.back() - times.front());
        EXPECT_NEAR(rate, 15.0, 2.0) << Url(camera);
    }
}

TEST_F(LiveStream, TwoClientsOfOneCameraEachDecodeACleanStream)
{
    StartLive(Front);
    auto first = std::async(std::launch::async, [] { return Decode(Front); });
    auto second = std::async(std::launch::async, [] { return Decode(Front); });
    for (auto* client : {&first, &second}) {
        Output out = client->get();
        EXPECT_EQ(out.status, 0) << out.text;
        EXPECT_EQ(out.text, "");
    }
}

TEST_F(LiveStream, StartStopAndStartAgainServes)
{
    StartLive(Front);
    BmWorks::Inst()->StartRtspLive(Front); // a second start while serving changes nothing
    Output before = Decode(Front, 30);
    EXPECT_EQ(before.status, 0) << before.text;

    BmWorks::Inst()->StopRtspLive(Front);
    EXPECT_TRUE(Serving(Front, false));
    Output stopped = Shell("timeout 10 ffprobe -v error -rtsp_transport tcp " + Url(Front));
    EXPECT_NE(stopped.status, 0);

    StartLive(Front);
    Output again = Decode(Front, 30);
    EXPECT_EQ(again.status, 0) << again.text;
    EXPECT_EQ(again.text, "");
}

TEST_F(LiveStream, TakenServiceFailsAndALaterStartServes)
{
    int squatter = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(atoi(RTSP_MOUNTS[Rear].service)));
    ASSERT_EQ(bind(squatter, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(listen(squatter, 1), 0);
    BmWorks::Inst()->StartRtspLive(Rear);
    OnEngine([] {}); // the engine thread has run it
    EXPECT_FALSE(BmWorks::Inst()->bmMux[Rear].mVideo.IsRunRtsp()); // no encoder feed without a server
    close(squatter);

    StartLive(Rear);
    Output out = Decode(Rear, 15);
    EXPECT_EQ(out.status, 0) << out.text;
}

// The phone's road to a stream: rtsp_front over the phone link starts the
// server, and the phone leaving stops it.
TEST_F(LiveStream, PhoneLinkStartsTheStreamAndItsLeavingStopsIt)
{
    BmNet net;
    net.SetTiming({0, BmNet::IDLE_LIMIT_SEC});
    ASSERT_EQ(net.Start(8584), 1);
    PhoneClient phone;
    ASSERT_TRUE(phone.Connect());
    ASSERT_TRUE(phone.Send("{rtsp_front}"));
    EXPECT_EQ(phone.Reply(), "{rtsp_front,8586,/live_front}");
    ASSERT_TRUE(Serving(Front, true));
    Output out = Decode(Front, 30);
    EXPECT_EQ(out.status, 0) << out.text;
    phone.Close();
    EXPECT_TRUE(Serving(Front, false));
}

} // namespace
