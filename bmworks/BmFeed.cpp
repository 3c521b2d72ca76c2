#include "bmworks/BmFeed.h"

#include "bmworks/BmAudio.h"
#include "bmworks/BmDebug.h"
#include "bmworks/BmMux.h"
#include "bmworks/BmPost.h"
#include "bmworks/BmSubtitle.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#define GST_CAT_DEFAULT bmworks_debug

namespace {

using Param = BmMux::SignalCallbackParam;

// One track of a type's pipeline: its appsrc, its feeding source (owned by
// the engine thread), whether its appsrc wants data (set from any thread)
// and the engine-thread read that feeds it.
struct Track {
    GstElement* (BmMux::*appsrc)[MaxRec];
    guint (BmMux::*id)[MaxRec];
    std::atomic<bool> (BmMux::*wanted)[MaxRec];
    void (BmMux::*read)(RecordType);
    const char* name;
};

constexpr Track kVideo{&BmMux::pGstVideosrc, &BmMux::mGstVideosrcId, &BmMux::mVideoWanted, &BmMux::ReadDataVideo,
                       "video"};
constexpr Track kAudio{&BmMux::pGstAudiosrc, &BmMux::mGstAudiosrcId, &BmMux::mAudioWanted, &BmMux::ReadDataAudio,
                       "audio"};
constexpr Track kSubtitle{&BmMux::pGstSubtitlesrc, &BmMux::mGstSubtitlesrcId, &BmMux::mSubtitleWanted,
                          &BmMux::ReadDataSubtitle, "subtitle"};

// A pipeline torn down since the request came has no appsrc left to feed.
template <const Track& T>
bool Wanted(const Param* p)
{
    return (p->pBmMux->*T.wanted)[p->recordType] && (p->pBmMux->*T.appsrc)[p->recordType] != nullptr;
}

template <const Track& T>
gboolean ReadData(gpointer data)
{
    auto* p = static_cast<Param*>(data);
    if (!Wanted<T>(p)) {
        GST_DEBUG("stop feeding %s", T.name);
        (p->pBmMux->*T.id)[p->recordType] = 0;
        return G_SOURCE_REMOVE;
    }
    (p->pBmMux->*T.read)(p->recordType);
    return G_SOURCE_CONTINUE;
}

template <const Track& T>
gboolean gStartFeed(gpointer data)
{
    auto* p = static_cast<Param*>(data);
    guint& id = (p->pBmMux->*T.id)[p->recordType];
    if (id == 0 && Wanted<T>(p)) {
        GST_DEBUG("start feeding %s", T.name);
        id = g_idle_add(ReadData<T>, p);
    }
    return G_SOURCE_REMOVE;
}

// On a streaming thread: only the wish changes here; the engine thread adds
// the source, and removes it once the wish is gone.
template <const Track& T>
void StartFeed(gpointer data)
{
    auto* p = static_cast<Param*>(data);
    if (!(p->pBmMux->*T.wanted)[p->recordType].exchange(true))
        BmPost(gStartFeed<T>, p);
}

template <const Track& T>
void StopFeed(gpointer data)
{
    auto* p = static_cast<Param*>(data);
    (p->pBmMux->*T.wanted)[p->recordType] = false;
}

bool Feeding(BmMux::RecordState state)
{
    return state == BmMux::Run || state == BmMux::PauseStart || state == BmMux::PauseTry;
}

// What the engine thread pushed is looked at, and its reference let go, on
// streaming threads.
BmHandoff gPushed;

void ReleaseHolder(gpointer holder)
{
    gPushed.Take();
    delete static_cast<BmBytes*>(holder);
}

// The item's bytes go into the pipeline as they lie in the pre-record
// buffer: the GStreamer buffer holds a reference to them, so ageing cannot
// free them under the muxer, and nothing is copied.
void Push(GstElement* appsrc, const char* bytes, int length, const BmBytes& holder, GstClockTime pts,
          GstClockTime duration)
{
    auto size = static_cast<gsize>(length);
    GstBuffer* buffer = gst_buffer_new_wrapped_full(GST_MEMORY_FLAG_READONLY, const_cast<char*>(bytes), size, 0, size,
                                                    new BmBytes(holder), ReleaseHolder);
    GST_BUFFER_PTS(buffer) = pts;
    GST_BUFFER_DTS(buffer) = pts;
    GST_BUFFER_DURATION(buffer) = duration;
    gPushed.Give();
    gst_app_src_push_buffer(GST_APP_SRC(appsrc), buffer);
}

void Connect(GstElement* appsrc, const GstAppSrcCallbacks& callbacks, gpointer param, GstCaps* caps)
{
    gst_app_src_set_callbacks(GST_APP_SRC(appsrc), const_cast<GstAppSrcCallbacks*>(&callbacks), param, nullptr);
    gst_app_src_set_caps(GST_APP_SRC(appsrc), caps);
    gst_caps_unref(caps);
}

// splitmuxsink moves a subtitle input on only by its buffers' times, and
// holds every GOP until each input has passed that GOP's end: a GAP event is
// handed on as the empty gap buffer that stands for it.
GstPadProbeReturn GapAsBuffer(GstPad* pad, GstPadProbeInfo* info, gpointer)
{
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_GAP)
        return GST_PAD_PROBE_OK;
    GstClockTime start = GST_CLOCK_TIME_NONE;
    GstClockTime duration = GST_CLOCK_TIME_NONE;
    gst_event_parse_gap(event, &start, &duration);
    GstBuffer* gap = gst_buffer_new();
    GST_BUFFER_PTS(gap) = start;
    GST_BUFFER_DURATION(gap) = duration;
    GST_BUFFER_FLAG_SET(gap, GST_BUFFER_FLAG_GAP);
    GST_BUFFER_FLAG_SET(gap, GST_BUFFER_FLAG_DROPPABLE);
    gst_pad_push(pad, gap);
    return GST_PAD_PROBE_DROP;
}

