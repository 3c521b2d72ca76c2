#pragma once
// The recording object of one camera: its video path and, per record type,
// the state of a recording pipeline that reads the pre-record buffers.

#include "bmworks/BmTypes.h"
#include "bmworks/BmRtsp.h"
#include "bmworks/BmVideo.h"

#include <string>

class BmMux {
public:
    enum RecordState { RunTry = 0, Run = 1, PauseStart = 2, PauseTry = 3, Pause = 4 };

    // The fixed context of the signal handlers and timers of one record type.
    struct SignalCallbackParam {
        BmMux* pBmMux;
        RecordType recordType;
    };

    BmMux();

    int Init(BmMux* splitPartner);
    void SetConfigBeforeStart(CameraPosition camera, int width, int height, int fps10, VideoCodec codec);
    int Start();
    bool IsRunRecord() const;
    bool IsRunRecord(RecordType type) const;

    // Completed with the recording pipelines and the live streams.
    void SetCallbackBeforeStart(char* (*callback)(CameraPosition, RecordType));
    void SetNormalSplitCallback(char* (*callback)(CameraPosition, RecordType));
    void SetErrorCallback(void (*callback)(CameraPosition, RecordType, BmError, std::string));
    int RunRecord(RecordType type);
    void PauseRecord(RecordType type);
    int64_t GetBufferTimeDiffUsec(RecordType type);
    void SplitNow();
    void SplitNowForSync();
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

    BmVideo mVideo;
    BmRtsp mRtsp{mVideo};
    uint64_t mBufferTimeVideo[MaxRec] = {};
    uint64_t mBufferTimeAudio[MaxRec] = {};
    uint64_t mBufferTimeSubtitle[MaxRec] = {};
    RecordState mRecordState[MaxRec] = {Pause, Pause, Pause, Pause};
    SignalCallbackParam signalCallbackParam[MaxRec];
    BmMux* pSplitBmMux = nullptr;
    int mEventRecordTime = 60;
    uint64_t mEventPreTimeUsec = 21000000;
    bool mFileOpenWriteMode = false;

private:
    void ResetGstreamerParams();
};
