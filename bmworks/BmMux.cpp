#include "bmworks/BmMux.h"

#include "bmworks/BmFeed.h"
#include "bmworks/BmLog.h"
#include "bmworks/BmPost.h"
#include "bmworks/bmworks.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int kSlotSize = 1024;
constexpr int kBuffSize = 16384;
constexpr uint64_t kSyncSplitMinSec = 11;
constexpr guint kSplitPeriodSec = 60;

struct FragmentNames {
    const char* appsrc;
    const char* parse;
    const char* muxbin;
    const char* location;
    const char* appendBlanks;
};

const FragmentNames kVideoNames[MaxRec] = {
    {"bmvideosrc_normal", "parse_normal", "bmmuxbin_normal", "Normal_%s", "  "},
    {"bmvideosrc_event", "parse_event", "bmmuxbin_event", "Event_%s", "  "},
    {"bmvideosrc_manual", "parse_event", "bmmuxbin_manual", "Manual_%s", "  "},
    {"bmvideosrc_parking", "parse_event", "bmmuxbin_parking", "Parking_%s", " "},
};

const char* const kAudiosrcNames[MaxRec] = {"bmaudiosrc_normal", "bmaudiosrc_event", "bmaudiosrc_manual",
                                            "bmaudiosrc_parking"};
const char* const kSubtitlesrcNames[MaxRec] = {"bmsubtitlesrc_normal", "bmsubtitlesrc_event",
                                               "bmsubtitlesrc_manual", "bmsubtitlesrc_parking"};

const char* const kAudioFragments[MaxRec] = {
    " appsrc name=bmaudiosrc_normal ! rawaudioparse use-sink-caps=false format=pcm pcm-format=s16le "
    "sample-rate=8000 num-channels=1 ! bmmuxbin_normal.audio_0",
    " appsrc name=bmaudiosrc_event ! rawaudioparse use-sink-caps=false format=pcm pcm-format=s16le "
    "sample-rate=8000 num-channels=1 ! bmmuxbin_event.audio_0",
    " appsrc name=bmaudiosrc_manual ! rawaudioparse use-sink-caps=false format=pcm pcm-format=s16le "
    "sample-rate=8000 num-channels=1 ! bmmuxbin_manual.audio_0",
    "appsrc name=bmaudiosrc_parking ! rawaudioparse use-sink-caps=false format=pcm pcm-format=s16le "
    "sample-rate=8000 num-channels=1 ! bmmuxbin_parking.audio_0",
};

const char* const kSubtitleFormat =
    " appsrc name=%s ! subparse video-fps=%d/10 subtitle-encoding=ISO-8859-15 ! text/x-raw,format=utf8 ! %s.subtitle_0";

// Normal file size in MiB per height and rate; the last column is every other rate.
struct SizeRow {
    int height; // 0: any other height
    int mib[6]; // 6, 7, 16, 22, 29 or 30, other
};

const SizeRow kFrontSizes[] = {
    {1080, {15, 16, 30, 39, 51, 47}},
    {1296, {19, 20, 39, 51, 68, 61}},
    {720, {11, 11, 16, 20, 26, 24}},
    {0, {22, 23, 44, 58, 78, 70}},
};

int FrontRateColumn(DynamicFps fps)
{
    switch (fps) {
    case F6: return 0;
    case F7: return 1;
    case F16: return 2;
    case F22: return 3;
    case F29:
    case F30: return 4;
    default: return 5;
    }
}

// Rear: only 6 and 27 fps change the size; 6, 27, every other rate.
const SizeRow kRearSizes[] = {
    {720, {11, 24, 26}},
    {0, {15, 47, 51}},
};

int RearRateColumn(DynamicFps fps)
{
    return fps == F6 ? 0 : fps == F27 ? 1 : 2;
}

const SizeRow& RowFor(const SizeRow* rows, size_t count, int height)
{
    for (size_t i = 0; i + 1 < count; i++) {
        if (rows[i].height == height)
            return rows[i];
    }
    return rows[count - 1];
}

constexpr int kMiB = 1048576;

