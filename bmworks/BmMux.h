#pragma once
// The recording object of one camera: its video path and, per record type,
// a GStreamer pipeline that reads the pre-record buffers (video, audio,
// subtitle) and writes them through splitmuxsink and qtmux into the files
// the program names. Everything but NewFilename runs on the engine thread;
// NewFilename hands what follows a new file to it.

#include "bmworks/BmTypes.h"
#include "bmworks/BmRtsp.h"
#include "bmworks/BmVideo.h"

#include <gst/gst.h>
#include <atomic>
#include <deque>
#include <mutex>
#include <string>

class BmMux {
public:
    enum RecordState { RunTry = 0, Run = 1, PauseStart = 2, PauseTry = 3, Pause = 4 };

    // The fixed context of the signal handlers and timers of one record type.
    struct SignalCallbackParam {
        BmMux* pBmMux;
        RecordType recordType;
    };

    using FilenameFunction = char* (*)(CameraPosition, RecordType);
    using ErrorFunction = void (*)(CameraPosition, RecordType, BmError, std::string);

    // Room kept below the pre-allocated file size for what qtmux writes
    // beyond the media: its reserved header (120 s at 1024 bytes a second for
    // each of three tracks) and the index's own growth.
    static constexpr int kFileSizeMargin = 102400 + 120 * 1024 * 3;

    BmMux();
    ~BmMux();
    BmMux(const BmMux&) = delete;
    BmMux& operator=(const BmMux&) = delete;

    int Init(BmMux* splitPartner);
    void SetConfigBeforeStart(CameraPosition camera, int width, int height, int fps10, VideoCodec codec);
    void SetCallbackBeforeStart(FilenameFunction callback) { FilenameCallback = callback; }
    void SetNormalSplitCallback(FilenameFunction callback) { NormalSplitCallback = callback; }
    void SetErrorCallback(ErrorFunction callback) { ErrorCallback = callback; }
    int Start();
    int RunRecord(RecordType type);
    void PauseRecord(RecordType type);
    bool IsRunRecord() const;
    bool IsRunRecord(RecordType type) const;
    int64_t GetBufferTimeDiffUsec(RecordType type);
    void SplitNow();
    void SplitNowForSync();
    void StartSplitFirst();
    void StopSplitFirst();
    void StopSplit();
    void SplitEmergency(RecordType type);
    void UpdateMeta(RecordType type);
    void StopFileSink(RecordType type);
    int GetRecordFileSize();
    int GetEventRecordFileSize();
    void StopRecord();
    void Stop();
    int RunVideoOut();
    void PauseVideoOut();
    bool StartRtspLive();
    void StopRtspLive();
    void MutexLock(RecordType) {}
    void MutexUnlock(RecordType) {}

    // The launch text of a type's pipeline and the video appsrc caps.
    std::string MakeLaunchString(RecordType type);
    std::string MakeCapsString() const;

    // Engine-thread work of the signal handlers and timers (BmFeed.cpp, BmMux.cpp).
    void ReadDataVideo(RecordType type);
    void ReadDataAudio(RecordType type);
    void ReadDataSubtitle(RecordType type);
    void TellSubtitleGap(RecordType type);
    char* NewFilename(RecordType type, guint fragment);
    // On the engine thread after a Normal file was named: its split time, then
    // the other camera's split (the normal-split callback).
    void NormalFileBegun();
    void SetNull(RecordType type);
    void SetNullAll();
    void ReportBusMessage(RecordType type, GstMessage* message, bool error);
    // Ends the type's file: end-of-stream to the video branch, teardown in 1 s.
    void EndFile(RecordType type);

