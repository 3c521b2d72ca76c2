#include "bmworks/BmDemux.h"

#include "bmworks/BmLog.h"

#include <algorithm>
#include <condition_variable>
#include <gst/app/gstappsink.h>
#include <mutex>

namespace {

// Serialises the pipeline operations of the caller and the engine thread.
std::recursive_mutex _mutex;
// The hand-over that lets Stop wait for the teardown it posted.
std::mutex demuxMutex;
std::condition_variable demuxCond;
bool demuxTornDown = false;
int setfile_count = 0;

constexpr GstClockTime kDiscoverTimeout = 5 * GST_SECOND;
// Discovery ends within its own time-out; this bounds the caller's wait even
// when no end is ever signalled.
constexpr gint64 kDurationWaitUsec = 8 * G_USEC_PER_SEC;
constexpr auto kStopWait = std::chrono::seconds(10);
constexpr guint kStartSeekDelayMsec = 350;

gboolean gRunDiscoverer(gpointer data)
{
    static_cast<BmDemux*>(data)->RunDiscovery();
    return G_SOURCE_REMOVE;
}

gboolean gSeek(gpointer data)
{
    static_cast<BmDemux*>(data)->RunSeek();
    return G_SOURCE_REMOVE;
}

gboolean gStop(gpointer data)
{
    static_cast<BmDemux*>(data)->Teardown();
    return G_SOURCE_REMOVE;
}

void gOnDiscovered(GstDiscoverer*, GstDiscovererInfo* info, GError* err, gpointer data)
{
    static_cast<BmDemux*>(data)->OnDiscovered(info, err);
}

void gOnFinished(GstDiscoverer*, gpointer data)
{
    static_cast<BmDemux*>(data)->OnFinished();
}

GstFlowReturn gOnNewSample(GstElement* sink, gpointer data)
{
    return static_cast<BmDemux*>(data)->OnSample(sink);
}

void PrintResult(GstDiscovererResult result, const gchar* uri, const GError* err, GstDiscovererInfo* info)
{
    switch (result) {
    case GST_DISCOVERER_OK: printf("Discovered '%s'\n", uri); break;
    case GST_DISCOVERER_URI_INVALID: printf("Invalid URI '%s'\n", uri); break;
    case GST_DISCOVERER_ERROR: printf("Discoverer error: %s\n", err != nullptr ? err->message : ""); break;
    case GST_DISCOVERER_TIMEOUT: printf("Timeout\n"); break;
    case GST_DISCOVERER_BUSY: printf("Busy\n"); break;
    case GST_DISCOVERER_MISSING_PLUGINS: {
        const GstStructure* s = gst_discoverer_info_get_misc(info);
        gchar* text = s != nullptr ? gst_structure_to_string(s) : nullptr;
        printf("Missing plugins: %s\n", text != nullptr ? text : "");
        g_free(text);
        break;
    }
    }
}

void PrintTag(const GstTagList* tags, const gchar* tag, gpointer depth)
{
    GValue value = G_VALUE_INIT;
    gst_tag_list_copy_value(&value, tags, tag);
    gchar* text = G_VALUE_HOLDS_STRING(&value) ? g_value_dup_string(&value) : gst_value_serialize(&value);
    printf("%*s%s: %s\n", 2 * GPOINTER_TO_INT(depth), " ", gst_tag_get_nick(tag), text != nullptr ? text : "");
    g_free(text);
    g_value_unset(&value);
}

// Prints the stream and those below it; an H.264 or H.265 video stream with a
// size sets the player's format.
void PrintStream(GstDiscovererStreamInfo* stream, int depth, VideoFormat& format)
{
    GstCaps* caps = gst_discoverer_stream_info_get_caps(stream);
    gchar* desc = nullptr;
    if (caps != nullptr)
        desc = gst_caps_is_fixed(caps) ? gst_pb_utils_get_codec_description(caps) : gst_caps_to_string(caps);
    printf("%*s%s: %s\n", 2 * depth, " ", gst_discoverer_stream_info_get_stream_type_nick(stream),
           desc != nullptr ? desc : "");
    g_free(desc);
    if (caps != nullptr && !gst_caps_is_empty(caps)) {
        const GstStructure* s = gst_caps_get_structure(caps, 0);
        const gchar* name = gst_structure_get_name(s);
        bool h264 = g_str_equal(name, "video/x-h264");
        bool h265 = g_str_equal(name, "video/x-h265");
        int width = 0;
        int height = 0;
        if ((h264 || h265) && gst_structure_get_int(s, "width", &width) && gst_structure_get_int(s, "height", &height)) {
            format.width = width;
            format.height = height;
            format.codec = h265 ? H265 : H264;
            printf("%*s%s: width=%d, height=%d\n", 2 * depth, " ", name, width, height);
        }
    }
    if (caps != nullptr)
        gst_caps_unref(caps);
    const GstTagList* tags = gst_discoverer_stream_info_get_tags(stream);
    if (tags != nullptr)
        gst_tag_list_foreach(tags, PrintTag, GINT_TO_POINTER(depth + 1));

    GstDiscovererStreamInfo* next = gst_discoverer_stream_info_get_next(stream);
    if (next != nullptr) {
        PrintStream(next, depth + 1, format);
        gst_discoverer_stream_info_unref(next);
    } else if (GST_IS_DISCOVERER_CONTAINER_INFO(stream)) {
        GList* streams = gst_discoverer_container_info_get_streams(GST_DISCOVERER_CONTAINER_INFO(stream));
        for (GList* s = streams; s != nullptr; s = s->next)
            PrintStream(static_cast<GstDiscovererStreamInfo*>(s->data), depth + 1, format);
        gst_discoverer_stream_info_list_free(streams);
    }
}

} // namespace

