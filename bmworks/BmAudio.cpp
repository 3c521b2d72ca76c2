#include "bmworks/BmAudio.h"

#include "bmworks/BmClock.h"
#include "bmworks/BmFeed.h"

#include <cstring>

namespace {

// A chunk holds at least the 100 ms the feed stamps it with: a capture
// device's 10 ms periods would otherwise make every recording push 25
// chunks a second through its pipeline.
constexpr int kChunkBytes = 8000 * 2 / 10;

GstFlowReturn NewSample(GstElement* sink, gpointer data)
{
    GstSample* sample = nullptr;
    g_signal_emit_by_name(sink, "pull-sample", &sample);
    if (sample == nullptr)
        return GST_FLOW_OK;
    GstMapInfo map;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    if (buffer != nullptr && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        static_cast<BmAudio*>(data)->AddSample(reinterpret_cast<const char*>(map.data), static_cast<int>(map.size));
        gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

gboolean gAudioBufferDeleteTask(gpointer data)
{
    static_cast<BmAudio*>(data)->mAudioBuffer.DeleteOld();
    return G_SOURCE_CONTINUE;
}

gboolean gAudioBufferReportTask(gpointer data)
{
    static_cast<BmAudio*>(data)->mAudioBuffer.Report("Audio");
    return G_SOURCE_CONTINUE;
}

} // namespace

int BmReadOld(const BmAudioBuffer& buffer, uint64_t& position, AudioBuffer& out, int waitMs)
{
    for (int tries = waitMs / 10;; tries--) {
        if (buffer.GetOld(position, out) == 0)
            return 0;
        if (tries <= 0)
            return -1;
        g_usleep(10000);
    }
}

BmAudio* BmAudio::Inst()
{
    static BmAudio* audio = new BmAudio(); // kept for the program's life
    return audio;
}

void BmAudio::Start()
{
    if (mStarted)
        return;
    // Cleared before the streaming thread starts filling it.
    mTempBuffer.length = mTempBuffer.count = 0;
    StartGstreamer();
    gStartAudioTask();
    gst_element_set_state(pGstPipeline, GST_STATE_PLAYING);
    mStarted = true;
}

void BmAudio::Stop()
{
    if (!mStarted)
        return;
    gst_element_set_state(pGstPipeline, GST_STATE_NULL);
    gStopAudioTask();
    mStarted = false;
}

void BmAudio::StartGstreamer()
{
    pGstPipeline = gst_parse_launch(MakeLaunchString(), nullptr);
    BmAssert(pGstPipeline != nullptr, "pGstPipeline");
    pGstAudiosink = gst_bin_get_by_name(GST_BIN(pGstPipeline), "bmaudio_sink");
    BmAssert(pGstAudiosink != nullptr, "pGstAudiosink");
    GstCaps* caps = gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "rate", G_TYPE_INT, 8000,
                                        "channels", G_TYPE_INT, 1, nullptr);
    g_object_set(pGstAudiosink, "emit-signals", TRUE, "caps", caps, nullptr);
    gst_caps_unref(caps);
    g_signal_connect(pGstAudiosink, "new-sample", G_CALLBACK(NewSample), this);
}

void BmAudio::AddSample(const char* bytes, int length)
{
    // A sample that would overflow the collect area ends the chunk early.
    if (mTempBuffer.length + length > static_cast<int>(sizeof(mTempBuffer.buffer)))
        length = static_cast<int>(sizeof(mTempBuffer.buffer)) - mTempBuffer.length;
    memcpy(mTempBuffer.buffer + mTempBuffer.length, bytes, static_cast<size_t>(length));
    mTempBuffer.length += length;
    mTempBuffer.count++;
    bool full = mTempBuffer.length == static_cast<int>(sizeof(mTempBuffer.buffer));
    if (mTempBuffer.count == 1)
        mTempBuffer.pts = BmClock::Inst()->Usec() + 1000;
    if ((mTempBuffer.count <= 3 || mTempBuffer.length < kChunkBytes) && !full)
        return;
    AudioBuffer chunk;
    chunk.buffer = static_cast<char*>(g_try_malloc(static_cast<gsize>(mTempBuffer.length)));
    BmAssert(chunk.buffer != nullptr, "audioBuffer.buffer != NULL");
    memcpy(chunk.buffer, mTempBuffer.buffer, static_cast<size_t>(mTempBuffer.length));
    chunk.length = mTempBuffer.length;
    chunk.pts = mTempBuffer.pts;
    mAudioBuffer.Add(chunk);
    mTempBuffer.count = mTempBuffer.length = 0;
}

int BmAudio::ReadStreamOld(uint64_t& position, AudioBuffer& out, int waitMs)
{
    return BmReadOld(mAudioBuffer, position, out, waitMs);
}

uint64_t BmAudio::PositionAt(uint64_t pts) const
{
    uint64_t found = mAudioBuffer.mAudioBufferList.FindNewestFirst(
        [pts](const BmAudioBuffer::EncodedAudioBuffer& e) { return e.item.pts <= pts; });
    return found != 0 ? found - 1 : 0;
}

void BmAudio::gStartAudioTask()
{
    if (mAudioBufferDeleteTaskId == 0)
        mAudioBufferDeleteTaskId = g_timeout_add(1000, gAudioBufferDeleteTask, this);
    if (mAudioBufferReportTaskId == 0)
        mAudioBufferReportTaskId = g_timeout_add_seconds(600, gAudioBufferReportTask, this);
}

void BmAudio::gStopAudioTask()
{
    for (guint* id : {&mAudioBufferDeleteTaskId, &mAudioBufferReportTaskId}) {
        if (*id != 0)
            g_source_remove(*id);
        *id = 0;
    }
}

const char* BmAudio::MakeLaunchString()
{
    return "alsasrc device=hw:0,0 ! audio/x-raw, format=S16LE, rate=44100, channels=1 ! audioresample ! "
           "audio/x-raw, rate=8000 ! appsink name=bmaudio_sink";
}
