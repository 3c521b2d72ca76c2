// Recordings of both cameras into pre-allocated files, in replay mode at
// 720p30, read back with ffprobe: streams, sizes, lengths, time alignment,
// the subtitle text, and what power loss and file errors leave behind.

#include "RecordRun.h"

#include <gtest/gtest.h>

#include <gst/gst.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <thread>

namespace {

constexpr int kEventSec = 10;
constexpr int kPreSec = 3;

BmWorks* Works()
{
    return RecordingEngine(kEventSec, kPreSec);
}

void Sleep(double seconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(seconds * 1000)));
}

// The type has ended on both cameras and its files are closed: the pipelines are gone.
bool Idle(RecordType type)
{
    return WaitFor([type] {
        bool gone = false;
        OnEngine([&] {
            gone = true;
            for (BmMux& mux : Works()->bmMux)
                gone = gone && !mux.IsRunRecord(type) && mux.pGstPipeline[type] == nullptr;
        });
        return gone;
    }, 120000);
}

// The time stamp (ns) of the last video unit the type has fed.
GstClockTime LastFed(BmMux& mux, RecordType type)
{
    GstClockTime last = 0;
    OnEngine([&] { last = mux.mLastFedPts[type]; });
    return last;
}

// The time stamp (ns) of the key unit a recording of the type started now
// begins with; called right after the start was posted.
GstClockTime StartOf(BmMux& mux, RecordType type)
{
    GstClockTime pts = 0;
    OnEngine([&] {
        uint64_t position = mux.mVideo.mVideoBuffer.GetBufferTime(type == Normal ? 1 : mux.mEventPreTimeUsec) - 1;
        Nal key;
        if (mux.mVideo.mVideoBuffer.GetOld(position, key) == 0)
            pts = key.pts * 1000;
    });
    return pts;
}

// The time stamp (ns) of the first unit a recording that has just started
// fed: for a start that waited (a teardown, a key unit), whose moment the
// test cannot know when it posts it.
GstClockTime FirstFed(BmMux& mux, RecordType type)
{
    GstClockTime first = 0;
    WaitFor([&] { return (first = LastFed(mux, type)) != 0; }, 60000);
    return first;
}

// Waits until the type has fed video up to this long after from: recordings
// are measured in what they hold, not in the wall time a loaded machine
// stretches.
bool Fed(BmMux& mux, RecordType type, GstClockTime from, double seconds)
{
    return WaitFor([&] { return LastFed(mux, type) >= from + static_cast<GstClockTime>(seconds * GST_SECOND); },
                   120000);
}

// The engine second in which the first subtitle entry of a file was made.
int FirstSubtitleSecond(const std::string& path)
{
    std::string text = SubtitleText(path);
    size_t extd = text.find("EXTD");
    size_t blank = text.find(' ', extd == std::string::npos ? 0 : extd);
    if (extd == std::string::npos || blank == std::string::npos)
        return -1;
    int h = 0, m = 0, s = 0;
    if (sscanf(text.c_str() + blank + 1, "%d:%d:%d", &h, &m, &s) != 3)
        return -1;
    return h * 3600 + m * 60 + s;
}

// The engine seconds of a file's subtitle entries, in order: the time each
// entry's text ends with.
std::vector<int> SubtitleSeconds(const std::string& path)
{
    std::vector<int> seconds;
    std::string text = SubtitleText(path);
    for (size_t at = text.find("EXTD"); at != std::string::npos; at = text.find("EXTD", at)) {
        size_t end = text.find('\n', at);
        size_t blank = text.rfind(' ', end);
        int h = 0, m = 0, s = 0;
        if (blank != std::string::npos && blank > at && sscanf(text.c_str() + blank + 1, "%d:%d:%d", &h, &m, &s) == 3)
            seconds.push_back(h * 3600 + m * 60 + s);
        at = end;
    }
    return seconds;
}

