// Display output of the host platform: a memory LCD. Each display channel
// keeps its last frame converted to ARGB at its rectangle's size; the LCD is
// composed from the shown channels in priority order (higher on top).

#include "mpp_comm/soc_vo.h"

#include "host/soc/SocErrors.h"
#include "host/png/PngFile.h"
#include "host/soc/Vo.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>

namespace {

int VoError(soc::Reason r)
{
    return soc::Error(soc::Module::Vo, r);
}

struct Layer {
    RECT_S rect{};
    int alpha = 255;
    int priority = 0;
    bool chnEnabled = false;
    bool started = true; // a stopped channel shows nothing until started again
    bool shown = true;
    SOC_CALLBACK_S callback{nullptr, nullptr};
    std::vector<uint32_t> picture; // rect size, empty until a frame arrives
};

struct Device {
    bool enabled = false;
    VO_PUB_ATTR_S attr{VO_INTF_LCD, VO_OUTPUT_NTSC};
    std::map<int, Layer> layers;
};

// Kept for the program's life: the engine thread may still send frames
// while the program ends.
struct VoState {
    std::mutex mutex;
    Device dev;
};

VoState& State()
{
    static VoState* state = new VoState();
    return *state;
}

uint8_t Clamp(int v)
{
    return static_cast<uint8_t>(std::min(255, std::max(0, v)));
}

uint32_t Argb(int y, int u, int v)
{
    int c = y - 16;
    int d = u - 128;
    int e = v - 128;
    uint32_t r = Clamp((298 * c + 409 * e + 128) >> 8);
    uint32_t g = Clamp((298 * c - 100 * d - 208 * e + 128) >> 8);
    uint32_t b = Clamp((298 * c + 516 * d + 128) >> 8);
    return 0xFF000000u | r << 16 | g << 8 | b;
}

// NV21 frame scaled (nearest pixel) to w x h ARGB.
std::vector<uint32_t> ToArgb(const VIDEO_FRAME_S& f, uint32_t w, uint32_t h)
{
    std::vector<uint32_t> out(static_cast<size_t>(w) * h);
    const auto* luma = static_cast<const uint8_t*>(f.mpVirAddr[0]);
    const auto* vu = static_cast<const uint8_t*>(f.mpVirAddr[1]);
    uint32_t strideY = f.mStride[0] != 0 ? f.mStride[0] : f.mWidth;
    uint32_t strideVU = f.mStride[1] != 0 ? f.mStride[1] : f.mWidth;
    bool planar = f.mPixelFormat == MM_PIXEL_FORMAT_YVU_PLANAR_420;
    const auto* u = static_cast<const uint8_t*>(f.mpVirAddr[2]);
    uint32_t strideC = f.mStride[1] != 0 ? f.mStride[1] : f.mWidth / 2;
    for (uint32_t j = 0; j < h; j++) {
        uint32_t sy = j * f.mHeight / h;
        for (uint32_t i = 0; i < w; i++) {
            uint32_t sx = i * f.mWidth / w;
            uint8_t y = luma[sy * strideY + sx];
            size_t at = static_cast<size_t>(j) * w + i;
            if (planar) {
                size_t c = (sy / 2) * strideC + sx / 2;
                out[at] = Argb(y, u[c], vu[c]);
            } else {
                const uint8_t* c = vu + (sy / 2) * strideVU + (sx & ~1u);
                out[at] = Argb(y, c[1], c[0]);
            }
        }
    }
    return out;
}

int WithLayer(int layer, const std::function<int(Layer&)>& fn)
{
    std::lock_guard<std::mutex> lock(State().mutex);
    auto it = State().dev.layers.find(layer);
    return it == State().dev.layers.end() ? VoError(soc::Reason::Unexist) : fn(it->second);
}

void DeviceSize(int& w, int& h)
{
    w = State().dev.attr.mIntfType == VO_INTF_CVBS ? 720 : State().dev.attr.mIntfType == VO_INTF_HDMI ? 1920 : 320;
    h = State().dev.attr.mIntfType == VO_INTF_HDMI ? 1080 : 480;
}

uint32_t Blend(uint32_t under, uint32_t over, int alpha)
{
    uint32_t out = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        int a = static_cast<int>((under >> shift) & 0xFF);
        int b = static_cast<int>((over >> shift) & 0xFF);
        out |= static_cast<uint32_t>((b * alpha + a * (255 - alpha)) / 255) << shift;
    }
    return out;
}

