// Recordings of both cameras into pre-allocated files, in replay mode at
// 720p30, read back with ffprobe: streams, sizes, lengths, time alignment,
// the subtitle text, and what power loss and file errors leave behind.

#include "RecordRun.h"

#include <gtest/gtest.h>

#include <gst/gst.h>

#include <cstdlib>
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

bool Idle(RecordType type)
{
    return WaitFor([type] { return !Works()->IsRunRecord(type); }, 60000);
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

// Streams, size and alignment every recording file must have.
void ExpectRecordingFile(const std::string& path, long long size)
{
    SCOPED_TRACE(path);
    EXPECT_EQ(FileSize(path), size);
    EXPECT_EQ(Probe(path, "-select_streams v:0 -show_entries stream=codec_name,width,height,r_frame_rate"),
              "hevc\n1280\n720\n30/1\n");
    EXPECT_EQ(Probe(path, "-select_streams a:0 -show_entries stream=codec_name,sample_rate,channels"),
              "pcm_s16le\n8000\n1\n");
    EXPECT_NE(SubtitleText(path).find("EXTD"), std::string::npos);
    EXPECT_NEAR(StartSec(path, "a:0"), StartSec(path, "v:0"), 0.2);
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
    uint64_t trigger = BmClock::Inst()->Sec();
    for (CameraPosition camera : {Front, Rear})
        works->RunRecord(camera, Event);
    Sleep(kEventSec - kPreSec + 2);
    ASSERT_TRUE(Idle(Event));
    Sleep(1.5);
    for (CameraPosition camera : {Front, Rear}) {
        std::vector<std::string> files = Files::Named(camera, Event);
        ASSERT_EQ(files.size(), 1u);
        ExpectRecordingFile(files[0], works->bmMux[camera].GetEventRecordFileSize());
        EXPECT_NEAR(DurationSec(files[0], "v:0"), kEventSec, 1.0);
        EXPECT_NEAR(FirstSubtitleSecond(files[0]), static_cast<double>(trigger - kPreSec), 1.5);
    }
    Shell("ffmpeg -v error -y -ss 2 -i " + Files::Named(Front, Event)[0] + " -frames:v 1 event_front.png");
}

} // namespace