// Streams, size and alignment every recording file must have.
void ExpectRecordingFile(const std::string& path, long long size)
{
    SCOPED_TRACE(path);
    EXPECT_EQ(FileSize(path), size);
    EXPECT_EQ(Probe(path, "-select_streams v:0 -show_entries stream=codec_name,width,height"), "hevc\n1280\n720\n");
    // Every frame on the capture's 30 fps grid; on average fewer, as a loaded
    // machine makes the engine skip frames it could not take in time, but
    // neither every other one nor any twice.
    EXPECT_EQ(Probe(path, "-select_streams v:0 -show_entries stream=r_frame_rate"), "30/1\n");
    std::string rate = Probe(path, "-select_streams v:0 -show_entries stream=avg_frame_rate");
    int num = 0, den = 1;
    EXPECT_EQ(sscanf(rate.c_str(), "%d/%d", &num, &den), 2) << rate;
    EXPECT_GE(static_cast<double>(num) / den, 20) << rate;
    EXPECT_LE(static_cast<double>(num) / den, 30.5) << rate;
    EXPECT_EQ(Probe(path, "-select_streams a:0 -show_entries stream=codec_name,sample_rate,channels"),
              "pcm_s16le\n8000\n1\n");
    EXPECT_NE(SubtitleText(path).find("EXTD"), std::string::npos);
    // Audio begins with the chunk that holds the key unit's moment, however
    // long the encoder took on a loaded machine.
    EXPECT_NEAR(StartSec(path, "a:0"), StartSec(path, "v:0"), 0.2);
}

TEST(RecordingText, LaunchTextsAndFileSizes)
{
    BmMux mux;
    mux.mVideo.mCameraPosition = Front;
    mux.mVideo.mFormat = VideoFormat{1920, 1080, 300, H265};
    mux.mVideo.mDynamicFps = F30;
    EXPECT_EQ(mux.GetRecordFileSize(), 51 * 1048576);
    std::string normal = mux.MakeLaunchString(Normal);
    EXPECT_EQ(normal,
              " appsrc name=bmvideosrc_normal ! h265parse name=parse_normal ! splitmuxsink name=bmmuxbin_normal "
              "location=Normal_Front max-size-time=60000000000 max-size-bytes=" +
                  std::to_string(51 * 1048576 - BmMux::kFileSizeMargin) +
                  " max-files=10 use-robust-muxing=true muxer=\"qtmux name=qtmux_Normal_Front "
                  "max-raw-audio-drift=500000000 presentation-time=false reserved-max-duration=120000000000 "
                  "reserved-bytes-per-sec=1024 reserved-moov-update-period=2000000000\" sink=\"filesink "
                  "name=filesink_Normal_Front blocksize=0 buffer-mode=0 buffer-size=131072  append=false\" "
                  "appsrc name=bmaudiosrc_normal ! rawaudioparse use-sink-caps=false format=pcm pcm-format=s16le "
                  "sample-rate=8000 num-channels=1 ! bmmuxbin_normal.audio_0 appsrc name=bmsubtitlesrc_normal ! "
                  "subparse video-fps=300/10 subtitle-encoding=ISO-8859-15 ! text/x-raw,format=utf8 ! "
                  "bmmuxbin_normal.subtitle_0");
    EXPECT_NE(mux.MakeLaunchString(Parking).find("buffer-size=131072 append=false\"appsrc name=bmaudiosrc_parking"),
              std::string::npos);
    EXPECT_NE(mux.MakeLaunchString(Manual).find("h265parse name=parse_event ! splitmuxsink name=bmmuxbin_manual"),
              std::string::npos);
    EXPECT_EQ(mux.MakeCapsString(), "video/x-h265, stream-format=(string)byte-stream, alignment=(string)nal,         "
                                    "width=1920, height=1080, framerate=300/10");

    struct Size {
        CameraPosition camera;
        int height;
        DynamicFps fps;
        int eventSec;
        int normalMib;
        int eventMib;
    } sizes[] = {
        {Front, 1440, F30, 20, 78, 30}, {Front, 1080, F25, 60, 47, 47}, {Front, 720, F6, 20, 11, 7},
        {Rear, 1080, F27, 20, 47, 19},  {Rear, 720, F16, 20, 26, 12},
    };
    for (const Size& z : sizes) {
        mux.mVideo.mCameraPosition = z.camera;
        mux.mVideo.mFormat.height = z.height;
        mux.mVideo.mDynamicFps = z.fps;
        mux.mEventRecordTime = z.eventSec;
        EXPECT_EQ(mux.GetRecordFileSize(), z.normalMib * 1048576) << z.height << "p" << z.fps;
        EXPECT_EQ(mux.GetEventRecordFileSize(), z.eventMib * 1048576) << z.height << "p" << z.fps;
    }
    mux.mVideo.mCameraPosition = Rear;
    EXPECT_NE(mux.MakeLaunchString(Normal).find("location=Normal_Rear max-size-time=65000000000"), std::string::npos);
}