gboolean gSetNull(gpointer data)
{
    auto* p = static_cast<BmMux::SignalCallbackParam*>(data);
    if (!p->pBmMux->ReadyForSetNull(p->recordType))
        return G_SOURCE_CONTINUE;
    p->pBmMux->mGstSetNullId[p->recordType] = 0;
    p->pBmMux->SetNull(p->recordType);
    return G_SOURCE_REMOVE;
}

// A type's file has reached its length: splitmuxsink asked for the next
// name on its streaming thread, the file ends on the engine's.
gboolean gEndFile(gpointer data)
{
    auto* p = static_cast<BmMux::SignalCallbackParam*>(data);
    if (p->pBmMux->IsRunRecord(p->recordType))
        p->pBmMux->EndFile(p->recordType);
    return G_SOURCE_REMOVE;
}

// A Normal file has begun: splitmuxsink named it on its streaming thread,
// the split time and the other camera's split are the engine's.
gboolean gNormalFileBegun(gpointer data)
{
    static_cast<BmMux*>(data)->NormalFileBegun();
    return G_SOURCE_REMOVE;
}

gboolean gSetNullAll(gpointer data)
{
    auto* mux = static_cast<BmMux*>(data);
    mux->mGstSetNullStopId = 0;
    mux->SetNullAll();
    return G_SOURCE_REMOVE;
}

// Ends the appsrc's stream behind the buffers it still queues: an
// end-of-stream sent past it to its peer would overtake them, and the
// recording's last frames would never reach the file.
void send_eos_async(GstElement* element, gpointer)
{
    gst_app_src_end_of_stream(GST_APP_SRC(element));
}

// On the muxer's thread, as it takes a video or audio buffer: once it has
// taken what reaches a GOP's end, the header can cover that GOP. It takes
// buffers in time order and waits as soon as one input has none, so the
// buffer that reaches the end is where it stops until the next GOP comes.
void gMuxerTook(GstPad* pad, GstBuffer* buffer, gpointer data)
{
    auto* p = static_cast<BmMux::SignalCallbackParam*>(data);
    TakePushed();
    GstClockTime pts = GST_BUFFER_PTS(buffer);
    GstClockTime duration = GST_BUFFER_DURATION(buffer);
    if (!GST_CLOCK_TIME_IS_VALID(pts) || !GST_CLOCK_TIME_IS_VALID(duration) ||
        !p->pBmMux->TakeGopEnd(p->recordType, pts + duration))
        return;
    GstElement* muxer = gst_pad_get_parent_element(pad);
    if (muxer != nullptr) {
        g_signal_emit_by_name(muxer, "moov-update-now");
        gst_object_unref(muxer);
    }
}

gchar* gNewFilename(GstElement*, guint fragment, gpointer data)
{
    auto* p = static_cast<BmMux::SignalCallbackParam*>(data);
    return p->pBmMux->NewFilename(p->recordType, fragment);
}

void gErrorCallback(GstBus*, GstMessage* message, gpointer data)
{
    auto* p = static_cast<BmMux::SignalCallbackParam*>(data);
    p->pBmMux->ReportBusMessage(p->recordType, message, true);
}

void gElementCallback(GstBus*, GstMessage* message, gpointer data)
{
    auto* p = static_cast<BmMux::SignalCallbackParam*>(data);
    p->pBmMux->OnElementMessage(p->recordType, message);
}

void gWarningCallback(GstBus*, GstMessage* message, gpointer data)
{
    auto* p = static_cast<BmMux::SignalCallbackParam*>(data);
    p->pBmMux->ReportBusMessage(p->recordType, message, false);
}

gboolean gSplit(gpointer data)
{
    auto* mux = static_cast<BmMux*>(data);
    if (!mux->IsRunRecord(Normal)) {
        mux->mSplitId = 0;
        return G_SOURCE_REMOVE;
    }
    g_signal_emit_by_name(mux->pGstMuxbin[Normal], "split-now");
    if (mux->pSplitBmMux != nullptr)
        mux->pSplitBmMux->SplitNow();
    return G_SOURCE_CONTINUE;
}

gboolean gSplitFirst(gpointer data)
{
    auto* mux = static_cast<BmMux*>(data);
    mux->mSplitFirstId = 0;
    if (mux->IsRunRecord(Normal) && gSplit(mux))
        mux->mSplitId = g_timeout_add_seconds(kSplitPeriodSec, gSplit, mux);
    return G_SOURCE_REMOVE;
}

