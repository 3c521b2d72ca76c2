#include "bmworks/BmAudioBuffer.h"

#include "bmworks/BmClock.h"

BmAudioBuffer::BmAudioBuffer() : mAudioBufferList(kPreRecordWindowUsec) {}

void BmAudioBuffer::Add(AudioBuffer& audio)
{
    Add(audio, BmClock::Inst()->Usec());
}

void BmAudioBuffer::Add(AudioBuffer& audio, uint64_t bufferTimeUsec)
{
    mAudioBufferList.Add(audio, bufferTimeUsec);
}

void BmAudioBuffer::DeleteOld()
{
    mAudioBufferList.DeleteOld(BmClock::Inst()->Usec());
}

int BmAudioBuffer::GetOld(uint64_t& position, AudioBuffer& out) const
{
    return mAudioBufferList.GetOld(position, out);
}

int BmAudioBuffer::GetNew(uint64_t& position, AudioBuffer& out) const
{
    return mAudioBufferList.GetNew(position, out);
}

void BmAudioBuffer::Report(const char* name) const
{
    mAudioBufferList.Report("BmAudioBuffer", name);
}