TEST(Recording, FileSinkIsTheDevicesOwn)
{
    Works();
    GstElement* sink = gst_element_factory_make("filesink", nullptr);
    ASSERT_NE(sink, nullptr);
    EXPECT_NE(g_signal_lookup("stop-now", G_OBJECT_TYPE(sink)), 0u);
    gst_object_unref(sink);
    GstElement* queue = gst_element_factory_make("queue", nullptr);
    gst_object_unref(queue);
    sink = gst_element_factory_make("filesink", nullptr);
    EXPECT_NE(g_signal_lookup("stop-now", G_OBJECT_TYPE(sink)), 0u) << "the stock sink came back";
    gst_object_unref(sink);
}

TEST(Recording, EventOfBothCamerasIsOneFileStartingBeforeTheTrigger)
{
    BmWorks* works = Works();
    Files::Use("/tmp/event");
    for (CameraPosition camera : {Front, Rear})
        works->RunRecord(camera, Event);
    uint64_t trigger = 0;
    OnEngine([&] { trigger = BmClock::Inst()->Sec(); }); // right after both starts
    ASSERT_TRUE(Fed(works->bmMux[Front], Event, StartOf(works->bmMux[Front], Event), 1));
    ASSERT_TRUE(Idle(Event));
    for (CameraPosition camera : {Front, Rear}) {
        std::vector<std::string> files = Files::Named(camera, Event);
        ASSERT_EQ(files.size(), 1u);
        ExpectRecordingFile(files[0], works->bmMux[camera].GetEventRecordFileSize());
        EXPECT_NEAR(DurationSec(files[0], "v:0"), kEventSec, 1.0);
        EXPECT_NEAR(FirstSubtitleSecond(files[0]), static_cast<double>(trigger - kPreSec), 1.5);
    }
    Shell("ffmpeg -v error -y -ss 2 -i " + Files::Named(Front, Event)[0] + " -frames:v 1 event_front.png");
}

TEST(Recording, NormalOfBothCamerasSplitsTogetherBesideManualAndParking)
{
    BmWorks* works = Works();
    Files::Use("/tmp/normal");
    for (CameraPosition camera : {Front, Rear})
        works->RunRecord(camera, Normal);
    ASSERT_TRUE(Fed(works->bmMux[Front], Normal, StartOf(works->bmMux[Front], Normal), 5));
    for (RecordType type : {Manual, Parking}) {
        for (CameraPosition camera : {Front, Rear})
            works->RunRecord(camera, type);
        ASSERT_TRUE(Idle(type));
    }
    // Into the second file of both cameras.
    ASSERT_TRUE(WaitFor([] { return Files::Named(Front, Normal).size() == 2 && Files::Named(Rear, Normal).size() == 2; },
                        180000));
    ASSERT_TRUE(Fed(works->bmMux[Front], Normal, LastFed(works->bmMux[Front], Normal), 2));
    for (CameraPosition camera : {Front, Rear})
        works->PauseRecord(camera, Normal);
    ASSERT_TRUE(Idle(Normal));

    std::vector<std::string> front = Files::Named(Front, Normal);
    std::vector<std::string> rear = Files::Named(Rear, Normal);
    ASSERT_EQ(front.size(), 2u);
    ASSERT_EQ(rear.size(), 2u);
    double firstFront = DurationSec(front[0], "v:0");
    EXPECT_NEAR(firstFront, 60, 1.0);
    // The rear file ends at its first key frame after the front's split: within a GOP and the hand-over.
    EXPECT_NEAR(DurationSec(rear[0], "v:0"), firstFront, 2.0) << "the rear file follows the front's split";
    for (CameraPosition camera : {Front, Rear}) {
        for (const std::string& file : Files::Named(camera, Normal))
            ExpectRecordingFile(file, works->bmMux[camera].GetRecordFileSize());
        for (RecordType type : {Manual, Parking}) {
            std::vector<std::string> files = Files::Named(camera, type);
            ASSERT_EQ(files.size(), 1u);
            ExpectRecordingFile(files[0], works->bmMux[camera].GetEventRecordFileSize());
            EXPECT_NEAR(DurationSec(files[0], "v:0"), kEventSec, 1.0);
        }
    }
}

