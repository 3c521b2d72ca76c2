#include "bmworks/BmFeed.h"

#include "bmworks/BmAudio.h"
#include "bmworks/BmDebug.h"
#include "bmworks/BmMux.h"
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
        g_idle_add(gStartFeed<T>, p);
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

void Push(GstElement* appsrc, const char* bytes, int length, GstClockTime pts, GstClockTime duration)
{
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, static_cast<gsize>(length), nullptr);
    gst_buffer_fill(buffer, 0, bytes, static_cast<gsize>(length));
    GST_BUFFER_PTS(buffer) = pts;
    GST_BUFFER_DTS(buffer) = pts;
    GST_BUFFER_DURATION(buffer) = duration;
    GstFlowReturn flow;
    g_signal_emit_by_name(appsrc, "push-buffer", buffer, &flow);
    gst_buffer_unref(buffer);
}

} // namespace

void StartFeedVideo(GstElement*, guint, gpointer param)
{
    StartFeed<kVideo>(param);
}

void StopFeedVideo(GstElement*, gpointer param)
{
    StopFeed<kVideo>(param);
}

void StartFeedAudio(GstElement*, guint, gpointer param)
{
    StartFeed<kAudio>(param);
}

void StopFeedAudio(GstElement*, gpointer param)
{
    StopFeed<kAudio>(param);
}

void StartFeedSubtitle(GstElement*, guint, gpointer param)
{
    StartFeed<kSubtitle>(param);
}

void StopFeedSubtitle(GstElement*, gpointer param)
{
    StopFeed<kSubtitle>(param);
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
        mGopEnds[type].push_back(mLastFedPts[type]);
    }
    mLastFedPts[type] = pts;
    Push(pGstVideosrc[type], nal.buffer, nal.length, pts, 1000000000 / mVideo.mDynamicFps);
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
    Push(pGstAudiosrc[type], chunk.buffer, chunk.length, chunk.pts * 1000, 100000000);
}

void BmMux::ReadDataSubtitle(RecordType type)
{
    if (!Feeding(mRecordState[type]))
        return;
    AudioBuffer line;
    if (BmSubtitle::Inst()->ReadStreamOld(mBufferTimeSubtitle[type], line, 0) != 0)
        return;
    Push(pGstSubtitlesrc[type], line.buffer, line.length, line.pts * 1000, GST_CLOCK_TIME_NONE);
}
