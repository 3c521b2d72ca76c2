// Camera capture of the host platform: synthetic cameras. Capture devices 0
// and 1 are the two streams of the front camera, 2 and 3 those of the rear
// one (and so on); the front sensor is mounted upside down, so the platform's
// mirror and flip turn it upright. Each enabled channel runs a thread that
// draws the road scene at the device's size and rate, paced by the monotonic
// clock, into a ring of the attribute set's buffer count. When the reader
// falls behind, the oldest unread frame is overwritten, as a sensor would.

#include "mpp_comm/soc_vi.h"

#include "host/soc/Capture.h"
#include "host/soc/RoadScene.h"
#include "host/soc/SceneControl.h"
#include "host/soc/SocErrors.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kMaxId = 100;
const Clock::time_point kSceneEpoch = Clock::now();

int ViError(soc::Reason r)
{
    return soc::Error(soc::Module::Vi, r);
}

std::string CameraLabel(int dev)
{
    static const char* const kNames[] = {"FRONT", "REAR"};
    int camera = dev / 2;
    return camera < 2 ? kNames[camera] : "CAM" + std::to_string(camera);
}

bool MountedUpsideDown(int dev)
{
    return dev / 2 == 0;
}

struct Vipp {
    socVI_ATTR_S attr{};
    bool hasAttr = false;
    bool enabled = false;
    std::atomic<bool> mirror{false};
    std::atomic<bool> flip{false};
};

// One capture channel: its ring, and the thread that fills it while enabled.
class Channel {
public:
    Channel(int dev, const Vipp& vipp) : _dev(dev), _vipp(vipp) {}
    ~Channel() { Disable(); }

    void Enable()
    {
        if (_thread.joinable())
            return;
        const socVI_ATTR_S& a = _vipp.attr;
        _width = static_cast<int>(a.format.width);
        _height = static_cast<int>(a.format.height);
        _fps = a.fps > 0 ? a.fps : 30;
        {
            std::lock_guard<std::mutex> lock(_mutex);
            if (_buffers.empty()) {
                _buffers.resize(std::max<uint32_t>(a.nbufs, 2));
                for (size_t i = _buffers.size(); i-- > 0;)
                    _free.push_back(static_cast<int>(i));
            }
            _running = true;
        }
        _thread = std::thread([this] { Produce(); });
    }

    // Frames not yet read are dropped; frames still held stay valid until released.
    void Disable()
    {
        {
            std::lock_guard<std::mutex> lock(_mutex);
            _running = false;
            _free.insert(_free.end(), _ready.begin(), _ready.end());
            _ready.clear();
        }
        _wake.notify_all();
        if (_thread.joinable())
            _thread.join();
    }

    int GetFrame(VIDEO_FRAME_INFO_S& frame, int timeoutMs)
    {
        std::unique_lock<std::mutex> lock(_mutex);
        if (!_wake.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                            [this] { return !_ready.empty(); }))
            return ViError(soc::Reason::BufEmpty);
        int index = _ready.front();
        _ready.pop_front();
        _buffers[index].held = true;
        frame = _buffers[index].frame;
        return 0;
    }

    int ReleaseFrame(const VIDEO_FRAME_INFO_S& frame)
    {
        std::lock_guard<std::mutex> lock(_mutex);
        if (frame.mId >= _buffers.size() || !_buffers[frame.mId].held)
            return ViError(soc::Reason::IllegalParam);
        _buffers[frame.mId].held = false;
        _free.push_back(static_cast<int>(frame.mId));
        return 0;
    }

    bool Owns(const void* plane) const
    {
        std::lock_guard<std::mutex> lock(_mutex);
        for (const Buffer& b : _buffers) {
            if (b.pixels && b.pixels.get() == plane)
                return true;
        }
        return false;
    }