int BmDemux::Init()
{
    return bmPlayer.Init();
}

void BmDemux::SetFile(const std::string& path, int32_t startMsec)
{
    printf("BmDemux::SetFile()................................................ count = %d\n", ++setfile_count);
    if (mIsStarted)
        Stop();
    mFileName = path;
    mSeekTimeMsec = startMsec;
    // Set here, not on the engine thread, so that a caller asking at once
    // never reads the previous file's duration.
    mDurationMsec = -1;
    mDiscovererEnd = false;
    RunDiscoverer();
}

void BmDemux::RunDiscoverer()
{
    g_idle_add(gRunDiscoverer, this);
    g_usleep(200000);
}

int32_t BmDemux::GetDurationMsec()
{
    gint64 deadline = g_get_monotonic_time() + kDurationWaitUsec;
    while (!mDiscovererEnd) {
        if (g_get_monotonic_time() > deadline) {
            printf("BmDemux::GetDurationMsec()...discovery did not end\n");
            return -1;
        }
        g_usleep(1000);
    }
    return mDurationMsec;
}

void BmDemux::RunDiscovery()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    mDurationMsec = -1;
    GError* err = nullptr;
    pDiscoverer = gst_discoverer_new(kDiscoverTimeout, &err);
    if (pDiscoverer == nullptr) {
        printf("gRunDiscoverer()...Error creating discoverer instance: %s\n", err != nullptr ? err->message : "");
        g_clear_error(&err);
        mDiscovererEnd = true;
        return;
    }
    mDiscovererEnd = false;
    g_signal_connect(pDiscoverer, "discovered", G_CALLBACK(gOnDiscovered), this);
    g_signal_connect(pDiscoverer, "finished", G_CALLBACK(gOnFinished), this);
    gst_discoverer_start(pDiscoverer);
    gchar* uri = g_strdup_printf("file://%s", mFileName.c_str());
    printf("gRunDiscoverer()..uri=%s\n", uri);
    if (!gst_discoverer_discover_uri_async(pDiscoverer, uri)) {
        printf("gRunDiscoverer()...Failed to start discovering '%s'\n", mFileName.c_str());
        EndDiscoverer();
        mDiscovererEnd = true;
    }
    g_free(uri);
}

void BmDemux::EndDiscoverer()
{
    gst_discoverer_stop(pDiscoverer);
    g_object_unref(pDiscoverer);
    pDiscoverer = nullptr;
}