// A pause while the recording still waits for its key frame ends it; a start
// while the last pipeline is being torn down begins once that is gone.
TEST(Recording, PauseWhileStartingAndStartWhileEndingAreCarriedOut)
{
    BmWorks* works = Works();
    Files::Use("/tmp/quick");
    BmMux& mux = works->bmMux[Front];
    OnEngine([&] {
        mux.RunRecord(Normal);
        EXPECT_EQ(mux.mRecordState[Normal].load(), BmMux::RunTry);
        mux.PauseRecord(Normal);
    });
    ASSERT_TRUE(Idle(Normal));

    works->RunRecord(Front, Normal);
    ASSERT_TRUE(Fed(mux, Normal, StartOf(mux, Normal), 3));
    OnEngine([&] {
        mux.PauseRecord(Normal);
        mux.RunRecord(Normal);
        EXPECT_FALSE(mux.IsRunRecord(Normal)) << "waits for the teardown";
    });
    ASSERT_TRUE(WaitFor([&] { return mux.IsRunRecord(Normal); }, 60000));
    ASSERT_TRUE(Fed(mux, Normal, FirstFed(mux, Normal), 3));
    works->PauseRecord(Front, Normal);
    ASSERT_TRUE(Idle(Normal));
    std::vector<std::string> files = Files::Named(Front, Normal);
    ASSERT_EQ(files.size(), 3u);
    for (size_t i = 1; i < files.size(); i++) {
        ExpectRecordingFile(files[i], mux.GetRecordFileSize());
        EXPECT_NEAR(DurationSec(files[i], "v:0"), 3, 1.0);
    }
}

TEST(Recording, FileErrorsReachTheErrorCallback)
{
    BmWorks* works = Works();
    Files::Use("/tmp/errors");
    struct Case {
        RecordType type;
        const char* name;
        long long size;
        BmError expected;
    } cases[] = {
        {Manual, "/tmp/no/such/folder/file.mp4", 0, FileOpenFailed},
        {Event, "", 300000, FileWriteFailed},
        {Parking, "/tmp/errors/missing.mp4", 0, NewFileCreated},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Files::NameOverride(c.name);
        Files::SizeOverride(c.size);
        size_t before = Files::Errors().size();
        works->RunRecord(Front, c.type);
        ASSERT_TRUE(WaitFor([&] { return Files::Errors().size() > before; }, 60000));
        BmErrorReport report = Files::Errors()[before];
        EXPECT_EQ(report.camera, Front);
        EXPECT_EQ(report.type, c.type);
        EXPECT_EQ(report.code, c.expected);
        EXPECT_FALSE(report.message.empty());
        works->PauseRecord(Front, c.type);
        ASSERT_TRUE(Idle(c.type));
    }
    Files::NameOverride("");
    Files::SizeOverride(0);

    // Without a file-name callback nothing is written, not into the working folder.
    BmMux& mux = works->bmMux[Front];
    char* name = nullptr;
    OnEngine([&] {
        BmMux::FilenameFunction callback = mux.FilenameCallback;
        mux.FilenameCallback = nullptr;
        name = mux.NewFilename(Manual, 0);
        mux.FilenameCallback = callback;
    });
    EXPECT_STREQ(name, "/dev/null");
    g_free(name);
}

