#pragma once
// The channels of one family of the host platform, by number: created once
// with checked attributes, found by the calls, destroyed while a call in
// progress keeps its channel alive.

#include "host/soc/SocErrors.h"

#include <array>
#include <memory>
#include <mutex>

namespace soc {

template <typename Channel, int Count, Module Family>
class ChannelTable {
public:
    // Never destroyed: an engine thread may outlive static teardown.
    static ChannelTable& Inst()
    {
        static ChannelTable* table = new ChannelTable;
        return *table;
    }

    static int Fail(Reason r) { return Error(Family, r); }

    // make() builds the channel once the attributes pass valid().
    template <typename Attr, typename Make>
    int Create(int chn, const Attr* attr, bool (*valid)(const Attr&), uint32_t existsCode, Make make)
    {
        if (chn < 0 || chn >= Count)
            return Fail(Reason::InvalidId);
        if (attr == nullptr)
            return Fail(Reason::NullPtr);
        if (!SysReady())
            return Fail(Reason::NotReady);
        if (!valid(*attr))
            return Fail(Reason::IllegalParam);
        std::lock_guard<std::mutex> lock(_mutex);
        if (_channels[chn])
            return static_cast<int>(existsCode);
        _channels[chn] = make();
        return 0;
    }

    int Destroy(int chn)
    {
        std::shared_ptr<Channel> channel;
        {
            std::lock_guard<std::mutex> lock(_mutex);
            if (chn < 0 || chn >= Count)
                return Fail(Reason::InvalidId);
            channel = std::move(_channels[chn]);
        }
        return channel ? 0 : Fail(Reason::Unexist);
    }

    // Runs f on the channel, or returns why it cannot.
    template <typename F>
    int With(int chn, F f)
    {
        if (chn < 0 || chn >= Count)
            return Fail(Reason::InvalidId);
        std::shared_ptr<Channel> channel;
        {
            std::lock_guard<std::mutex> lock(_mutex);
            channel = _channels[chn];
        }
        return channel ? f(*channel) : Fail(Reason::Unexist);
    }

private:
    ChannelTable() = default;
    std::mutex _mutex;
    std::array<std::shared_ptr<Channel>, Count> _channels;
};

} // namespace soc