void BmDemux::OnDiscovered(GstDiscovererInfo* info, GError* err)
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    GstDiscovererResult result = gst_discoverer_info_get_result(info);
    if (result != GST_DISCOVERER_OK && result != GST_DISCOVERER_MISSING_PLUGINS) {
        printf("on_discovered_cb()...This URI cannot be played. result=%d\n", result);
        return;
    }
    GstClockTime duration = gst_discoverer_info_get_duration(info);
    // -1 is kept for a file that cannot be played: an unknown duration counts as 0.
    mDurationMsec = GST_CLOCK_TIME_IS_VALID(duration)
        ? static_cast<int32_t>(std::min<GstClockTime>(duration / GST_MSECOND, INT32_MAX))
        : 0;
    PrintResult(result, gst_discoverer_info_get_uri(info), err, info);
    if (GST_CLOCK_TIME_IS_VALID(duration))
        printf("\nDuration: %" GST_TIME_FORMAT "\n", GST_TIME_ARGS(duration));
    else
        printf("\nDuration: 99:99:99.999999999\n");
    const GstTagList* tags = gst_discoverer_info_get_tags(info);
    if (tags != nullptr) {
        printf("Tags:\n");
        gst_tag_list_foreach(tags, PrintTag, GINT_TO_POINTER(1));
    }
    printf("Seekable: %s\n", gst_discoverer_info_get_seekable(info) ? "yes" : "no");
    GstDiscovererStreamInfo* top = gst_discoverer_info_get_stream_info(info);
    if (top != nullptr) {
        printf("Stream information:\n");
        PrintStream(top, 1, bmPlayer.mFormat);
        gst_discoverer_stream_info_unref(top);
    }
}

void BmDemux::OnFinished()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    printf("on_finished_cb()...Finished discovering\n");
    EndDiscoverer();
    if (mDurationMsec != -1) {
        Start();
        if (mSeekTimeMsec > 0) {
            Pause();
            mOnSeekId = g_timeout_add(kStartSeekDelayMsec, gSeek, this);
        }
    }
    mDiscovererEnd = true;
}

void BmDemux::Start()
{
    printf("BmDemux::Start...........................................0\n");
    mIsStarted = true;
    mOnSeekId = 0;
    bmPlayer.Start();
    StartGstreamer();
    printf("BmDemux::Start...........................................1\n");
}

std::string BmDemux::MakeLaunchString() const
{
    int n = bmPlayer.mFormat.codec == H265 ? 5 : 4;
    gchar* text = g_strdup_printf(
        "filesrc location=%s ! qtdemux name=demux_video  demux_video.video_0 ! h26%dparse ! "
        "video/x-h26%d, stream-format=(string)byte-stream, alignment=(string)nal ! appsink name=bmdemuxsink "
        "filesrc location=%s ! qtdemux name=demux_audio  demux_audio.audio_0 ! volume volume=1.0 ! alsasink ",
        mFileName.c_str(), n, n, mFileName.c_str());
    std::string launch(text);
    g_free(text);
    return launch;
}

void BmDemux::StartGstreamer()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    GError* err = nullptr;
    pGstPipeline = gst_parse_launch(MakeLaunchString().c_str(), &err);
    if (err != nullptr) {
        printf("BmDemux::StartGstreamer()...%s\n", err->message);
        g_clear_error(&err);
    }
    g_assert(pGstPipeline);
    pGstDemuxsink = gst_bin_get_by_name(GST_BIN(pGstPipeline), "bmdemuxsink");
    if (pGstDemuxsink != nullptr) {
        g_object_set(pGstDemuxsink, "emit-signals", TRUE, nullptr);
        g_signal_connect(pGstDemuxsink, "new-sample", G_CALLBACK(gOnNewSample), this);
        gst_object_unref(pGstDemuxsink); // the pipeline keeps it
    }
}

void BmDemux::Play()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    if (pGstPipeline == nullptr) {
        printf("BmDemux::Play...........................................FAIL\n");
        return;
    }
    printf("BmDemux::Play...........................................OK\n");
    gst_element_set_state(pGstPipeline, GST_STATE_PLAYING);
    mIsPlaying = true;
    mStreamValid = false;
}