// The power-down sequence: the kept Event is ended by an emergency split and
// stays complete; the Normal recordings stop writing at once.
TEST(Recording, PowerDownKeepsTheEventComplete)
{
    BmWorks* works = Works();
    Files::Use("/tmp/powerdown");
    GstClockTime start[2] = {};
    for (RecordType type : {Normal, Event}) {
        for (CameraPosition camera : {Front, Rear}) {
            works->RunRecord(camera, type);
            start[camera] = StartOf(works->bmMux[camera], Event);
        }
    }
    for (CameraPosition camera : {Front, Rear})
        ASSERT_TRUE(Fed(works->bmMux[camera], Event, start[camera], kPreSec + 4.5));
    works->SetEmergency();
    for (CameraPosition camera : {Front, Rear})
        works->PauseRecord(camera, Normal);
    works->TrashEmergency(Normal);
    works->SetAutoStop(true);
    Sleep(1.5);
    works->StopEmergency(Event);
    Sleep(3);
    for (CameraPosition camera : {Front, Rear}) {
        for (const std::string& file : Files::Named(camera, Normal))
            EXPECT_EQ(FileSize(file), works->bmMux[camera].GetRecordFileSize()) << file;
        std::vector<std::string> files = Files::Named(camera, Event);
        ASSERT_EQ(files.size(), 1u);
        SCOPED_TRACE(files[0]);
        EXPECT_EQ(FileSize(files[0]), works->bmMux[camera].GetEventRecordFileSize());
        double duration = DurationSec(files[0], "v:0");
        EXPECT_GT(duration, kPreSec + 4);
        EXPECT_LT(duration, kEventSec);
        int frames = std::atoi(Probe(files[0], "-count_frames -select_streams v:0 -show_entries stream=nb_read_frames").c_str());
        EXPECT_NEAR(frames, duration * 30, 2) << "every frame of the index decodes";
    }
}

// The power-down's final frames: the encoders re-send the last picture,
// each marked in its time stamp's low bits with the command, and stop; the
// kept recording holds every one of them.
void ExpectFinalFrames(bool keepEventOrParking, RecordType kept, int count, uint64_t mark)
{
    BmWorks* works = Works();
    Files::Use("/tmp/final");
    BmMux& mux = works->bmMux[Front];
    works->RunRecord(Front, kept);
    GstClockTime start = StartOf(mux, kept);
    ASSERT_TRUE(Fed(mux, kept, start, kPreSec + 1));
    works->SetAutoStop(keepEventOrParking);
    std::vector<BufferedUnit> marked;
    ASSERT_TRUE(WaitFor([&] {
        OnEngine([&] {
            marked.clear();
            for (const BufferedUnit& unit : Units(mux.mVideo.mVideoBuffer))
                if (unit.nal.pts % 4 != 0)
                    marked.push_back(unit);
        });
        return static_cast<int>(marked.size()) >= count && LastFed(mux, kept) >= marked.back().nal.pts * 1000;
    }, 60000));
    Sleep(0.5); // the encoder has stopped: no further frame comes
    OnEngine([&] { EXPECT_EQ(static_cast<int>(Units(mux.mVideo.mVideoBuffer, marked.back().bufferTimeUsec).size()), 0); });
    ASSERT_EQ(static_cast<int>(marked.size()), count);
    for (size_t i = 0; i < marked.size(); i++) {
        EXPECT_EQ(marked[i].nal.pts % 4, mark) << i;
        if (i > 0) {
            EXPECT_NEAR(static_cast<double>((marked[i].nal.pts & ~3ULL) - (marked[i - 1].nal.pts & ~3ULL)), 33333, 4)
                << "a capture interval apart: " << i;
        }
    }
    works->PauseRecord(Front, kept);
    ASSERT_TRUE(Idle(kept));
    std::vector<std::string> files = Files::Named(Front, kept);
    ASSERT_EQ(files.size(), 1u);
    std::string times = Probe(files[0], "-select_streams v:0 -show_entries packet=pts_time");
    std::vector<double> pts;
    for (const char* p = times.c_str(); *p != '\0';) {
        char* end = nullptr;
        double t = std::strtod(p, &end);
        if (end == p)
            break;
        pts.push_back(t);
        p = end;
    }
    ASSERT_FALSE(pts.empty());
    double first = *std::min_element(pts.begin(), pts.end());
    double finalFrom = (marked.front().nal.pts * 1000.0 - start) / 1e9 - 0.001;
    EXPECT_EQ(std::count_if(pts.begin(), pts.end(), [&](double t) { return t - first >= finalFrom; }), count)
        << "every final frame is in the file";
}