// The error a file sink reports, by its resource-error code.
BmError FileSinkError(int code)
{
    switch (code) {
    case GST_RESOURCE_ERROR_NOT_FOUND:
    case GST_RESOURCE_ERROR_OPEN_WRITE: return FileOpenFailed;
    case GST_RESOURCE_ERROR_CLOSE: return FileCloseFailed;
    case GST_RESOURCE_ERROR_WRITE:
    case GST_RESOURCE_ERROR_SEEK: return FileWriteFailed;
    default: return None;
    }
}

void RemoveSource(guint& id)
{
    if (id != 0)
        g_source_remove(id);
    id = 0;
}

void ReleaseElement(GstElement*& element)
{
    if (element != nullptr)
        gst_object_unref(element);
    element = nullptr;
}

} // namespace

BmMux::BmMux() : strBuff(new char[kBuffSize])
{
    for (int type = 0; type < MaxRec; type++) {
        signalCallbackParam[type] = SignalCallbackParam{this, static_cast<RecordType>(type)};
        mVideosrcName[type] = kVideoNames[type].appsrc;
        mAudiosrcName[type] = kAudiosrcNames[type];
        mSubtitlesrcName[type] = kSubtitlesrcNames[type];
        mMuxbinName[type] = kVideoNames[type].muxbin;
    }
}

BmMux::~BmMux()
{
    delete[] strBuff;
}

const char* BmMux::CameraName() const
{
    return BmWorks::CameraPositionName[mVideo.mCameraPosition];
}

int BmMux::Init(BmMux* splitPartner)
{
    pSplitBmMux = splitPartner;
    mGstSetNullStopId = 0;
    if (mVideo.Init() != 0) {
        printf("mVideo.Init() Error.\n");
        return -1;
    }
    return 0;
}

void BmMux::SetConfigBeforeStart(CameraPosition camera, int width, int height, int fps10, VideoCodec codec)
{
    for (int type = 0; type < MaxRec; type++)
        mBufferTimeVideo[type] = mBufferTimeAudio[type] = mBufferTimeSubtitle[type] = 0;
    mVideo.SetConfigBeforeStart(camera, width, height, fps10, codec);
}

int BmMux::Start()
{
    ResetGstreamerParams();
    return mVideo.Start();
}

void BmMux::ResetGstreamerParams()
{
    for (int type = 0; type < MaxRec; type++) {
        mBufferTimeVideo[type] = mBufferTimeAudio[type] = 0;
        mGstVideosrcId[type] = mGstAudiosrcId[type] = mGstSubtitlesrcId[type] = 0;
        mRecordState[type] = Pause;
    }
    mSplitFirstId = mSplitId = 0;
}

bool BmMux::IsRunRecord() const
{
    for (int type = 0; type < MaxRec; type++) {
        if (IsRunRecord(static_cast<RecordType>(type)))
            return true;
    }
    return false;
}

bool BmMux::IsRunRecord(RecordType type) const
{
    return mRecordState[type] != Pause;
}

int BmMux::GetRecordFileSize()
{
    int height = mVideo.mFormat.height;
    DynamicFps fps = mVideo.mDynamicFps;
    if (mVideo.mCameraPosition == Rear)
        return RowFor(kRearSizes, G_N_ELEMENTS(kRearSizes), height).mib[RearRateColumn(fps)] * kMiB;
    return RowFor(kFrontSizes, G_N_ELEMENTS(kFrontSizes), height).mib[FrontRateColumn(fps)] * kMiB;
}

int BmMux::GetEventRecordFileSize()
{
    int normalMib = GetRecordFileSize() / kMiB;
    if (mEventRecordTime == 60)
        return normalMib * kMiB;
    return (6 + mEventRecordTime * (normalMib - 6) / 60) * kMiB;
}