void Draw(soc::LcdPicture& lcd, const Layer& l)
{
    for (uint32_t j = 0; j < l.rect.mHeight; j++) {
        int y = l.rect.mY + static_cast<int>(j);
        for (uint32_t i = 0; i < l.rect.mWidth; i++) {
            int x = l.rect.mX + static_cast<int>(i);
            if (x < 0 || y < 0 || x >= lcd.width || y >= lcd.height)
                continue;
            uint32_t& px = lcd.argb[static_cast<size_t>(y) * lcd.width + x];
            px = Blend(px, l.picture[static_cast<size_t>(j) * l.rect.mWidth + i], l.alpha);
        }
    }
}

} // namespace

namespace soc {

bool VoRaiseEvent(int layer, int chn, int event)
{
    SOC_CALLBACK_S callback{nullptr, nullptr};
    WithLayer(layer, [&callback](Layer& l) {
        callback = l.callback;
        return 0;
    });
    if (callback.callback == nullptr)
        return false;
    MPP_CHN_S source = {MOD_ID_VOU, layer, chn};
    callback.callback(callback.cookie, &source, event, nullptr);
    return true;
}

LcdPicture VoComposeLcd()
{
    std::lock_guard<std::mutex> lock(State().mutex);
    LcdPicture lcd;
    if (!State().dev.enabled)
        return lcd;
    DeviceSize(lcd.width, lcd.height);
    lcd.turned = State().dev.attr.mIntfType == VO_INTF_LCD;
    lcd.argb.assign(static_cast<size_t>(lcd.width) * lcd.height, 0xFF000000u);
    std::vector<const Layer*> order;
    for (const auto& entry : State().dev.layers) {
        const Layer& l = entry.second;
        if (l.chnEnabled && l.started && l.shown && !l.picture.empty())
            order.push_back(&l);
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const Layer* a, const Layer* b) { return a->priority < b->priority; });
    for (const Layer* l : order)
        Draw(lcd, *l);
    return lcd;
}

// The panel's row r, column c holds the upright picture's column r, row
// (panel width - 1 - c).
std::vector<uint32_t> Upright(const LcdPicture& lcd, int& w, int& h)
{
    if (!lcd.turned) {
        w = lcd.width;
        h = lcd.height;
        return lcd.argb;
    }
    w = lcd.height;
    h = lcd.width;
    std::vector<uint32_t> upright(lcd.argb.size());
    for (int r = 0; r < h; r++) {
        for (int c = 0; c < w; c++)
            upright[static_cast<size_t>(r) * w + c] = lcd.argb[static_cast<size_t>(c) * lcd.width + (h - 1 - r)];
    }
    return upright;
}

bool VoSaveLcdPng(const char* path)
{
    return VoSaveScreenPng(path, nullptr);
}