const GstAppSrcCallbacks kVideoCallbacks{StartFeedVideo, StopFeedVideo, nullptr, {}};
const GstAppSrcCallbacks kAudioCallbacks{StartFeedAudio, StopFeedAudio, nullptr, {}};
const GstAppSrcCallbacks kSubtitleCallbacks{StartFeedSubtitle, StopFeedSubtitle, nullptr, {}};

} // namespace

void StartFeedVideo(GstAppSrc*, guint, gpointer param)
{
    StartFeed<kVideo>(param);
}

void StopFeedVideo(GstAppSrc*, gpointer param)
{
    StopFeed<kVideo>(param);
}

void StartFeedAudio(GstAppSrc*, guint, gpointer param)
{
    StartFeed<kAudio>(param);
}

void StopFeedAudio(GstAppSrc*, gpointer param)
{
    StopFeed<kAudio>(param);
}

void StartFeedSubtitle(GstAppSrc*, guint, gpointer param)
{
    StartFeed<kSubtitle>(param);
}

void StopFeedSubtitle(GstAppSrc*, gpointer param)
{
    StopFeed<kSubtitle>(param);
}

void ConnectFeedVideo(GstElement* appsrc, gpointer param, const char* caps)
{
    GstCaps* parsed = gst_caps_from_string(caps);
    // Every unit the encoder stage stores is one whole picture: saying so
    // spares the parser re-assembling pictures out of single units.
    gst_caps_set_simple(parsed, "alignment", G_TYPE_STRING, "au", nullptr);
    Connect(appsrc, kVideoCallbacks, param, parsed);
}

void ConnectFeedAudio(GstElement* appsrc, gpointer param, const char* caps)
{
    Connect(appsrc, kAudioCallbacks, param, gst_caps_from_string(caps));
}

void ConnectFeedSubtitle(GstElement* appsrc, gpointer param, const char* caps)
{
    Connect(appsrc, kSubtitleCallbacks, param, gst_caps_from_string(caps));
}

void PassSubtitleGaps(GstElement* muxbin)
{
    GstPad* input = gst_element_get_static_pad(muxbin, "subtitle_0");
    if (input == nullptr)
        return;
    GstPad* feeder = gst_pad_get_peer(input);
    if (feeder != nullptr) {
        gst_pad_add_probe(feeder, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, GapAsBuffer, nullptr, nullptr);
        gst_object_unref(feeder);
    }
    gst_object_unref(input);
}