std::string BmMux::MakeLaunchString(RecordType type)
{
    const char* camera = CameraName();
    for (int t = 0; t < MaxRec; t++) {
        const FragmentNames& n = kVideoNames[t];
        const char* typeName = BmWorks::RecordTypeName[t];
        int seconds = t == Normal ? (mVideo.mCameraPosition == Front ? 60 : 65) : mEventRecordTime;
        int bytes = (t == Normal ? GetRecordFileSize() : GetEventRecordFileSize()) - kFileSizeMargin;
        char location[32];
        snprintf(location, sizeof(location), n.location, camera);
        char* video = strBuff + t * 3 * kSlotSize;
        snprintf(video, kSlotSize,
                 " appsrc name=%s ! h265parse name=%s ! splitmuxsink name=%s location=%s max-size-time=%d000000000 "
                 "max-size-bytes=%d max-files=10 use-robust-muxing=true muxer=\"qtmux name=qtmux_%s_%s "
                 "max-raw-audio-drift=500000000 presentation-time=false reserved-max-duration=120000000000 "
                 "reserved-bytes-per-sec=1024 reserved-moov-update-period=2000000000\" sink=\"filesink "
                 "name=filesink_%s_%s blocksize=0 buffer-mode=0 buffer-size=131072%sappend=%s\"",
                 n.appsrc, n.parse, n.muxbin, location, seconds, bytes, typeName, camera, typeName, camera,
                 n.appendBlanks, mFileOpenWriteMode ? "true" : "false");
        snprintf(video + kSlotSize, kSlotSize, "%s", kAudioFragments[t]);
        snprintf(video + 2 * kSlotSize, kSlotSize, kSubtitleFormat, kSubtitlesrcNames[t], mVideo.mFormat.fps10,
                 n.muxbin);
    }
    const char* slots = strBuff + type * 3 * kSlotSize;
    return std::string(slots) + (slots + kSlotSize) + (slots + 2 * kSlotSize);
}

std::string BmMux::MakeCapsString() const
{
    char caps[kSlotSize];
    snprintf(caps, sizeof(caps),
             "video/%s, stream-format=(string)byte-stream, alignment=(string)nal,         width=%d, height=%d, "
             "framerate=%d/10",
             mVideo.mFormat.codec == H264 ? "x-h264" : "x-h265", mVideo.mFormat.width, mVideo.mFormat.height,
             mVideo.mFormat.fps10);
    return caps;
}

void BmMux::StartGstreamer(RecordType type)
{
    std::string launch = MakeLaunchString(type);
    pGstPipeline[type] = gst_parse_launch(launch.c_str(), nullptr);
    BmAssert(pGstPipeline[type] != nullptr, "pGstPipeline[i]");
    GstBin* bin = GST_BIN(pGstPipeline[type]);
    mVideoWanted[type] = mAudioWanted[type] = mSubtitleWanted[type] = false;
    mSubtitleToldNs[type] = GST_CLOCK_TIME_NONE;
    mLastKeyFedPts[type] = 0;
    pGstVideosrc[type] = gst_bin_get_by_name(bin, mVideosrcName[type]);
    BmAssert(pGstVideosrc[type] != nullptr, "pGstVideosrc[i]");
    ConnectFeedVideo(pGstVideosrc[type], &signalCallbackParam[type], MakeCapsString().c_str());
    pGstAudiosrc[type] = gst_bin_get_by_name(bin, mAudiosrcName[type]);
    if (pGstAudiosrc[type] != nullptr)
        ConnectFeedAudio(pGstAudiosrc[type], &signalCallbackParam[type],
                         "audio/x-raw, format=(string)S16LE, rate=(int)44100, channels=(int)2, layout=(string)interleaved");
    pGstSubtitlesrc[type] = gst_bin_get_by_name(bin, mSubtitlesrcName[type]);
    if (pGstSubtitlesrc[type] != nullptr)
        ConnectFeedSubtitle(pGstSubtitlesrc[type], &signalCallbackParam[type], "application/x-subtitle-tmplayer");
    pGstMuxbin[type] = gst_bin_get_by_name(bin, mMuxbinName[type]);
    BmAssert(pGstMuxbin[type] != nullptr, "pGstMuxbin[i]");
    g_signal_connect(pGstMuxbin[type], "format-location", G_CALLBACK(gNewFilename), &signalCallbackParam[type]);
    PassSubtitleGaps(pGstMuxbin[type]);
    WatchGopEnds(type);
    GstBus* bus = gst_element_get_bus(pGstPipeline[type]);
    gst_bus_add_signal_watch(bus);
    g_signal_connect(bus, "message::error", G_CALLBACK(gErrorCallback), &signalCallbackParam[type]);
    g_signal_connect(bus, "message::warning", G_CALLBACK(gWarningCallback), &signalCallbackParam[type]);
    g_signal_connect(bus, "message::element", G_CALLBACK(gElementCallback), &signalCallbackParam[type]);
    gst_object_unref(bus);
}

