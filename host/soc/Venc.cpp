// Encoder channels of the host platform. Each channel copies the pictures it
// is sent into a short queue and encodes them on a thread of its own with
// libavcodec; units wait in an output queue until the engine takes them. With
// DASHREC_SOC_VENC=replay a channel instead loops units encoded once for its
// settings (see VencReplay.h): the picture is not even copied, only its time.

#include "mpp_comm/soc_venc.h"

#include "host/soc/Capture.h"
#include "host/soc/ChannelTable.h"
#include "host/soc/Rgn.h"
#include "host/soc/VencReplay.h"

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr int kChannels = 16;
constexpr size_t kEncodeQueue = 3; // pictures waiting for the encoder
constexpr size_t kReplayQueue = 1024; // times only: covers a loop being prepared
constexpr size_t kOutputQueue = 256; // units waiting for the engine
constexpr int kLiveThreads = 4;      // per encoder, so that both cameras leave the machine room

int VencError(soc::Reason r)
{
    return soc::Error(soc::Module::Venc, r);
}

bool ReplayMode()
{
    const char* mode = std::getenv("DASHREC_SOC_VENC");
    return mode != nullptr && std::strcmp(mode, "replay") == 0;
}

struct Picture {
    std::vector<uint8_t> pixels; // NV21, line length = width; empty in replay
    int width = 0;
    int height = 0;
    uint64_t pts = 0;
};

// What turns pictures into units: the live encoder or a replayed loop.
class Backend {
public:
    virtual ~Backend() = default;
    virtual bool Encode(const Picture& picture, std::vector<soc::EncodedUnit>& out) = 0;
    virtual const std::vector<uint8_t>& Header() const = 0;
};

class LiveBackend : public Backend {
public:
    bool Open(const soc::EncoderSettings& s) { return _codec.Open(s); }
    bool Encode(const Picture& p, std::vector<soc::EncodedUnit>& out) override
    {
        const uint8_t* y = p.pixels.data();
        return _codec.Encode(y, y + static_cast<size_t>(p.width) * p.height, p.width, p.height, p.width, p.pts, out);
    }
    const std::vector<uint8_t>& Header() const override { return _codec.Header(); }

private:
    soc::VencCodec _codec;
};

class ReplayBackend : public Backend {
public:
    explicit ReplayBackend(std::shared_ptr<const soc::ReplayLoop> loop) : _loop(std::move(loop)) {}
    bool Encode(const Picture& p, std::vector<soc::EncodedUnit>& out) override
    {
        soc::EncodedUnit unit = _loop->units[_next];
        _next = (_next + 1) % _loop->units.size();
        unit.pts = p.pts;
        out.push_back(std::move(unit));
        return true;
    }
    const std::vector<uint8_t>& Header() const override { return _loop->header; }

private:
    std::shared_ptr<const soc::ReplayLoop> _loop;
    size_t _next = 0;
};

class Channel {
public:
    Channel(const VENC_CHN_ATTR_S& attr, bool replay) : _attr(attr), _replay(replay)
    {
        _worker = std::thread([this] { Work(); });
    }

    ~Channel()
    {
        {
            std::lock_guard<std::mutex> lock(_mutex);
            _stop = true;
        }
        _inputReady.notify_all();
        _worker.join();
    }

    bool H265() const { return _attr.VeAttr.Type == PT_H265; }