TEST(Recording, NormalKeptThroughPowerDownEndsWith61FinalFrames)
{
    ExpectFinalFrames(false, Normal, 61, 1);
}

TEST(Recording, EventKeptThroughPowerDownEndsWith31FinalFrames)
{
    ExpectFinalFrames(true, Event, 31, 2);
}

// After the emergency nothing starts, and file errors go unreported.
TEST(Recording, AfterTheEmergencyNothingStartsAndTheBusIsSilent)
{
    BmWorks* works = Works();
    Files::Use("/tmp/emergency");
    BmMux& mux = works->bmMux[Front];
    GstElement* sink = gst_element_factory_make("filesink", "filesink_Event_Front");
    GError* error = g_error_new_literal(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_WRITE, "no room");
    auto report = [&] {
        GstMessage* message = gst_message_new_error(GST_OBJECT(sink), error, "debug");
        OnEngine([&] { mux.ReportBusMessage(Event, message, true); });
        gst_message_unref(message);
    };
    size_t before = Files::Errors().size();
    report();
    ASSERT_EQ(Files::Errors().size(), before + 1);
    EXPECT_EQ(Files::Errors().back().code, FileWriteFailed);

    works->SetEmergency();
    report();
    EXPECT_EQ(Files::Errors().size(), before + 1) << "the bus is silent";
    int result = 0;
    OnEngine([&] { result = mux.RunRecord(Normal); });
    EXPECT_NE(result, 0);
    works->RunRecord(Rear, Event);
    OnEngine([] {});
    for (BmMux& m : works->bmMux) {
        EXPECT_FALSE(m.IsRunRecord());
        for (GstElement* pipeline : m.pGstPipeline)
            EXPECT_EQ(pipeline, nullptr);
    }
    g_error_free(error);
    gst_object_unref(sink);
}

// A rate change while recording: the next file is recorded at the new rate.
TEST(Recording, RateChangeWhileRecordingGivesTheNextFileTheNewRate)
{
    BmWorks* works = Works();
    Files::Use("/tmp/rate");
    BmMux& mux = works->bmMux[Rear];
    works->RunRecord(Rear, Normal);
    ASSERT_TRUE(Fed(mux, Normal, StartOf(mux, Normal), 1));
    works->SetFpsRear(F16);
    OnEngine([] {});
    // Beyond the pre-record time at the new rate.
    ASSERT_TRUE(Fed(mux, Normal, LastFed(mux, Normal), kPreSec + 1));
    works->RunRecord(Rear, Manual);
    ASSERT_TRUE(Idle(Manual));
    works->PauseRecord(Rear, Normal);
    ASSERT_TRUE(Idle(Normal));
    std::vector<std::string> files = Files::Named(Rear, Manual);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(FileSize(files[0]), mux.GetEventRecordFileSize());
    std::string rate = Probe(files[0], "-select_streams v:0 -show_entries stream=avg_frame_rate");
    int num = 0, den = 1;
    ASSERT_EQ(sscanf(rate.c_str(), "%d/%d", &num, &den), 2) << rate;
    EXPECT_NEAR(static_cast<double>(num) / den, 16, 1.5) << rate;
    EXPECT_NEAR(DurationSec(files[0], "v:0"), kEventSec, 1.0);
}

// The video the engine has fed into the type's pipeline: the time from the
// first unit pushed to the last, 0 before the first.
struct FedVideo {
    uint64_t firstPts = 0;
    uint64_t lastPts = 0;
    uint64_t Usec() const { return lastPts - firstPts; }
};