void BmMux::WatchGopEnds(RecordType type)
{
    mLastFedPts[type] = 0;
    {
        std::lock_guard<std::mutex> lock(mGopEndsMutex);
        mGopEnds[type].clear();
    }
    GstElement* muxer = NamedElement(type, "qtmux");
    if (muxer == nullptr)
        return;
    for (const char* name : {"video_0", "audio_0"}) {
        GstPad* input = gst_element_get_static_pad(muxer, name);
        if (input == nullptr)
            continue;
        g_object_set(input, "emit-signals", TRUE, nullptr);
        g_signal_connect(input, "buffer-consumed", G_CALLBACK(gMuxerTook), &signalCallbackParam[type]);
        gst_object_unref(input);
    }
    gst_object_unref(muxer);
}

bool BmMux::TakeGopEnd(RecordType type, GstClockTime pts)
{
    std::lock_guard<std::mutex> lock(mGopEndsMutex);
    bool end = false;
    while (!mGopEnds[type].empty() && mGopEnds[type].front() <= pts) {
        end = true;
        mGopEnds[type].pop_front();
    }
    return end;
}

int BmMux::RunRecord(RecordType type)
{
    if (BmWorks::Inst()->mEmergency)
        return -1;
    mPausePending[type] = false;
    if (pGstPipeline[type] != nullptr) {
        // Still recording, or its last file is still being closed: then it
        // starts once that pipeline is gone.
        mStartPending[type] = mRecordState[type] == Pause;
        return 0;
    }
    int result = mVideo.IsRunVideoEnc() ? 0 : mVideo.RunVideoEnc();
    uint64_t start = mVideo.mVideoBuffer.GetBufferTime(type == Normal ? 1 : mEventPreTimeUsec);
    if (start != 0)
        start -= 1;
    mBufferTimeVideo[type] = mBufferTimeAudio[type] = mBufferTimeSubtitle[type] = start;
    if (type == Normal)
        mNormalSplitTime = BmClock::Inst()->Sec();
    else
        mEventCount++;
    StartGstreamer(type);
    mRecordState[type] = RunTry;
    gst_element_set_state(pGstPipeline[type], GST_STATE_PLAYING);
    int size = type == Normal ? GetRecordFileSize() : GetEventRecordFileSize();
    BmPrintRule('=', 67);
    printf("             RunTry %s_%s current_time=%llu, fmode=%s, filesize = %dKb, ev_count=%d\n", CameraName(),
           BmWorks::RecordTypeName[type], static_cast<unsigned long long>(BmClock::Inst()->Sec()),
           mFileOpenWriteMode ? "wb" : "r+b", size / 1024, BmWorks::Inst()->GetEventRunCount());
    BmPrintRule('=', 67);
    return result;
}

void BmMux::PauseRecord(RecordType type)
{
    mStartPending[type] = false;
    if (mRecordState[type] == RunTry) {
        // Ended once its first key frame is in, so that it does not run on.
        mPausePending[type] = true;
        return;
    }
    if (mRecordState[type] != Run)
        return;
    mRecordState[type] = PauseTry;
    BmPrintRule('=', 69);
    printf("                            Pause1 %s_%s sec=%llu\n", CameraName(), BmWorks::RecordTypeName[type],
           static_cast<unsigned long long>(BmClock::Inst()->Sec()));
    BmPrintRule('=', 69);
    EndFile(type);
}

void BmMux::EndFile(RecordType type)
{
    mRecordState[type] = Pause;
    // Every track ends: the muxer closes the file only once all its inputs
    // have ended, and the teardown a second later would otherwise cut it off.
    for (GstElement* appsrc : {pGstVideosrc[type], pGstAudiosrc[type], pGstSubtitlesrc[type]}) {
        if (appsrc != nullptr)
            gst_element_call_async(appsrc, send_eos_async, nullptr, nullptr);
    }
    ReplaceSetNullTimer(type);
}