    void SetFrameRate(const VENC_FRAME_RATE_S& rate)
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _dstFps = rate.mDstFrmRate;
    }

    void SetReceiving(bool receiving)
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _receiving = receiving;
    }

    // Overlay regions attached to channel chn are burnt into the copy.
    int SendFrame(int chn, const VIDEO_FRAME_INFO_S& frame, int timeoutMs)
    {
        const VIDEO_FRAME_S& f = frame.VFrame;
        if (f.mpVirAddr[0] == nullptr || f.mpVirAddr[1] == nullptr || f.mWidth == 0 || f.mHeight == 0)
            return VencError(soc::Reason::IllegalParam);
        std::unique_lock<std::mutex> lock(_mutex);
        if (!_receiving)
            return VencError(soc::Reason::NotPermitted);
        if (_replay)
            return QueueReplay(frame, lock);
        if (!_spaceFree.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                                 [this] { return _input.size() < kEncodeQueue; }))
            return VencError(soc::Reason::BufFull);
        Picture p = TakeSpare();
        p.width = static_cast<int>(f.mWidth);
        p.height = static_cast<int>(f.mHeight);
        p.pts = f.mpts;
        size_t luma = static_cast<size_t>(p.width) * p.height;
        p.pixels.resize(luma * 3 / 2);
        CopyPlane(p.pixels.data(), f.mpVirAddr[0], f.mStride[0], p.width, p.height);
        CopyPlane(p.pixels.data() + luma, f.mpVirAddr[1], f.mStride[1], p.width, p.height / 2);
        soc::RgnBlendIntoFrame(chn, p.pixels.data(), p.width, p.height);
        _input.push_back(std::move(p));
        _inputReady.notify_all();
        return 0;
    }

    int GetStream(VENC_STREAM_S& stream, int timeoutMs)
    {
        std::unique_lock<std::mutex> lock(_mutex);
        if (!_outputReady.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                                   [this] { return !_output.empty(); }))
            return VencError(soc::Reason::BufEmpty);
        _held = std::move(_output.front());
        _output.pop_front();
        VENC_PACK_S& pack = *stream.mpPack;
        pack = VENC_PACK_S{};
        pack.mpAddr0 = const_cast<uint8_t*>(_held.bytes->data());
        pack.mLen0 = static_cast<uint32_t>(_held.bytes->size());
        pack.mPTS = _held.pts;
        pack.mDataType = _held.key ? (H265() ? 19 : 5) : 1;
        stream.mPackCount = 1;
        stream.mSeq = _seq++;
        return 0;
    }

    int ReleaseStream()
    {
        std::lock_guard<std::mutex> lock(_mutex);
        if (!_held.bytes)
            return VencError(soc::Reason::NotPermitted);
        _held = soc::EncodedUnit{};
        return 0;
    }

    int GetHeader(bool h265, VENC_HEADER_DATA_S& header)
    {
        std::lock_guard<std::mutex> lock(_mutex);
        if (h265 != H265())
            return VencError(soc::Reason::NotPermitted);
        if (_header.empty())
            return VencError(soc::Reason::NotReady);
        header.pBuffer = _header.data();
        header.nLength = static_cast<uint32_t>(_header.size());
        return 0;
    }

    // Drops queued pictures and units; the next picture starts a new stream.
    void Reset()
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _input.clear();
        _output.clear();
        _generation++;
        _spaceFree.notify_all();
    }

