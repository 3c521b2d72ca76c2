#include "bmworks/BmMux.h"

#include <cstdio>

BmMux::BmMux()
{
    for (int type = 0; type < MaxRec; type++)
        signalCallbackParam[type] = SignalCallbackParam{this, static_cast<RecordType>(type)};
}

int BmMux::Init(BmMux* splitPartner)
{
    pSplitBmMux = splitPartner;
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
        mRecordState[type] = Pause;
    }
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

bool BmMux::StartRtspLive()
{
    return mRtsp.StartRtspLive();
}

void BmMux::StopRtspLive()
{
    mRtsp.StopRtspLive();
}
