#pragma once
// The pre-record buffer of one encoder's units: the last 30 s, from which
// recordings and live streams read at their own pace.

#include "bmworks/BmTimedList.h"

#include <atomic>

class BmVideoBuffer {
public:
    using EncodedVideoBuffer = BmTimedList<Nal>::Entry;

    BmVideoBuffer();

    void Init() {}
    // Takes ownership of nal.buffer.
    void Add(Nal& nal);
    void DeleteOld();
    int GetOld(uint64_t& position, Nal& out) const;
    int GetNew(uint64_t& position, Nal& out) const;
    // Where a recording that reaches preTimeUsec back starts: the newest key
    // unit at least that long before the newest unit; 0 when there is none.
    uint64_t GetBufferTime(uint64_t preTimeUsec) const;
    uint64_t GetLastBufferTime() const { return mLastBufferTimeUsec; }
    int GetTotalTimeSec() const;
    void Report(const char* name) const;

    BmTimedList<Nal> mVideoBufferList;
    std::atomic<uint64_t> mLastBufferTimeUsec{0};
};
