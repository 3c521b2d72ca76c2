#pragma once
// The list behind every pre-record buffer: items oldest first, each with the
// engine-clock time (µs) at which it was added. Readers never remove items;
// each keeps a position (the buffer time of the last item it took) and asks
// for the next one. Only age removes items.
//
// Buffers are filled, aged and read on different threads (capture, engine
// loop, streaming threads), so every access holds mMutex, and an item's
// bytes are shared with the readers that took it (Item::holder): ageing
// drops the buffer's reference only.

#include "bmworks/BmTypes.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <glib.h>
#include <mutex>

// How far back every pre-record buffer reaches.
constexpr uint64_t kPreRecordWindowUsec = 30000000;

template <typename Item>
class BmTimedList {
public:
    struct Entry {
        Item item;
        uint64_t bufferTimeUsec;
    };

    explicit BmTimedList(uint64_t limitUsec) : mLimitBufferTimeUsec(limitUsec) {}

    // Takes ownership of item.buffer (a g_malloc block). Buffer times strictly
    // increase, so that two items added within one microsecond are both read.
    uint64_t Add(Item item, uint64_t bufferTimeUsec)
    {
        if (!item.holder)
            item.holder = BmBytes(item.buffer, g_free);
        std::lock_guard<std::mutex> lock(mMutex);
        if (!mList.empty())
            bufferTimeUsec = std::max(bufferTimeUsec, mList.back().bufferTimeUsec + 1);
        mList.push_back(Entry{std::move(item), bufferTimeUsec});
        return bufferTimeUsec;
    }

    // Removes items older than the window; an item exactly as old stays.
    void DeleteOld(uint64_t nowUsec)
    {
        std::lock_guard<std::mutex> lock(mMutex);
        while (!mList.empty() && nowUsec > mList.front().bufferTimeUsec &&
               nowUsec - mList.front().bufferTimeUsec > mLimitBufferTimeUsec)
            mList.pop_front();
    }

    // The oldest item newer than position: 0 and the position moved to it,
    // or -1 with the position unchanged.
    int GetOld(uint64_t& position, Item& out) const
    {
        std::lock_guard<std::mutex> lock(mMutex);
        auto it = std::upper_bound(mList.begin(), mList.end(), position,
                                   [](uint64_t pos, const Entry& e) { return pos < e.bufferTimeUsec; });
        return it == mList.end() ? -1 : Take(*it, position, out);
    }

    // The newest item, if it is newer than position (as GetOld).
    int GetNew(uint64_t& position, Item& out) const
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (mList.empty() || mList.back().bufferTimeUsec <= position)
            return -1;
        return Take(mList.back(), position, out);
    }

    // Walks from the newest item to the oldest until f returns true; returns
    // that item's buffer time, or 0.
    template <typename F>
    uint64_t FindNewestFirst(F f) const
    {
        std::lock_guard<std::mutex> lock(mMutex);
        for (auto it = mList.rbegin(); it != mList.rend(); ++it) {
            if (f(*it))
                return it->bufferTimeUsec;
        }
        return 0;
    }

    // Buffer time of the oldest and the newest item (0 when empty).
    std::pair<uint64_t, uint64_t> Span() const
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (mList.empty())
            return {0, 0};
        return {mList.front().bufferTimeUsec, mList.back().bufferTimeUsec};
    }

    size_t Count() const
    {
        std::lock_guard<std::mutex> lock(mMutex);
        return mList.size();
    }

    // The bytes of all items.
    long long Bytes() const
    {
        std::lock_guard<std::mutex> lock(mMutex);
        return BytesLocked();
    }

    // Logs "<kind>::Report(<name>)..." with the count, bytes and times in whole seconds.
    void Report(const char* kind, const char* name) const
    {
        std::lock_guard<std::mutex> lock(mMutex);
        long long bytes = BytesLocked();
        uint64_t first = mList.empty() ? 0 : mList.front().bufferTimeUsec;
        uint64_t last = mList.empty() ? 0 : mList.back().bufferTimeUsec;
        printf("%s::Report(%s)... totalNodeNum=%d, totalBufferSize=%d, firstBufferTime=%d, lastBufferTime=%d \n", kind,
               name ? name : "", static_cast<int>(mList.size()), static_cast<int>(bytes),
               static_cast<int>(first / 1000000), static_cast<int>(last / 1000000));
    }

    const uint64_t mLimitBufferTimeUsec;

private:
    long long BytesLocked() const
    {
        long long bytes = 0;
        for (const Entry& e : mList)
            bytes += e.item.length;
        return bytes;
    }

    static int Take(const Entry& e, uint64_t& position, Item& out)
    {
        out = e.item;
        position = e.bufferTimeUsec;
        return 0;
    }

    mutable std::mutex mMutex;
    std::deque<Entry> mList;
};
