// Overlay regions of the host platform. A region keeps a copy of its last
// picture; the encoder blends the regions attached to its channel into each
// frame it receives, so the pictures are burnt into the recording.

#include "mpp_comm/soc_rgn.h"

#include "host/soc/Rgn.h"
#include "host/soc/SocErrors.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

namespace {

int RgnError(soc::Reason r)
{
    return soc::Error(soc::Module::Rgn, r);
}

struct Attachment {
    MPP_CHN_S chn;
    RGN_CHN_ATTR_S attr;
};

struct Region {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> pixels; // ARGB, transparent until a picture is set
    std::vector<Attachment> attachments;
};

// Kept for the program's life: encoders may still blend while it ends.
struct RgnState {
    std::mutex mutex;
    std::map<RGN_HANDLE, Region> regions;
};

RgnState& State()
{
    static RgnState* state = new RgnState();
    return *state;
}

bool SameChannel(const MPP_CHN_S& a, const MPP_CHN_S& b)
{
    return a.mModId == b.mModId && a.mDevId == b.mDevId && a.mChnId == b.mChnId;
}

uint8_t Mix(uint8_t under, int over, int alpha)
{
    return static_cast<uint8_t>((under * (255 - alpha) + over * alpha) / 255);
}

void Blend(const Region& r, const OVERLAY_CHN_ATTR_S& at, uint8_t* y, uint8_t* vu, int width, int height)
{
    for (uint32_t j = 0; j < r.height; j++) {
        int fy = at.mPoint.Y + static_cast<int>(j);
        for (uint32_t i = 0; i < r.width; i++) {
            int fx = at.mPoint.X + static_cast<int>(i);
            uint32_t px = r.pixels[static_cast<size_t>(j) * r.width + i];
            int alpha = static_cast<int>(std::min<uint32_t>(255, (px >> 24) * at.mFgAlpha / 128));
            if (alpha == 0 || fx < 0 || fy < 0 || fx >= width || fy >= height)
                continue;
            int red = static_cast<int>((px >> 16) & 0xFF);
            int green = static_cast<int>((px >> 8) & 0xFF);
            int blue = static_cast<int>(px & 0xFF);
            uint8_t& luma = y[static_cast<size_t>(fy) * width + fx];
            luma = Mix(luma, ((66 * red + 129 * green + 25 * blue + 128) >> 8) + 16, alpha);
            if ((fx | fy) & 1)
                continue;
            uint8_t* c = vu + static_cast<size_t>(fy / 2) * width + fx;
            c[0] = Mix(c[0], ((112 * red - 94 * green - 18 * blue + 128) >> 8) + 128, alpha);
            c[1] = Mix(c[1], ((-38 * red - 74 * green + 112 * blue + 128) >> 8) + 128, alpha);
        }
    }
}

} // namespace

namespace soc {

void RgnBlendIntoFrame(int chn, uint8_t* nv21, int width, int height)
{
    const MPP_CHN_S encoder = {MOD_ID_VENC, 0, chn};
    uint8_t* vu = nv21 + static_cast<size_t>(width) * height;
    std::lock_guard<std::mutex> lock(State().mutex);
    for (const auto& entry : State().regions) {
        for (const Attachment& a : entry.second.attachments) {
            if (SameChannel(a.chn, encoder) && a.attr.bShow)
                Blend(entry.second, a.attr.mOverlayChn, nv21, vu, width, height);
        }
    }
}

} // namespace soc

extern "C" {

int SOC_MPI_RGN_Create(RGN_HANDLE handle, const RGN_ATTR_S* pAttr)
{
    if (pAttr == nullptr)
        return RgnError(soc::Reason::NullPtr);
    const SIZE_S& size = pAttr->mOverlay.mSize;
    if (pAttr->mOverlay.mPixelFmt != MM_PIXEL_FORMAT_RGB_8888 || size.Width == 0 || size.Height == 0)
        return RgnError(soc::Reason::IllegalParam);
    std::lock_guard<std::mutex> lock(State().mutex);
    if (State().regions.count(handle) != 0)
        return RgnError(soc::Reason::Exists);
    Region& r = State().regions[handle];
    r.width = size.Width;
    r.height = size.Height;
    r.pixels.assign(static_cast<size_t>(size.Width) * size.Height, 0);
    return 0;
}

int SOC_MPI_RGN_Destroy(RGN_HANDLE handle)
{
    std::lock_guard<std::mutex> lock(State().mutex);
    return State().regions.erase(handle) == 1 ? 0 : RgnError(soc::Reason::Unexist);
}

int SOC_MPI_RGN_AttachToChn(RGN_HANDLE handle, const MPP_CHN_S* pChn, const RGN_CHN_ATTR_S* pAttr)
{
    if (pChn == nullptr || pAttr == nullptr)
        return RgnError(soc::Reason::NullPtr);
    std::lock_guard<std::mutex> lock(State().mutex);
    auto it = State().regions.find(handle);
    if (it == State().regions.end())
        return RgnError(soc::Reason::Unexist);
    for (const Attachment& a : it->second.attachments) {
        if (SameChannel(a.chn, *pChn))
            return RgnError(soc::Reason::Exists);
    }
    it->second.attachments.push_back(Attachment{*pChn, *pAttr});
    return 0;
}

int SOC_MPI_RGN_DetachFromChn(RGN_HANDLE handle, const MPP_CHN_S* pChn)
{
    if (pChn == nullptr)
        return RgnError(soc::Reason::NullPtr);
    std::lock_guard<std::mutex> lock(State().mutex);
    auto it = State().regions.find(handle);
    if (it == State().regions.end())
        return RgnError(soc::Reason::Unexist);
    auto& list = it->second.attachments;
    auto found = std::find_if(list.begin(), list.end(), [pChn](const Attachment& a) { return SameChannel(a.chn, *pChn); });
    if (found == list.end())
        return RgnError(soc::Reason::Unexist);
    list.erase(found);
    return 0;
}

// A picture smaller than the region fills its top left; the rest is clear.
int SOC_MPI_RGN_SetBitMap(RGN_HANDLE handle, const BITMAP_S* pBitmap)
{
    if (pBitmap == nullptr || pBitmap->mpData == nullptr)
        return RgnError(soc::Reason::NullPtr);
    if (pBitmap->mPixelFormat != MM_PIXEL_FORMAT_RGB_8888)
        return RgnError(soc::Reason::IllegalParam);
    std::lock_guard<std::mutex> lock(State().mutex);
    auto it = State().regions.find(handle);
    if (it == State().regions.end())
        return RgnError(soc::Reason::Unexist);
    Region& r = it->second;
    std::fill(r.pixels.begin(), r.pixels.end(), 0);
    uint32_t w = std::min(r.width, pBitmap->mWidth);
    uint32_t h = std::min(r.height, pBitmap->mHeight);
    const auto* src = static_cast<const uint32_t*>(pBitmap->mpData);
    for (uint32_t row = 0; row < h; row++)
        std::memcpy(&r.pixels[static_cast<size_t>(row) * r.width], src + static_cast<size_t>(row) * pBitmap->mWidth,
                    w * sizeof(uint32_t));
    return 0;
}

} // extern "C"