// Killed in the middle of a recording, the file still plays up to shortly
// before the kill, with the subtitle entry of every second it holds. The
// muxer only gets a GOP once splitmuxsink has all of it on every track, and
// the subtitle track can say it has come that far only for whole seconds
// over, as a second's entry is made once that second is over; the header is
// rewritten as soon as the muxer has taken the GOP. So what is lost is the
// GOP being gathered (1 s), the wait for the next whole second (under 1 s)
// and the few frames in flight: 2 s at most. The recorder stops itself
// (SIGSTOP) on the engine thread right after it has fed a chosen amount of
// video, so the kill comes at a known point of the feed however loaded the
// machine is.
TEST(Recording, KilledRecordingPlaysUpToShortlyBeforeTheKill)
{
    if (const char* stopAt = std::getenv("RECORDING_STOP_AT_USEC")) {
        BmWorks* works = Works();
        Files::Use("/tmp/killed");
        BmMux& mux = works->bmMux[Front];
        static FedVideo fed;
        static uint64_t target = std::strtoull(stopAt, nullptr, 10);
        static BmMux* watched = &mux;
        works->RunRecord(Front, Normal);
        // Runs between the feed's turns on the engine thread: no unit is
        // pushed between the look and the stop.
        OnEngine([] {
            g_idle_add(
                [](gpointer) -> gboolean {
                    BmMux& m = *watched;
                    if (m.mRecordState[Normal] != BmMux::Run)
                        return G_SOURCE_CONTINUE;
                    uint64_t position = m.mBufferTimeVideo[Normal] - 1;
                    Nal last;
                    if (m.mVideo.mVideoBuffer.GetOld(position, last) != 0)
                        return G_SOURCE_CONTINUE;
                    if (fed.firstPts == 0)
                        fed.firstPts = last.pts;
                    fed.lastPts = last.pts;
                    if (fed.Usec() < target)
                        return G_SOURCE_CONTINUE;
                    printf("FED %llu\n", static_cast<unsigned long long>(fed.Usec()));
                    fflush(stdout);
                    raise(SIGSTOP);
                    return G_SOURCE_REMOVE;
                },
                nullptr);
        });
        Sleep(120);
        return;
    }
    // Just before a key unit, where the most waits unmuxed, and at other points of the GOP.
    for (uint64_t stopAt : {7966000ull, 9500000ull}) {
        SCOPED_TRACE(stopAt);
        std::string command = "RECORDING_STOP_AT_USEC=" + std::to_string(stopAt) + " exec /proc/" +
                              std::to_string(getpid()) +
                              "/exe --gtest_filter=Recording.KilledRecordingPlaysUpToShortlyBeforeTheKill";
        FILE* child = popen((command + " & echo $!; wait").c_str(), "r");
        ASSERT_NE(child, nullptr);
        int pid = 0;
        ASSERT_EQ(fscanf(child, "%d", &pid), 1);
        char line[4096];
        unsigned long long fedUsec = 0;
        while (fgets(line, sizeof(line), child) != nullptr && sscanf(line, "FED %llu", &fedUsec) != 1) {
        }
        kill(pid, SIGKILL);
        pclose(child);
        ASSERT_GE(fedUsec, stopAt) << "the recorder fed its video";
        std::string file = "/tmp/killed/Front_Normal_0.mp4";
        std::string times = Probe(file, "-select_streams v:0 -show_entries packet=pts_time");
        double first = 1e9, last = -1;
        for (const char* p = times.c_str(); *p != '\0';) {
            char* end = nullptr;
            double t = std::strtod(p, &end);
            if (end == p)
                break;
            first = std::min(first, t);
            last = std::max(last, t);
            p = end;
        }
        double fed = fedUsec / 1e6;
        ASSERT_GE(last, 0) << times;
        printf("fed %.3f s, file plays to %.3f s: %.3f s lost\n", fed, last - first, fed - (last - first));
        EXPECT_GE(last - first, fed - 2.2) << "fed " << fed << " s";
        std::vector<int> seconds = SubtitleSeconds(file);
        ASSERT_FALSE(seconds.empty()) << SubtitleText(file);
        for (size_t i = 1; i < seconds.size(); i++)
            EXPECT_EQ(seconds[i], seconds[i - 1] + 1) << "an entry is missing";
        EXPECT_GE(static_cast<double>(seconds.size()), last - first - 2) << "the entries reach the video's end";
        EXPECT_EQ(FileSize(file), 26LL * 1048576) << "the front camera's 720p30 file";
        std::remove(file.c_str());
    }
}

} // namespace
