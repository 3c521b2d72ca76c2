// Decoder channels of the host platform. Each channel decodes the units it is
// sent on a thread of its own with libavcodec; pictures wait in a short queue
// until the engine takes them, and stay the engine's until it releases them.

#include "mpp_comm/soc_vdec.h"

#include "host/soc/ChannelTable.h"
#include "host/soc/VdecCodec.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

int gVideoDecoderScaleDown = 0;

namespace {

constexpr int kChannels = 16;
constexpr size_t kInputQueue = 4;  // units waiting for the decoder
constexpr size_t kOutputQueue = 4; // pictures waiting for the engine

int VdecError(soc::Reason r)
{
    return soc::Error(soc::Module::Vdec, r);
}

struct Unit {
    std::vector<uint8_t> bytes;
    uint64_t pts = 0;
    bool endOfStream = false;
};

class Channel {
public:
    Channel(int id, const VDEC_CHN_ATTR_S& attr) : _id(id), _attr(attr)
    {
        _worker = std::thread([this] { Work(); });
    }

    ~Channel()
    {
        {
            std::lock_guard<std::mutex> lock(_mutex);
            _stop = true;
        }
        _changed.notify_all();
        _worker.join();
    }

    void SetCallback(const SOC_CALLBACK_S& callback)
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _callback = callback;
    }

    // Stopping drops what waits, so that a new stream (after a seek) starts clean.
    void SetReceiving(bool receiving)
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _receiving = receiving;
        if (!receiving) {
            _input.clear();
            _output.clear();
            _generation++;
            _changed.notify_all();
        }
    }

    int SendStream(const VDEC_STREAM_S& s, int timeoutMs)
    {
        if (s.mLen > _attr.mBufSize || (s.mLen > 0 && s.pAddr == nullptr))
            return VdecError(soc::Reason::IllegalParam);
        std::unique_lock<std::mutex> lock(_mutex);
        if (!_receiving)
            return VdecError(soc::Reason::NotPermitted);
        if (!_changed.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                               [this] { return _input.size() < kInputQueue || !_receiving; }) ||
            !_receiving)
            return VdecError(soc::Reason::BufFull);
        Unit unit;
        unit.bytes.assign(s.pAddr, s.pAddr + s.mLen);
        unit.pts = s.mPTS;
        unit.endOfStream = s.mbEndOfStream != 0;
        _input.push_back(std::move(unit));
        _changed.notify_all();
        return 0;
    }

    int GetImage(VIDEO_FRAME_INFO_S& info, int timeoutMs)
    {
        std::unique_lock<std::mutex> lock(_mutex);
        if (!_changed.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                               [this] { return !_output.empty(); }))
            return VdecError(soc::Reason::BufEmpty);
        uint32_t id = _nextId++;
        soc::DecodedPicture& p = _held[id] = std::move(_output.front());
        _output.pop_front();
        _changed.notify_all();
        info = VIDEO_FRAME_INFO_S{};
        VIDEO_FRAME_S& f = info.VFrame;
        f.mWidth = static_cast<uint32_t>(p.width);
        f.mHeight = static_cast<uint32_t>(p.height);
        f.mField = VIDEO_FIELD_FRAME;
        f.mPixelFormat = MM_PIXEL_FORMAT_YVU_SEMIPLANAR_420;
        uint8_t* y = p.pixels.data();
        uint8_t* vu = y + static_cast<size_t>(p.width) * p.height;
        f.mpVirAddr[0] = y;
        f.mpVirAddr[1] = vu;
        f.mPhyAddr[0] = reinterpret_cast<uintptr_t>(y);
        f.mPhyAddr[1] = reinterpret_cast<uintptr_t>(vu);
        f.mStride[0] = f.mStride[1] = f.mWidth;
        f.mOffsetBottom = static_cast<int16_t>(p.height - 1);
        f.mOffsetRight = static_cast<int16_t>(p.width - 1);
        f.mpts = p.pts;
        info.mId = id;
        return 0;
    }

    int ReleaseImage(const VIDEO_FRAME_INFO_S& info)
    {
        std::lock_guard<std::mutex> lock(_mutex);
        auto held = _held.find(info.mId);
        if (held == _held.end())
            return VdecError(soc::Reason::IllegalParam);
        _spares.push_back(std::move(held->second.pixels));
        _held.erase(held);
        return 0;
    }

