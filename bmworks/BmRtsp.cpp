#include "bmworks/BmRtsp.h"

#include "bmworks/BmLog.h"
#include "bmworks/BmVideo.h"

#include <cstdio>

namespace {

const char* const LAUNCH = "( appsrc name=bmvideosrc_rtsp ! rtph264pay name=pay0 pt=96 )";
// How long one look into the live-stream buffer waits before the session checks
// whether its pipeline is shutting down.
constexpr int READ_WAIT_MS = 100;

GstRTSPFilterResult EndClient(GstRTSPServer*, GstRTSPClient*, gpointer)
{
    return GST_RTSP_FILTER_REMOVE;
}

} // namespace

// The read position and first time stamp of one client session.
struct BmRtsp::Session {
    BmRtsp* rtsp;
    uint64_t mBufferTimeRtsp;
    uint64_t mRtspFirstPts;
    bool mRtspFirstFrameStarted;
};

BmRtsp::~BmRtsp()
{
    StopRtspLive();
    if (mRtspServer)
        g_object_unref(mRtspServer);
}

const BmRtspMount& BmRtsp::Mount() const
{
    return RTSP_MOUNTS[mVideo.mCameraPosition];
}

bool BmRtsp::StartRtspLive()
{
    if (mRtspServerId != 0)
        return true;
    // One server per camera for the program's life: it opens a new listening
    // socket at every attach.
    if (!mRtspServer) {
        mRtspServer = gst_rtsp_server_new();
        gst_rtsp_server_set_service(mRtspServer, Mount().service);
    }
    mRtspFactory = gst_rtsp_media_factory_new();
    gst_rtsp_media_factory_set_launch(mRtspFactory, LAUNCH);
    g_signal_connect(mRtspFactory, "media-configure", G_CALLBACK(gMediaConfigure), this);
    GstRTSPMountPoints* mounts = gst_rtsp_server_get_mount_points(mRtspServer);
    gst_rtsp_mount_points_add_factory(mounts, Mount().path, mRtspFactory);
    g_object_unref(mounts);

    mRtspServerId = gst_rtsp_server_attach(mRtspServer, nullptr);
    if (mRtspServerId == 0) {
        BmPrintRule('=', 74);
        printf("                   BmMux::StartRtspLive() failed.\n");
        BmPrintRule('=', 74);
        return false;
    }
    mVideo.RunRtsp();
    return true;
}

void BmRtsp::StopRtspLive()
{
    if (mRtspServerId == 0)
        return;
    mVideo.PauseRtsp();
    g_source_remove(mRtspServerId);
    mRtspServerId = 0;
    GstRTSPMountPoints* mounts = gst_rtsp_server_get_mount_points(mRtspServer);
    gst_rtsp_mount_points_remove_factory(mounts, Mount().path);
    g_object_unref(mounts);
    mRtspFactory = nullptr;
    gst_rtsp_server_client_filter(mRtspServer, EndClient, nullptr);
    GstRTSPSessionPool* pool = gst_rtsp_server_get_session_pool(mRtspServer);
    gst_rtsp_session_pool_cleanup(pool);
    g_object_unref(pool);
}

void BmRtsp::gMediaConfigure(GstRTSPMediaFactory*, GstRTSPMedia* media, gpointer self)
{
    auto* rtsp = static_cast<BmRtsp*>(self);
    const VideoFormat& format = rtsp->mVideo.mFormat;
    GstElement* element = gst_rtsp_media_get_element(media);
    GstElement* appsrc = gst_bin_get_by_name_recurse_up(GST_BIN(element), "bmvideosrc_rtsp");
    GstCaps* caps = gst_caps_new_simple("video/x-h264", "stream-format", G_TYPE_STRING, "byte-stream", "alignment",
        G_TYPE_STRING, "nal", "width", G_TYPE_INT, format.width, "height", G_TYPE_INT, format.height, "framerate",
        GST_TYPE_FRACTION, 0, 1, nullptr);
    g_object_set(appsrc, "format", GST_FORMAT_TIME, "caps", caps, nullptr);
    auto* session = new Session{rtsp, 0, 0, false};
    g_signal_connect_data(appsrc, "need-data", G_CALLBACK(gReadDataVideoRtps), session,
        [](gpointer data, GClosure*) { delete static_cast<Session*>(data); }, GConnectFlags(0));
    gst_caps_unref(caps);
    gst_object_unref(appsrc);
    gst_object_unref(element);
    BmPrintRule('=', 74);
    printf("                   BmMux::gMediaConfigure(). %lld\n", static_cast<long long>(session->mBufferTimeRtsp));
    BmPrintRule('=', 74);
}

// Waits for the session's next unit; false when the pipeline shuts down first.
// The first unit of a session is the newest key unit other than the newest
// unit, so that the client gets the parameter sets first.
bool BmRtsp::ReadUnit(Session& session, GstPad* pad, Nal& unit)
{
    while (!GST_PAD_IS_FLUSHING(pad)) {
        if (!session.mRtspFirstFrameStarted) {
            uint64_t start = mVideo.mRtspBuffer.GetBufferTime(1);
            if (start == 0) {
                g_usleep(READ_WAIT_MS * 1000);
                continue;
            }
            session.mBufferTimeRtsp = start - 1;
        }
        if (mVideo.ReadStreamRtsp(session.mBufferTimeRtsp, unit, READ_WAIT_MS) == 0)
            return true;
    }
    return false;
}

void BmRtsp::gReadDataVideoRtps(GstElement* appsrc, guint, gpointer data)
{
    auto& session = *static_cast<Session*>(data);
    BmRtsp& rtsp = *session.rtsp;
    GstPad* pad = gst_element_get_static_pad(appsrc, "src");
    Nal unit;
    bool got = rtsp.ReadUnit(session, pad, unit);
    gst_object_unref(pad);
    if (!got)
        return;

    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, static_cast<gsize>(unit.length), nullptr);
    gst_buffer_fill(buffer, 0, unit.buffer, static_cast<gsize>(unit.length));
    if (!session.mRtspFirstFrameStarted) {
        session.mRtspFirstPts = unit.pts;
        session.mRtspFirstFrameStarted = true;
    }
    uint64_t sinceFirst = unit.pts >= session.mRtspFirstPts ? unit.pts - session.mRtspFirstPts : 0;
    GST_BUFFER_PTS(buffer) = sinceFirst * GST_USECOND;
    int32_t fps10 = rtsp.mVideo.mFormat.fps10;
    GST_BUFFER_DURATION(buffer) = fps10 > 0 ? 10 * GST_SECOND / static_cast<uint64_t>(fps10) : GST_CLOCK_TIME_NONE;
    GstFlowReturn flow;
    g_signal_emit_by_name(appsrc, "push-buffer", buffer, &flow);
    gst_buffer_unref(buffer);
}