void BmDemux::Pause()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    if (pGstPipeline != nullptr) {
        printf("BmDemux::Pause...........................................OK\n");
        gst_element_set_state(pGstPipeline, GST_STATE_PAUSED);
    } else {
        printf("BmDemux::Pause...........................................FAIL\n");
    }
    mIsPlaying = false;
}

void BmDemux::Seek(int32_t targetMsec)
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    mSeekTimeMsec = targetMsec;
    mOnSeekId = g_idle_add(gSeek, this);
}

void BmDemux::RunSeek()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    mOnSeekId = 0;
    if (pGstPipeline == nullptr) {
        printf("BmDemux::Seek...........................................FAIL\n");
        return;
    }
    gint64 target = static_cast<gint64>(mSeekTimeMsec) * GST_MSECOND;
    auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT);
    mAwaitKeyUnit = true;
    if (gst_element_seek_simple(pGstPipeline, GST_FORMAT_TIME, flags, target))
        printf("Seek OK %lld !!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!\n", static_cast<long long>(target));
    else
        printf("Seek failed %lld !!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!\n", static_cast<long long>(target));
}

int32_t BmDemux::Position()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    gint64 position = 0;
    if (pGstPipeline == nullptr || !gst_element_query_position(pGstPipeline, GST_FORMAT_TIME, &position))
        return 0;
    return static_cast<int32_t>(position / GST_MSECOND);
}

void BmDemux::Stop()
{
    {
        std::lock_guard<std::mutex> lock(demuxMutex);
        demuxTornDown = false;
    }
    g_idle_add(gStop, this);
    std::unique_lock<std::mutex> lock(demuxMutex);
    if (!demuxCond.wait_for(lock, kStopWait, [] { return demuxTornDown; }))
        printf("BmDemux::Stop()...teardown did not run in time\n");
}

void BmDemux::Teardown()
{
    {
        std::lock_guard<std::recursive_mutex> lock(_mutex);
        std::lock_guard<std::mutex> done(demuxMutex);
        // A seek still waiting belongs to this file, never to the next one.
        if (mOnSeekId != 0) {
            g_source_remove(mOnSeekId);
            mOnSeekId = 0;
        }
        if (pGstPipeline != nullptr) {
            printf("BmDemux::gStop...........................................OK\n");
            gst_element_set_state(pGstPipeline, GST_STATE_NULL);
            mIsStarted = false;
            bmPlayer.Stop();
            gst_object_unref(pGstPipeline);
            pGstPipeline = nullptr;
            pGstDemuxsink = nullptr;
        } else {
            printf("BmDemux::gStop...........................................FAIL\n");
        }
        mIsPlaying = false;
        demuxTornDown = true;
    }
    demuxCond.notify_all();
}

// The demuxer may hand over a picture from before the key unit it seeked to;
// without its references the decoder would show it as a grey smear.
bool BmDemux::SkipBeforeKeyUnit(GstBuffer* buffer)
{
    if (!mAwaitKeyUnit)
        return false;
    if (!GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT)) {
        mAwaitKeyUnit = false;
        return false;
    }
    return !GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_HEADER); // parameter sets go on
}

GstFlowReturn BmDemux::OnSample(GstElement* sink)
{
    GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(sink));
    if (sample == nullptr)
        return GST_FLOW_ERROR;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    if (buffer != nullptr && SkipBeforeKeyUnit(buffer)) {
        // not for the decoder
    } else if (buffer != nullptr && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        Nal nal;
        nal.buffer = reinterpret_cast<char*>(map.data);
        nal.length = static_cast<int32_t>(map.size);
        nal.pts = GST_BUFFER_PTS(buffer) / 1000;
        if (nal.length > 0) {
            if (!mStreamValid.exchange(true)) {
                BmPrintRule('=', 70);
                printf("==============         BmDemux: Stream is OK.          ===============\n");
                BmPrintRule('=', 70);
            }
            bmPlayer.WriteStream(nal, GST_BUFFER_PTS_IS_VALID(buffer));
        }
        gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}