bool VoSaveScreenPng(const char* path, const SDL_Surface* ui)
{
    LcdPicture lcd = VoComposeLcd();
    if (lcd.argb.empty())
        return false;
    int w = 0;
    int h = 0;
    std::vector<uint32_t> picture = Upright(lcd, w, h);
    if (ui != nullptr && ui->format->BytesPerPixel == 4) {
        const SDL_PixelFormat* f = ui->format;
        for (int r = 0; r < std::min(h, ui->h); r++) {
            const auto* row = reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(ui->pixels) + r * ui->pitch);
            for (int c = 0; c < std::min(w, ui->w); c++) {
                Uint32 px = row[c];
                if (IsClearUiPixel(px, f))
                    continue;
                Uint8 red, green, blue;
                SDL_GetRGB(px, const_cast<SDL_PixelFormat*>(f), &red, &green, &blue);
                picture[static_cast<size_t>(r) * w + c] = 0xFF000000u | red << 16 | green << 8 | blue;
            }
        }
    }
    return host::WritePng(path, w, h, false, [&](int r, unsigned char* out) {
        for (int c = 0; c < w; c++) {
            uint32_t px = picture[static_cast<size_t>(r) * w + c];
            out[c * 3] = static_cast<unsigned char>(px >> 16);
            out[c * 3 + 1] = static_cast<unsigned char>(px >> 8);
            out[c * 3 + 2] = static_cast<unsigned char>(px);
        }
    });
}

} // namespace soc