private:
    int QueueReplay(const VIDEO_FRAME_INFO_S& frame, std::unique_lock<std::mutex>& lock)
    {
        if (_label.empty()) {
            lock.unlock();
            std::string label = soc::CaptureLabel(frame);
            lock.lock();
            _label = label.empty() ? "CAMERA" : label;
        }
        if (_input.size() >= kReplayQueue)
            _input.pop_front();
        Picture p;
        p.width = static_cast<int>(frame.VFrame.mWidth);
        p.height = static_cast<int>(frame.VFrame.mHeight);
        p.pts = frame.VFrame.mpts;
        _input.push_back(std::move(p));
        _inputReady.notify_all();
        return 0;
    }

    static void CopyPlane(uint8_t* dst, const void* src, uint32_t stride, int width, int rows)
    {
        const auto* from = static_cast<const uint8_t*>(src);
        size_t line = stride > 0 ? stride : static_cast<size_t>(width);
        for (int r = 0; r < rows; r++)
            std::memcpy(dst + static_cast<size_t>(r) * width, from + r * line, width);
    }

    Picture TakeSpare()
    {
        Picture p;
        if (!_spare.empty()) {
            p.pixels = std::move(_spare.back());
            _spare.pop_back();
        }
        return p;
    }

    soc::EncoderSettings Settings() const
    {
        soc::EncoderSettings s;
        s.h265 = H265();
        s.width = static_cast<int>(s.h265 ? _attr.VeAttr.AttrH265e.mPicWidth : _attr.VeAttr.AttrH264e.PicWidth);
        s.height = static_cast<int>(s.h265 ? _attr.VeAttr.AttrH265e.mPicHeight : _attr.VeAttr.AttrH264e.PicHeight);
        s.fps = static_cast<int>(_dstFps > 0 ? _dstFps : _attr.RcAttr.mDstFrmRate);
        s.gop = static_cast<int>(_attr.RcAttr.mGop > 0 ? _attr.RcAttr.mGop : _attr.VeAttr.MaxKeyInterval);
        s.bitrate = static_cast<int>(_attr.RcAttr.mBitRate);
        s.minQp = static_cast<int>(_attr.RcAttr.mMinQp);
        s.maxQp = static_cast<int>(_attr.RcAttr.mMaxQp);
        return s;
    }

    std::unique_ptr<Backend> OpenBackend(const soc::EncoderSettings& s, const std::string& label)
    {
        if (_replay) {
            auto loop = soc::ReplayLoopFor(s, label);
            return loop ? std::make_unique<ReplayBackend>(std::move(loop)) : nullptr;
        }
        soc::EncoderSettings settings = s;
        settings.threads = kLiveThreads;
        auto live = std::make_unique<LiveBackend>();
        return live->Open(settings) ? std::move(live) : nullptr;
    }

    void Work()
    {
        // The board encodes in hardware, beside the processor; here the
        // encoder and the threads it starts yield to everything else.
        setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
        std::unique_ptr<Backend> backend;
        uint64_t backendGeneration = 0;
        std::vector<soc::EncodedUnit> units;
        std::unique_lock<std::mutex> lock(_mutex);
        for (;;) {
            _inputReady.wait(lock, [this] { return _stop || !_input.empty(); });
            if (_stop)
                return;
            Picture picture = std::move(_input.front());
            _input.pop_front();
            _spaceFree.notify_all();
            uint64_t generation = _generation;
            soc::EncoderSettings settings = Settings();
            std::string label = _label;
            lock.unlock();
            if (!backend || backendGeneration != generation) {
                backend = OpenBackend(settings, label);
                backendGeneration = generation;
            }
            units.clear();
            bool ok = backend && backend->Encode(picture, units);
            lock.lock();
            if (ok && generation == _generation)
                Deliver(units, backend->Header());
            if (!picture.pixels.empty())
                _spare.push_back(std::move(picture.pixels));
        }
    }

    void Deliver(std::vector<soc::EncodedUnit>& units, const std::vector<uint8_t>& header)
    {
        if (_header.empty())
            _header = header;
        for (soc::EncodedUnit& u : units) {
            if (_output.size() >= kOutputQueue)
                _output.pop_front(); // nobody reads: the oldest unit is lost, as in a full ring
            _output.push_back(std::move(u));
        }
        _outputReady.notify_all();
    }

    const VENC_CHN_ATTR_S _attr;
    const bool _replay;
    uint32_t _dstFps = 0;
    bool _receiving = false;
    bool _stop = false;
    uint64_t _generation = 0;
    uint32_t _seq = 0;
    std::string _label;
    std::deque<Picture> _input;
    std::vector<std::vector<uint8_t>> _spare;
    std::deque<soc::EncodedUnit> _output;
    soc::EncodedUnit _held;
    std::vector<uint8_t> _header;
    std::mutex _mutex;
    std::condition_variable _inputReady;
    std::condition_variable _spaceFree;
    std::condition_variable _outputReady;
    std::thread _worker;
};

using Table = soc::ChannelTable<Channel, kChannels, soc::Module::Venc>;