private:
    void Work()
    {
        soc::VdecCodec codec;
        bool opened = codec.Open(_attr.mType == PT_H265, static_cast<int>(_attr.mInitRotation),
                                 gVideoDecoderScaleDown > 0 ? 1 : 0);
        uint64_t decodedGeneration = 0;
        std::vector<soc::DecodedPicture> pictures;
        std::vector<std::vector<uint8_t>> spares;
        std::unique_lock<std::mutex> lock(_mutex);
        for (;;) {
            _changed.wait(lock, [this] { return _stop || !_input.empty(); });
            if (_stop)
                return;
            Unit unit = std::move(_input.front());
            _input.pop_front();
            _changed.notify_all();
            uint64_t generation = _generation;
            spares.swap(_spares);
            lock.unlock();
            if (decodedGeneration != generation)
                codec.Flush();
            decodedGeneration = generation;
            pictures.clear();
            if (opened) {
                codec.Decode(unit.bytes.data(), unit.bytes.size(), unit.pts, pictures, spares);
                if (unit.endOfStream)
                    codec.Decode(nullptr, 0, 0, pictures, spares);
            }
            lock.lock();
            Deliver(pictures, generation, lock);
            for (auto& s : spares)
                _spares.push_back(std::move(s));
            spares.clear();
            if (unit.endOfStream && generation == _generation)
                Notify(SOC_VDEC_EVENT_END_OF_STREAM, lock);
        }
    }

    // Waits for room for each picture; a stop or a new stream drops them.
    void Deliver(std::vector<soc::DecodedPicture>& pictures, uint64_t generation, std::unique_lock<std::mutex>& lock)
    {
        for (soc::DecodedPicture& p : pictures) {
            _changed.wait(lock, [&] { return _stop || generation != _generation || _output.size() < kOutputQueue; });
            if (_stop || generation != _generation)
                return;
            _output.push_back(std::move(p));
            _changed.notify_all();
        }
    }

    void Notify(int event, std::unique_lock<std::mutex>& lock)
    {
        SOC_CALLBACK_S callback = _callback;
        if (callback.callback == nullptr)
            return;
        lock.unlock();
        MPP_CHN_S chn = {MOD_ID_VDEC, 0, _id};
        callback.callback(callback.cookie, &chn, event, nullptr);
        lock.lock();
    }

    const int _id;
    const VDEC_CHN_ATTR_S _attr;
    SOC_CALLBACK_S _callback = {nullptr, nullptr};
    bool _receiving = false;
    bool _stop = false;
    uint64_t _generation = 0;
    uint32_t _nextId = 0;
    std::deque<Unit> _input;
    std::deque<soc::DecodedPicture> _output;
    std::map<uint32_t, soc::DecodedPicture> _held;
    std::vector<std::vector<uint8_t>> _spares;
    std::mutex _mutex;
    std::condition_variable _changed;
    std::thread _worker;
};

using Table = soc::ChannelTable<Channel, kChannels, soc::Module::Vdec>;

bool ValidAttr(const VDEC_CHN_ATTR_S& a)
{
    return (a.mType == PT_H265 || a.mType == PT_H264) && a.mPicWidth > 0 && a.mPicHeight > 0 && a.mBufSize > 0 &&
           a.mOutputPixelFormat == MM_PIXEL_FORMAT_YVU_SEMIPLANAR_420;
}

} // namespace

extern "C" {

int SOC_MPI_VDEC_CreateChn(int chn, const VDEC_CHN_ATTR_S* pAttr)
{
    return Table::Inst().Create(chn, pAttr, ValidAttr, SOC_ERR_VDEC_EXIST,
                                [&] { return std::make_shared<Channel>(chn, *pAttr); });
}

int SOC_MPI_VDEC_DestroyChn(int chn)
{
    return Table::Inst().Destroy(chn);
}

int SOC_MPI_VDEC_RegisterCallback(int chn, SOC_CALLBACK_S* pCallback)
{
    if (pCallback == nullptr)
        return VdecError(soc::Reason::NullPtr);
    return Table::Inst().With(chn, [pCallback](Channel& c) {
        c.SetCallback(*pCallback);
        return 0;
    });
}

int SOC_MPI_VDEC_StartRecvStream(int chn)
{
    return Table::Inst().With(chn, [](Channel& c) {
        c.SetReceiving(true);
        return 0;
    });
}

int SOC_MPI_VDEC_StopRecvStream(int chn)
{
    return Table::Inst().With(chn, [](Channel& c) {
        c.SetReceiving(false);
        return 0;
    });
}

int SOC_MPI_VDEC_SendStream(int chn, const VDEC_STREAM_S* pStream, int timeoutMs)
{
    if (pStream == nullptr)
        return VdecError(soc::Reason::NullPtr);
    return Table::Inst().With(chn, [&](Channel& c) { return c.SendStream(*pStream, timeoutMs); });
}

int SOC_MPI_VDEC_GetImage(int chn, VIDEO_FRAME_INFO_S* pFrame, int timeoutMs)
{
    if (pFrame == nullptr)
        return VdecError(soc::Reason::NullPtr);
    return Table::Inst().With(chn, [&](Channel& c) { return c.GetImage(*pFrame, timeoutMs); });
}

int SOC_MPI_VDEC_ReleaseImage(int chn, VIDEO_FRAME_INFO_S* pFrame)
{
    if (pFrame == nullptr)
        return VdecError(soc::Reason::NullPtr);
    return Table::Inst().With(chn, [pFrame](Channel& c) { return c.ReleaseImage(*pFrame); });
}

} // extern "C"