private:
    struct Buffer {
        std::unique_ptr<uint8_t[]> pixels; // allocated when first taken
        VIDEO_FRAME_INFO_S frame{};
        bool held = false;
    };

    void Produce()
    {
        const auto period = std::chrono::microseconds(1000000 / _fps);
        auto next = Clock::now();
        std::unique_lock<std::mutex> lock(_mutex);
        while (!_wake.wait_until(lock, next, [this] { return !_running; })) {
            auto now = Clock::now();
            while (next <= now)
                next += period; // a late tick is skipped, never caught up in a burst
            // Stamped with the tick it belongs to, as a sensor does, however
            // late this thread woke for it.
            auto tick = next - period;
            int index = TakeBuffer();
            if (index < 0)
                continue;
            // Under the lock: the encoder asks which camera owns a plane.
            Buffer& b = _buffers[static_cast<size_t>(index)];
            if (!b.pixels)
                b.pixels.reset(new uint8_t[static_cast<size_t>(_width) * _height * 3 / 2]);
            lock.unlock();
            Fill(static_cast<uint32_t>(index), tick);
            lock.lock();
            _ready.push_back(index);
            _wake.notify_all();
        }
    }

    // The most recently freed buffer first, so that few buffers are ever
    // touched; with none free, the oldest unread frame is overwritten.
    int TakeBuffer()
    {
        if (!_free.empty()) {
            int index = _free.back();
            _free.pop_back();
            return index;
        }
        if (_ready.empty())
            return -1;
        int index = _ready.front();
        _ready.pop_front();
        return index;
    }

    void Fill(uint32_t index, Clock::time_point when)
    {
        Buffer& b = _buffers[index];
        size_t lumaSize = static_cast<size_t>(_width) * _height;
        soc::SceneShot shot;
        soc::ApplySceneControl(when, soc::MonotonicSeconds(kSceneEpoch), shot);
        shot.frameNumber = _frameNumber++;
        shot.label = CameraLabel(_dev);
        shot.mirror = _vipp.mirror != MountedUpsideDown(_dev);
        shot.flip = _vipp.flip != MountedUpsideDown(_dev);
        soc::RenderRoadScene(b.pixels.get(), b.pixels.get() + lumaSize, _width, _height, shot);

        VIDEO_FRAME_S& f = b.frame.VFrame;
        f = VIDEO_FRAME_S{};
        f.mWidth = static_cast<uint32_t>(_width);
        f.mHeight = static_cast<uint32_t>(_height);
        f.mField = VIDEO_FIELD_FRAME;
        f.mPixelFormat = MM_PIXEL_FORMAT_YVU_SEMIPLANAR_420;
        f.mpVirAddr[0] = b.pixels.get();
        f.mpVirAddr[1] = b.pixels.get() + lumaSize;
        f.mPhyAddr[0] = reinterpret_cast<uintptr_t>(f.mpVirAddr[0]);
        f.mPhyAddr[1] = reinterpret_cast<uintptr_t>(f.mpVirAddr[1]);
        f.mStride[0] = f.mStride[1] = f.mWidth;
        f.mOffsetBottom = static_cast<int16_t>(_height - 1);
        f.mOffsetRight = static_cast<int16_t>(_width - 1);
        f.mpts = static_cast<uint64_t>(
            std::chrono::duration_cast<std::chrono::microseconds>(when.time_since_epoch()).count());
        b.frame.mId = index;
    }

    const int _dev;
    const Vipp& _vipp;
    int _width = 0;
    int _height = 0;
    uint32_t _fps = 30;
    uint32_t _frameNumber = 0;
    std::vector<Buffer> _buffers;
    std::vector<int> _free;
    std::deque<int> _ready;
    bool _running = false;
    mutable std::mutex _mutex;
    std::condition_variable _wake;
    std::thread _thread;
};

// Devices and channels by number; channels are shared so that a reader
// waiting in GetFrame keeps its channel alive.
struct Registry {
    std::mutex mutex;
    std::map<int, std::unique_ptr<Vipp>> vipps;
    std::map<std::pair<int, int>, std::shared_ptr<Channel>> channels;
};

Registry& Reg()
{
    static Registry* r = new Registry; // never destroyed: capture threads may outlive static teardown
    return *r;
}

bool ValidId(int id)
{
    return id >= 0 && id <= kMaxId;
}

// Runs f on the device under the registry lock, or returns why it cannot.
template <typename F>
int WithVipp(int dev, F f)
{
    if (!ValidId(dev))
        return ViError(soc::Reason::InvalidId);
    std::lock_guard<std::mutex> lock(Reg().mutex);
    auto it = Reg().vipps.find(dev);
    if (it == Reg().vipps.end())
        return ViError(soc::Reason::Unexist);
    return f(*it->second);
}

std::shared_ptr<Channel> FindChannel(int dev, int chn)
{
    std::lock_guard<std::mutex> lock(Reg().mutex);
    auto it = Reg().channels.find({dev, chn});
    return it == Reg().channels.end() ? nullptr : it->second;
}

} // namespace

std::string soc::CaptureLabel(const VIDEO_FRAME_INFO_S& frame)
{
    std::lock_guard<std::mutex> lock(Reg().mutex);
    for (auto& [key, channel] : Reg().channels) {
        if (channel->Owns(frame.VFrame.mpVirAddr[0]))
            return CameraLabel(key.first);
    }
    return "";
}

extern "C" int SOC_MPI_VI_CreateVipp(int dev)
{
    if (!ValidId(dev))
        return ViError(soc::Reason::InvalidId);
    if (!soc::SysReady())
        return ViError(soc::Reason::NotReady);
    std::lock_guard<std::mutex> lock(Reg().mutex);
    auto& slot = Reg().vipps[dev];
    if (slot)
        return ViError(soc::Reason::Exists);
    slot = std::make_unique<Vipp>();
    return 0;
}