void TakePushed()
{
    gPushed.Take();
}

void BmAssert(bool ok, const char* text)
{
    if (ok)
        return;
    printf("_ASSERT %s\n", text);
    fflush(stdout);
    abort();
}

void BmMux::ReadDataVideo(RecordType type)
{
    if (mRecordState[type] == Pause)
        return;
    Nal nal;
    if (mVideo.ReadStreamOld(mBufferTimeVideo[type], nal, 0) != 0)
        return;
    if (nal.keyFrame == 1 && mRecordState[type] == RunTry) {
        // Audio starts by time stamp, not by when it was stored: the key
        // unit is stored after its encoding, the sound of its moment before,
        // and how long encoding takes depends on the machine's load.
        mBufferTimeAudio[type] = BmAudio::Inst()->PositionAt(nal.pts);
        mBufferTimeSubtitle[type] = mBufferTimeVideo[type];
        mRecordState[type] = Run;
    }
    if (mRecordState[type] == RunTry)
        return;
    // The two low bits of the pts carry the power-down marker on into the stream.
    GstClockTime pts = nal.pts * 1000 + (nal.pts & 3);
    if (nal.keyFrame == 1 && mLastFedPts[type] != 0) {
        std::lock_guard<std::mutex> lock(mGopEndsMutex);
        mGopEnds[type].push_back(pts);
    }
    if (nal.keyFrame == 1)
        mLastKeyFedPts[type] = pts;
    mLastFedPts[type] = pts;
    Push(pGstVideosrc[type], nal.buffer, nal.length, nal.holder, pts, 1000000000 / mVideo.mDynamicFps);
    if (mPausePending[type]) {
        mPausePending[type] = false;
        PauseRecord(type);
    }
}

void BmMux::ReadDataAudio(RecordType type)
{
    if (!Feeding(mRecordState[type]))
        return;
    AudioBuffer chunk;
    if (BmAudio::Inst()->ReadStreamOld(mBufferTimeAudio[type], chunk, 0) != 0)
        return;
    Push(pGstAudiosrc[type], chunk.buffer, chunk.length, chunk.holder, chunk.pts * 1000, 100000000);
}

void BmMux::ReadDataSubtitle(RecordType type)
{
    if (!Feeding(mRecordState[type]))
        return;
    AudioBuffer line;
    if (BmSubtitle::Inst()->ReadStreamOld(mBufferTimeSubtitle[type], line, 0) != 0) {
        TellSubtitleGap(type);
        return;
    }
    if (mSubtitleToldNs[type] == GST_CLOCK_TIME_NONE)
        mSubtitleToldNs[type] = 0;
    // Without its closing zero byte the entry is valid UTF-8, which the
    // subtitle parser takes as it is instead of converting every entry.
    int length = line.length > 0 && line.buffer[line.length - 1] == '\0' ? line.length - 1 : line.length;
    Push(pGstSubtitlesrc[type], line.buffer, length, line.holder, line.pts * 1000, GST_CLOCK_TIME_NONE);
}

// Once no entry can begin before the newest key unit fed any more, the
// subtitle track says so with GAP events, so that splitmuxsink need not wait
// for the entry of the next whole second to hand over the GOP before that
// unit: it takes a GOP once every track has reached the unit, and then passes
// on only what lies before it, which must reach past the GOP's last frame for
// the muxer to write all of it.
void BmMux::TellSubtitleGap(RecordType type)
{
    GstClockTime next = BmSubtitle::Inst()->NextEntryNsec();
    GstClockTime key = mLastKeyFedPts[type];
    GstClockTime& told = mSubtitleToldNs[type];
    if (told == GST_CLOCK_TIME_NONE || next == GST_CLOCK_TIME_NONE || key > next || key <= told)
        return;
    // Behind the entries already pushed (the feed still catching up): they
    // have moved the track further on themselves.
    if (key < next - GST_SECOND + 1)
        return;
    for (GstClockTime gap : {key - 1, key})
        gst_element_send_event(pGstSubtitlesrc[type], gst_event_new_gap(gap, GST_CLOCK_TIME_NONE));
    told = key;
}