bool BmMux::ReadyForSetNull(RecordType type)
{
    return mFileClosed[type] || pGstPipeline[type] == nullptr || ++mSetNullPeriods[type] >= kSetNullPeriods;
}

void BmMux::OnElementMessage(RecordType type, GstMessage* message)
{
    if (gst_message_has_name(message, "splitmuxsink-fragment-closed"))
        mFileClosed[type] = true;
}

void BmMux::ReplaceSetNullTimer(RecordType type)
{
    mFileClosed[type] = false;
    mSetNullPeriods[type] = 0;
    if (mGstSetNullId[type] != 0)
        g_source_remove(mGstSetNullId[type]);
    mGstSetNullId[type] = g_timeout_add(1000, gSetNull, &signalCallbackParam[type]);
}

char* BmMux::NewFilename(RecordType type, guint fragment)
{
    if (type != Normal && fragment > 0) {
        BmPost(gEndFile, &signalCallbackParam[type]);
        return g_strdup("/dev/null");
    }
    // Without a name from the program the file goes nowhere, never into the
    // working folder.
    char* name = FilenameCallback != nullptr ? FilenameCallback(mVideo.mCameraPosition, type) : nullptr;
    char* path = g_strdup(name != nullptr ? name : "/dev/null");
    if (type == Normal)
        BmPost(gNormalFileBegun, this);
    return path;
}

void BmMux::NormalFileBegun()
{
    mNormalSplitTime = BmClock::Inst()->Sec();
    if (NormalSplitCallback != nullptr)
        NormalSplitCallback(mVideo.mCameraPosition, Normal);
}

int64_t BmMux::GetBufferTimeDiffUsec(RecordType type)
{
    return static_cast<int64_t>(mVideo.mVideoBuffer.GetLastBufferTime() - mBufferTimeVideo[type]);
}

void BmMux::SplitNow()
{
    if (pGstMuxbin[Normal] == nullptr || mRecordState[Normal] != Run)
        return;
    BmPrintRule('*', 77);
    printf(" %lld SplitNow()... %s_%s \n", static_cast<long long>(BmClock::Inst()->Msec()), CameraName(), "Normal");
    BmPrintRule('*', 77);
    g_signal_emit_by_name(pGstMuxbin[Normal], "split-now");
}

void BmMux::SplitNowForSync()
{
    if (BmClock::Inst()->Sec() - mNormalSplitTime >= kSyncSplitMinSec)
        SplitNow();
}

void BmMux::StartSplitFirst()
{
    BmPrintRule('=', 62);
    printf("                      FirstSplitTime = %d\n", kSplitPeriodSec);
    BmPrintRule('=', 62);
    StopSplitFirst();
    mSplitFirstId = g_timeout_add_seconds(kSplitPeriodSec, gSplitFirst, this);
}

void BmMux::StopSplitFirst()
{
    RemoveSource(mSplitFirstId);
}

void BmMux::StopSplit()
{
    RemoveSource(mSplitId);
}

GstElement* BmMux::NamedElement(RecordType type, const char* prefix)
{
    if (pGstPipeline[type] == nullptr)
        return nullptr;
    char name[64];
    snprintf(name, sizeof(name), "%s_%s_%s", prefix, BmWorks::RecordTypeName[type], CameraName());
    return gst_bin_get_by_name(GST_BIN(pGstPipeline[type]), name);
}

void BmMux::SplitEmergency(RecordType type)
{
    if (pGstMuxbin[type] == nullptr)
        return;
    mEmergency = true;
    BmPrintRule('*', 77);
    printf(" %lld SplitEmergency()... %s_%s \n", static_cast<long long>(BmClock::Inst()->Msec()),
           BmWorks::RecordTypeName[type], CameraName());
    BmPrintRule('*', 77);
    g_signal_emit_by_name(pGstMuxbin[type], "split-emergency");
}

void BmMux::UpdateMeta(RecordType type)
{
    GstElement* muxer = NamedElement(type, "qtmux");
    if (muxer == nullptr)
        return;
    printf(" %lld UpdateMeta()... %s_%s \n", static_cast<long long>(BmClock::Inst()->Msec()),
           BmWorks::RecordTypeName[type], CameraName());
    g_signal_emit_by_name(muxer, "moov-update-now");
    gst_object_unref(muxer);
}

