// The facade's recording commands: posted to the engine thread, but for the
// power-loss operations, which act at once on the caller's thread.

#include "bmworks/bmworks.h"

#include "bmworks/BmLog.h"
#include "bmworks/BmPost.h"
#include "bmworks/BmSubtitle.h"

#include <algorithm>
#include <cstdio>

namespace {

gboolean gRunRecord(gpointer data)
{
    auto* param = static_cast<CommandParam*>(data);
    param->pBmMux->RunRecord(param->recordType);
    return G_SOURCE_REMOVE;
}

gboolean gPauseRecord(gpointer data)
{
    auto* param = static_cast<CommandParam*>(data);
    param->pBmMux->PauseRecord(param->recordType);
    return G_SOURCE_REMOVE;
}

gboolean gStopRecord(gpointer data)
{
    static_cast<BmMux*>(data)->StopRecord();
    return G_SOURCE_REMOVE;
}

gboolean gStop(gpointer data)
{
    static_cast<BmMux*>(data)->Stop();
    return G_SOURCE_REMOVE;
}

gboolean gUpdateMeta(gpointer data)
{
    for (BmMux& mux : static_cast<BmWorks*>(data)->bmMux) {
        for (int type = 0; type < MaxRec; type++)
            mux.UpdateMeta(static_cast<RecordType>(type));
    }
    return G_SOURCE_REMOVE;
}

// When one camera's Normal file splits, the other follows.
char* gNormalSplit(CameraPosition camera, RecordType)
{
    BmWorks::Inst()->bmMux[camera == Front ? Rear : Front].SplitNowForSync();
    return nullptr;
}

} // namespace

int BmWorks::RunRecord(CameraPosition camera, RecordType type)
{
    printf(" %lld BmWorks::RunRecord()... %s_%s \n", static_cast<long long>(BmClock::Inst()->Msec()),
           CameraPositionName[camera], RecordTypeName[type]);
    mRecordParams[camera][type] = CommandParam{&bmMux[camera], type};
    BmPost(gRunRecord, &mRecordParams[camera][type]);
    return 0;
}

int BmWorks::PauseRecord(CameraPosition camera, RecordType type)
{
    printf(" %lld BmWorks::PauseRecord()... %s_%s \n", static_cast<long long>(BmClock::Inst()->Msec()),
           CameraPositionName[camera], RecordTypeName[type]);
    mRecordParams[camera][type] = CommandParam{&bmMux[camera], type};
    BmPost(gPauseRecord, &mRecordParams[camera][type]);
    return 0;
}

void BmWorks::StopRecord(CameraPosition camera)
{
    BmPost(gStopRecord, &bmMux[camera]);
}

void BmWorks::Stop(CameraPosition camera)
{
    BmPost(gStop, &bmMux[camera]);
}

void BmWorks::UpdateMeta()
{
    BmPost(gUpdateMeta, this);
}

void BmWorks::SetNewFileNameCallback(char* (*callback)(CameraPosition, RecordType))
{
    for (BmMux& mux : bmMux) {
        mux.SetCallbackBeforeStart(callback);
        mux.SetNormalSplitCallback(gNormalSplit);
    }
}

void BmWorks::SetErrorCallback(void (*callback)(CameraPosition, RecordType, BmError, std::string))
{
    for (BmMux& mux : bmMux)
        mux.SetErrorCallback(callback);
}

int64_t BmWorks::GetBufferTimeDiffUsec(RecordType type)
{
    int64_t diff = 0;
    for (BmMux& mux : bmMux) {
        if (mux.IsRunRecord(type))
            diff = std::max(diff, mux.GetBufferTimeDiffUsec(type));
    }
    return diff;
}

void BmWorks::SetSubtitleText(std::string text)
{
    BmSubtitle::Inst()->SetText(std::move(text));
}

void BmWorks::TrashEmergency(RecordType type)
{
    for (BmMux& mux : bmMux)
        mux.StopFileSink(type);
}

void BmWorks::StopEmergency(RecordType type)
{
    for (BmMux& mux : bmMux)
        mux.SplitEmergency(type);
}
