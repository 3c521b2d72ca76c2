#include "bmworks/BmVideoBuffer.h"

#include "bmworks/BmClock.h"

BmVideoBuffer::BmVideoBuffer() : mVideoBufferList(kPreRecordWindowUsec) {}

void BmVideoBuffer::Add(Nal& nal)
{
    mLastBufferTimeUsec = mVideoBufferList.Add(nal, BmClock::Inst()->Usec());
}

void BmVideoBuffer::DeleteOld()
{
    mVideoBufferList.DeleteOld(BmClock::Inst()->Usec());
}

int BmVideoBuffer::GetOld(uint64_t& position, Nal& out) const
{
    return mVideoBufferList.GetOld(position, out);
}

int BmVideoBuffer::GetNew(uint64_t& position, Nal& out) const
{
    return mVideoBufferList.GetNew(position, out);
}

uint64_t BmVideoBuffer::GetBufferTime(uint64_t preTimeUsec) const
{
    uint64_t newest = mVideoBufferList.Span().second;
    if (newest == 0 || preTimeUsec >= newest)
        return 0;
    uint64_t target = newest - preTimeUsec;
    return mVideoBufferList.FindNewestFirst(
        [target](const EncodedVideoBuffer& e) { return e.item.keyFrame == 1 && e.bufferTimeUsec <= target; });
}

int BmVideoBuffer::GetTotalTimeSec() const
{
    if (mVideoBufferList.Count() < 2)
        return 0;
    auto [first, last] = mVideoBufferList.Span();
    return static_cast<int>((last - first) / 1000000);
}

void BmVideoBuffer::Report(const char* name) const
{
    mVideoBufferList.Report("BmVideoBuffer", name);
}