    BmVideo mVideo;
    BmRtsp mRtsp{mVideo};
    const char* mVideosrcName[MaxRec];
    const char* mAudiosrcName[MaxRec];
    const char* mSubtitlesrcName[MaxRec];
    const char* mMuxbinName[MaxRec];
    GstElement* pGstPipeline[MaxRec] = {};
    GstElement* pGstVideosrc[MaxRec] = {};
    GstElement* pGstAudiosrc[MaxRec] = {};
    GstElement* pGstSubtitlesrc[MaxRec] = {};
    GstElement* pGstMuxbin[MaxRec] = {};
    guint mGstVideosrcId[MaxRec] = {};
    guint mGstAudiosrcId[MaxRec] = {};
    guint mGstSubtitlesrcId[MaxRec] = {};
    // Whether each appsrc wants data (between its need-data and enough-data):
    // written on the pipeline's threads, read on the engine thread, which
    // alone owns the feeding source ids above.
    std::atomic<bool> mVideoWanted[MaxRec] = {};
    std::atomic<bool> mAudioWanted[MaxRec] = {};
    std::atomic<bool> mSubtitleWanted[MaxRec] = {};
    guint mGstSetNullId[MaxRec] = {};
    guint mGstSetNullStopId = 0;
    guint mSplitFirstId = 0;
    guint mSplitId = 0;
    uint64_t mBufferTimeVideo[MaxRec] = {};
    uint64_t mBufferTimeAudio[MaxRec] = {};
    uint64_t mBufferTimeSubtitle[MaxRec] = {};
    // Read by the program's threads (IsRunRecord) while the engine's changes it.
    std::atomic<RecordState> mRecordState[MaxRec] = {Pause, Pause, Pause, Pause};
    SignalCallbackParam signalCallbackParam[MaxRec];
    FilenameFunction FilenameCallback = nullptr;
    FilenameFunction NormalSplitCallback = nullptr;
    ErrorFunction ErrorCallback = nullptr;
    BmMux* pSplitBmMux = nullptr;
    uint64_t mNormalSplitTime = 0;
    int mEventRecordTime = 60;
    uint64_t mEventPreTimeUsec = 21000000;
    int mEventCount = 0;
    bool mEmergency = false;
    bool mFileOpenWriteMode = false;
    char* strBuff;
    std::mutex mMutex[MaxRec];
    // A pause asked while the type still hunts its first key frame, and a
    // start asked while its last pipeline is still being torn down: both are
    // carried out when the state allows.
    bool mPausePending[MaxRec] = {};
    bool mStartPending[MaxRec] = {};
    // The time stamp (ns) of the last video buffer fed, and those of the
    // key units fed since the first: the ends of the GOPs that splitmuxsink
    // hands to the muxer, oldest first. The header is rewritten once the
    // muxer has taken a buffer that reaches such an end (its own thread), so
    // that a power loss costs the GOPs still gathered, not also the muxer's
    // period.
    GstClockTime mLastFedPts[MaxRec] = {};
    std::deque<GstClockTime> mGopEnds[MaxRec];
    std::mutex mGopEndsMutex;
    // The newest key unit fed, and how far the subtitle track has been told
    // to be complete with GAP events (none before its first entry): the
    // engine thread's.
    GstClockTime mLastKeyFedPts[MaxRec] = {};
    GstClockTime mSubtitleToldNs[MaxRec] = {};
    // The teardown after a file's end waits for splitmuxsink to report the
    // file closed (a loaded machine can take longer than the one second to
    // write the index), a bounded number of periods at most.
    static const int kSetNullPeriods = 5;
    bool mFileClosed[MaxRec] = {};
    int mSetNullPeriods[MaxRec] = {};
    // False while the type's last file may still be finalising: wait another period.
    bool ReadyForSetNull(RecordType type);
    void OnElementMessage(RecordType type, GstMessage* message);
    // True when a GOP fed ends at or before pts; forgets the ends up to it.
    bool TakeGopEnd(RecordType type, GstClockTime pts);

private:
    void ResetGstreamerParams();
    void StartGstreamer(RecordType type);
    void ReplaceSetNullTimer(RecordType type);
    void ReleaseElements(RecordType type);
    void RemoveFeedSources(RecordType type);
    GstElement* NamedElement(RecordType type, const char* prefix);
    void WatchGopEnds(RecordType type);
    const char* CameraName() const;
};