extern "C" {

int SOC_MPI_VO_Enable(int dev)
{
    std::lock_guard<std::mutex> lock(State().mutex);
    if (dev != 0)
        return VoError(soc::Reason::InvalidId);
    State().dev.enabled = true;
    return 0;
}

int SOC_MPI_VO_Disable(int dev)
{
    std::lock_guard<std::mutex> lock(State().mutex);
    if (dev != 0 || !State().dev.enabled)
        return VoError(soc::Reason::NotPermitted);
    State().dev = Device{};
    return 0;
}

int SOC_MPI_VO_GetPubAttr(int dev, VO_PUB_ATTR_S* pAttr)
{
    std::lock_guard<std::mutex> lock(State().mutex);
    if (pAttr == nullptr)
        return VoError(soc::Reason::NullPtr);
    if (dev != 0)
        return VoError(soc::Reason::InvalidId);
    *pAttr = State().dev.attr;
    return 0;
}

int SOC_MPI_VO_SetPubAttr(int dev, const VO_PUB_ATTR_S* pAttr)
{
    std::lock_guard<std::mutex> lock(State().mutex);
    if (pAttr == nullptr)
        return VoError(soc::Reason::NullPtr);
    if (dev != 0)
        return VoError(soc::Reason::InvalidId);
    State().dev.attr = *pAttr;
    return 0;
}

int SOC_MPI_VO_AddOutsideVideoLayer(int layer)
{
    std::lock_guard<std::mutex> lock(State().mutex);
    return State().dev.enabled && layer >= 0 && layer < 16 ? 0 : VoError(soc::Reason::NotPermitted);
}

int SOC_MPI_VO_RegisterCallback(int layer, SOC_CALLBACK_S* pCallback)
{
    if (pCallback == nullptr)
        return VoError(soc::Reason::NullPtr);
    SOC_CALLBACK_S callback = *pCallback;
    return WithLayer(layer, [callback](Layer& l) {
        l.callback = callback;
        return 0;
    });
}

int SOC_MPI_VO_EnableVideoLayer(int layer)
{
    std::lock_guard<std::mutex> lock(State().mutex);
    if (!State().dev.enabled || layer < 0 || layer >= 16)
        return VoError(soc::Reason::NotPermitted);
    State().dev.layers.emplace(layer, Layer{});
    return 0;
}

int SOC_MPI_VO_DisableVideoLayer(int layer)
{
    std::lock_guard<std::mutex> lock(State().mutex);
    return State().dev.layers.erase(layer) == 1 ? 0 : VoError(soc::Reason::Unexist);
}

int SOC_MPI_VO_GetVideoLayerAttr(int layer, VO_VIDEO_LAYER_ATTR_S* pAttr)
{
    if (pAttr == nullptr)
        return VoError(soc::Reason::NullPtr);
    return WithLayer(layer, [pAttr](Layer& l) {
        pAttr->mDispRect = l.rect;
        return 0;
    });
}

int SOC_MPI_VO_SetVideoLayerAttr(int layer, const VO_VIDEO_LAYER_ATTR_S* pAttr)
{
    if (pAttr == nullptr)
        return VoError(soc::Reason::NullPtr);
    return WithLayer(layer, [pAttr](Layer& l) {
        l.rect = pAttr->mDispRect;
        l.picture.clear();
        return 0;
    });
}

int SOC_MPI_VO_SetVideoLayerAlpha(int layer, const VO_VIDEO_LAYER_ALPHA_S* pAlpha)
{
    if (pAlpha == nullptr)
        return VoError(soc::Reason::NullPtr);
    return WithLayer(layer, [pAlpha](Layer& l) {
        l.alpha = pAlpha->mAlphaMode == 1 ? std::min(255, std::max(0, pAlpha->mAlphaValue)) : 255;
        return 0;
    });
}

int SOC_MPI_VO_SetVideoLayerPriority(int layer, int priority)
{
    return WithLayer(layer, [priority](Layer& l) {
        l.priority = priority;
        return 0;
    });
}

static int SetChannel(int layer, bool enabled, bool required)
{
    return WithLayer(layer, [=](Layer& l) {
        if (l.chnEnabled == enabled && required)
            return VoError(soc::Reason::Exists);
        l.chnEnabled = enabled;
        if (!enabled)
            l.picture.clear();
        return 0;
    });
}

int SOC_MPI_VO_EnableChn(int layer, int chn)
{
    (void)chn;
    return SetChannel(layer, true, true);
}

int SOC_MPI_VO_DisableChn(int layer, int chn)
{
    (void)chn;
    return SetChannel(layer, false, false);
}

static int Run(int layer, bool started)
{
    return WithLayer(layer, [started](Layer& l) {
        if (!l.chnEnabled)
            return VoError(soc::Reason::NotPermitted);
        l.started = started;
        return 0;
    });
}

int SOC_MPI_VO_StartChn(int layer, int chn)
{
    (void)chn;
    return Run(layer, true);
}

int SOC_MPI_VO_StopChn(int layer, int chn)
{
    (void)chn;
    return Run(layer, false);
}

static int Show(int layer, bool shown)
{
    return WithLayer(layer, [shown](Layer& l) {
        l.shown = shown;
        return 0;
    });
}

int SOC_MPI_VO_ShowChn(int layer, int chn)
{
    (void)chn;
    return Show(layer, true);
}

int SOC_MPI_VO_HideChn(int layer, int chn)
{
    (void)chn;
    return Show(layer, false);
}

int SOC_MPI_VO_SetChnDispBufNum(int layer, int chn, int num)
{
    (void)chn;
    (void)num;
    return WithLayer(layer, [](Layer&) { return 0; });
}

int SOC_MPI_VO_SendFrame(int layer, int chn, VIDEO_FRAME_INFO_S* pFrame, int timeoutMs)
{
    (void)chn;
    (void)timeoutMs;
    if (pFrame == nullptr)
        return VoError(soc::Reason::NullPtr);
    const VIDEO_FRAME_S& f = pFrame->VFrame;
    bool planar = f.mPixelFormat == MM_PIXEL_FORMAT_YVU_PLANAR_420;
    if (f.mpVirAddr[0] == nullptr || f.mpVirAddr[1] == nullptr || (planar && f.mpVirAddr[2] == nullptr) ||
        f.mWidth == 0 || f.mHeight == 0)
        return VoError(soc::Reason::IllegalParam);
    RECT_S rect{};
    int ret = WithLayer(layer, [&rect](Layer& l) {
        rect = l.rect;
        return l.chnEnabled ? 0 : VoError(soc::Reason::NotPermitted);
    });
    if (ret != 0)
        return ret;
    // Converted outside the lock: the engine thread must not wait on a screenshot.
    std::vector<uint32_t> picture = ToArgb(f, rect.mWidth, rect.mHeight);
    return WithLayer(layer, [&](Layer& l) {
        if (l.rect.mWidth != rect.mWidth || l.rect.mHeight != rect.mHeight)
            return VoError(soc::Reason::NotReady);
        l.picture = std::move(picture);
        return 0;
    });
}

} // extern "C"