void BmMux::StopFileSink(RecordType type)
{
    GstElement* sink = NamedElement(type, "filesink");
    if (sink == nullptr)
        return;
    printf(" %lld StopFileSink()... %s_%s \n", static_cast<long long>(BmClock::Inst()->Msec()),
           BmWorks::RecordTypeName[type], CameraName());
    g_signal_emit_by_name(sink, "stop-now");
    gst_object_unref(sink);
}

void BmMux::ReportBusMessage(RecordType type, GstMessage* message, bool error)
{
    if (BmWorks::Inst()->mEmergency)
        return;
    GError* err = nullptr;
    gchar* debug = nullptr;
    if (error)
        gst_message_parse_error(message, &err, &debug);
    else
        gst_message_parse_warning(message, &err, &debug);
    const char* element = GST_OBJECT_NAME(message->src);
    fprintf(stderr, "%s_%s: %s received from element %s: %s\n", CameraName(), BmWorks::RecordTypeName[type],
            error ? "Error" : "Warning", element, err->message);
    fprintf(stderr, "Debugging information: %s\n", debug ? debug : "none");
    if (ErrorCallback != nullptr && g_str_has_prefix(element, "filesink")) {
        BmError code = error ? FileSinkError(err->code)
                             : (err->code == GST_RESOURCE_ERROR_OPEN_READ_WRITE ? NewFileCreated : None);
        if (code != None)
            ErrorCallback(mVideo.mCameraPosition, type, code, err->message);
    }
    g_error_free(err);
    g_free(debug);
}

void BmMux::RemoveFeedSources(RecordType type)
{
    RemoveSource(mGstVideosrcId[type]);
    RemoveSource(mGstAudiosrcId[type]);
    RemoveSource(mGstSubtitlesrcId[type]);
    RemoveSource(mGstSetNullId[type]);
}

void BmMux::ReleaseElements(RecordType type)
{
    ReleaseElement(pGstVideosrc[type]);
    ReleaseElement(pGstAudiosrc[type]);
    ReleaseElement(pGstSubtitlesrc[type]);
    ReleaseElement(pGstMuxbin[type]);
    ReleaseElement(pGstPipeline[type]);
    RemoveFeedSources(type);
}

void BmMux::SetNull(RecordType type)
{
    if (pGstPipeline[type] != nullptr) {
        gst_element_set_state(pGstPipeline[type], GST_STATE_READY);
        GstBus* bus = gst_element_get_bus(pGstPipeline[type]);
        gst_bus_remove_signal_watch(bus);
        gst_object_unref(bus);
        gst_element_set_state(pGstPipeline[type], GST_STATE_NULL);
    }
    ReleaseElements(type);
    if (type == Normal) {
        StopSplitFirst();
        StopSplit();
    }
    if (mStartPending[type]) {
        mStartPending[type] = false;
        RunRecord(type);
    }
}

void BmMux::StopRecord()
{
    StopSplitFirst();
    StopSplit();
    for (int t = 0; t < MaxRec; t++) {
        mStartPending[t] = mPausePending[t] = false;
        if (pGstPipeline[t] == nullptr)
            continue;
        mRecordState[t] = Pause;
        gst_element_set_state(pGstPipeline[t], GST_STATE_NULL);
    }
    RemoveSource(mGstSetNullStopId);
    mGstSetNullStopId = g_timeout_add(100, gSetNullAll, this);
}

void BmMux::SetNullAll()
{
    for (int t = 0; t < MaxRec; t++) {
        if (pGstPipeline[t] == nullptr)
            continue;
        GstBus* bus = gst_element_get_bus(pGstPipeline[t]);
        gst_bus_remove_signal_watch(bus);
        gst_object_unref(bus);
        ReleaseElements(static_cast<RecordType>(t));
    }
    StopSplitFirst();
    StopSplit();
}

void BmMux::Stop()
{
    for (int t = 0; t < MaxRec; t++) {
        mStartPending[t] = false;
        SetNull(static_cast<RecordType>(t));
    }
    if (mVideo.IsRunVideoEnc())
        mVideo.PauseVideoEnc();
    mVideo.Stop();
}

bool BmMux::StartRtspLive()
{
    return mRtsp.StartRtspLive();
}

void BmMux::StopRtspLive()
{
    mRtsp.StopRtspLive();
}