extern "C" int SOC_MPI_VI_SetVippAttr(int dev, const socVI_ATTR_S* pAttr)
{
    if (pAttr == nullptr)
        return ViError(soc::Reason::NullPtr);
    if (pAttr->format.width == 0 || pAttr->format.height == 0 || pAttr->format.width % 2 != 0 ||
        pAttr->format.height % 2 != 0 || pAttr->format.pixelformat != SOC_VI_PIX_FMT_NV21M)
        return ViError(soc::Reason::IllegalParam);
    return WithVipp(dev, [&](Vipp& v) {
        if (v.enabled)
            return ViError(soc::Reason::NotPermitted);
        v.attr = *pAttr;
        v.hasAttr = true;
        return 0;
    });
}

extern "C" int SOC_MPI_VI_SetVippMirror(int dev, int value)
{
    return WithVipp(dev, [&](Vipp& v) {
        v.mirror = value != 0;
        return 0;
    });
}

extern "C" int SOC_MPI_VI_SetVippFlip(int dev, int value)
{
    return WithVipp(dev, [&](Vipp& v) {
        v.flip = value != 0;
        return 0;
    });
}

extern "C" int SOC_MPI_VI_EnableVipp(int dev)
{
    return WithVipp(dev, [](Vipp& v) {
        if (!v.hasAttr)
            return ViError(soc::Reason::NotReady);
        v.enabled = true;
        return 0;
    });
}

extern "C" int SOC_MPI_VI_DisableVipp(int dev)
{
    return WithVipp(dev, [](Vipp& v) {
        v.enabled = false;
        return 0;
    });
}

extern "C" int SOC_MPI_VI_DestoryVipp(int dev)
{
    int ret = WithVipp(dev, [dev](Vipp& v) {
        if (v.enabled)
            return ViError(soc::Reason::NotPermitted);
        for (auto& entry : Reg().channels) {
            if (entry.first.first == dev)
                return ViError(soc::Reason::NotPermitted);
        }
        return 0;
    });
    if (ret == 0) {
        std::lock_guard<std::mutex> lock(Reg().mutex);
        Reg().vipps.erase(dev);
    }
    return ret;
}

extern "C" int SOC_MPI_VI_CreateVirChn(int dev, int chn, void* pAttr)
{
    (void)pAttr;
    if (!ValidId(chn))
        return ViError(soc::Reason::InvalidId);
    return WithVipp(dev, [&](Vipp& v) {
        if (!v.enabled)
            return ViError(soc::Reason::NotReady);
        auto& slot = Reg().channels[{dev, chn}];
        if (slot)
            return ViError(soc::Reason::Exists);
        slot = std::make_shared<Channel>(dev, v);
        return 0;
    });
}

extern "C" int SOC_MPI_VI_EnableVirChn(int dev, int chn)
{
    auto channel = FindChannel(dev, chn);
    if (!channel)
        return ViError(soc::Reason::Unexist);
    channel->Enable();
    return 0;
}

extern "C" int SOC_MPI_VI_DisableVirChn(int dev, int chn)
{
    auto channel = FindChannel(dev, chn);
    if (!channel)
        return ViError(soc::Reason::Unexist);
    channel->Disable();
    return 0;
}

extern "C" int SOC_MPI_VI_DestoryVirChn(int dev, int chn)
{
    std::shared_ptr<Channel> channel;
    {
        std::lock_guard<std::mutex> lock(Reg().mutex);
        auto it = Reg().channels.find({dev, chn});
        if (it == Reg().channels.end())
            return ViError(soc::Reason::Unexist);
        channel = std::move(it->second);
        Reg().channels.erase(it);
    }
    channel->Disable();
    return 0;
}

extern "C" int SOC_MPI_VI_GetFrame(int dev, int chn, VIDEO_FRAME_INFO_S* pFrame, int timeoutMs)
{
    if (pFrame == nullptr)
        return ViError(soc::Reason::NullPtr);
    auto channel = FindChannel(dev, chn);
    if (!channel)
        return ViError(soc::Reason::Unexist);
    return channel->GetFrame(*pFrame, timeoutMs);
}

extern "C" int SOC_MPI_VI_ReleaseFrame(int dev, int chn, VIDEO_FRAME_INFO_S* pFrame)
{
    if (pFrame == nullptr)
        return ViError(soc::Reason::NullPtr);
    auto channel = FindChannel(dev, chn);
    if (!channel)
        return ViError(soc::Reason::Unexist);
    return channel->ReleaseFrame(*pFrame);
}