bool ValidAttr(const VENC_CHN_ATTR_S& a)
{
    if (a.VeAttr.Type == PT_H265)
        return a.VeAttr.AttrH265e.mPicWidth > 0 && a.VeAttr.AttrH265e.mPicHeight > 0 && a.RcAttr.mBitRate > 0;
    if (a.VeAttr.Type == PT_H264)
        return a.VeAttr.AttrH264e.PicWidth > 0 && a.VeAttr.AttrH264e.PicHeight > 0 && a.RcAttr.mBitRate > 0;
    return false;
}

} // namespace

extern "C" {

int SOC_MPI_VENC_CreateChn(int chn, const VENC_CHN_ATTR_S* pAttr)
{
    return Table::Inst().Create(chn, pAttr, ValidAttr, SOC_ERR_VENC_EXIST,
                                [&] { return std::make_shared<Channel>(*pAttr, ReplayMode()); });
}

int SOC_MPI_VENC_DestroyChn(int chn)
{
    return Table::Inst().Destroy(chn);
}

int SOC_MPI_VENC_ResetChn(int chn)
{
    return Table::Inst().With(chn, [](Channel& c) {
        c.Reset();
        return 0;
    });
}

int SOC_MPI_VENC_SetFrameRate(int chn, const VENC_FRAME_RATE_S* pRate)
{
    if (pRate == nullptr)
        return VencError(soc::Reason::NullPtr);
    return Table::Inst().With(chn, [pRate](Channel& c) {
        c.SetFrameRate(*pRate);
        return 0;
    });
}

int SOC_MPI_VENC_RegisterCallback(int chn, SOC_CALLBACK_S* pCallback)
{
    if (pCallback == nullptr)
        return VencError(soc::Reason::NullPtr);
    return Table::Inst().With(chn, [](Channel&) { return 0; });
}

int SOC_MPI_VENC_StartRecvPic(int chn)
{
    return Table::Inst().With(chn, [](Channel& c) {
        c.SetReceiving(true);
        return 0;
    });
}

int SOC_MPI_VENC_StopRecvPic(int chn)
{
    return Table::Inst().With(chn, [](Channel& c) {
        c.SetReceiving(false);
        return 0;
    });
}

int SOC_MPI_VENC_SendFrame(int chn, VIDEO_FRAME_INFO_S* pFrame, int timeoutMs)
{
    if (pFrame == nullptr)
        return VencError(soc::Reason::NullPtr);
    return Table::Inst().With(chn, [&](Channel& c) { return c.SendFrame(chn, *pFrame, timeoutMs); });
}

int SOC_MPI_VENC_GetStream(int chn, VENC_STREAM_S* pStream, int timeoutMs)
{
    if (pStream == nullptr || pStream->mpPack == nullptr)
        return VencError(soc::Reason::NullPtr);
    return Table::Inst().With(chn, [&](Channel& c) { return c.GetStream(*pStream, timeoutMs); });
}

int SOC_MPI_VENC_ReleaseStream(int chn, VENC_STREAM_S* pStream)
{
    if (pStream == nullptr)
        return VencError(soc::Reason::NullPtr);
    return Table::Inst().With(chn, [](Channel& c) { return c.ReleaseStream(); });
}

int SOC_MPI_VENC_GetH264SpsPpsInfo(int chn, VENC_HEADER_DATA_S* pHeader)
{
    if (pHeader == nullptr)
        return VencError(soc::Reason::NullPtr);
    return Table::Inst().With(chn, [pHeader](Channel& c) { return c.GetHeader(false, *pHeader); });
}

int SOC_MPI_VENC_GetH265SpsPpsInfo(int chn, VENC_HEADER_DATA_S* pHeader)
{
    if (pHeader == nullptr)
        return VencError(soc::Reason::NullPtr);
    return Table::Inst().With(chn, [pHeader](Channel& c) { return c.GetHeader(true, *pHeader); });
}

} // extern "C"
