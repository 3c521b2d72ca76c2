#include "bmworks/BmOverlay.h"

#include "bmworks/BmLog.h"
#include "bmworks/bmworks.h"

#include <glib.h>

#include <cstdio>
#include <cstring>

namespace {

// Region positions are multiples of 16 video pixels.
int Align16(int v)
{
    return v / 16 * 16;
}

constexpr int kClockY = 96;
constexpr uint32_t kForegroundAlpha = 92;

// A picture in a 1 MiB block, its data at the first 16-byte boundary above the
// block's start.
BITMAP_S BlockBitmap(uint32_t* block, int width, int height)
{
    uintptr_t data = (reinterpret_cast<uintptr_t>(block) + 16) & ~static_cast<uintptr_t>(15);
    return BITMAP_S{MM_PIXEL_FORMAT_RGB_8888, static_cast<uint32_t>(width), static_cast<uint32_t>(height),
                    reinterpret_cast<void*>(data)};
}

gboolean gDrawToBitmapTask(gpointer data)
{
    static_cast<BmOverlay*>(data)->UpdateRegion();
    return 1;
}

gboolean gStartOverlay(gpointer data)
{
    static_cast<BmOverlay*>(data)->StartOnEngine();
    return G_SOURCE_REMOVE;
}

gboolean gStopOverlay(gpointer data)
{
    static_cast<BmOverlay*>(data)->StopOnEngine();
    return G_SOURCE_REMOVE;
}

void LogRegionError(int line)
{
    BmPrintRule('*', 76);
    printf(" BmOverlay error...%d\n", line);
    BmPrintRule('*', 76);
}

} // namespace

BmOverlay* BmOverlay::Inst()
{
    static BmOverlay* overlay = new BmOverlay(); // kept for the program's life
    return overlay;
}

BmOverlay::BmOverlay()
{
    mBitmapDataText = new uint32_t[BITMAP_SIZE]();
    mTextBitmap = BlockBitmap(mBitmapDataText, TEXT_WIDTH, TEXT_HEIGHT);
    mBitmapDataClock = new uint32_t[BITMAP_SIZE]();
    mClockBitmap = BlockBitmap(mBitmapDataClock, CLOCK_WIDTH, CLOCK_HEIGHT);
}

void BmOverlay::SetText(std::string text)
{
    std::lock_guard<std::mutex> lock(mTextMutex);
    newText = std::move(text);
}

// The engine loop's thread owns the default context while it runs; before
// that (and on that thread) the work is done at once.
void BmOverlay::Start()
{
    g_main_context_invoke(nullptr, gStartOverlay, this);
}

void BmOverlay::Stop()
{
    g_main_context_invoke(nullptr, gStopOverlay, this);
}

void BmOverlay::StartOnEngine()
{
    mBitmapDataText[0] = mBitmapDataClock[0] = 0;
    mBitmapDataText[BITMAP_SIZE - 1] = mBitmapDataClock[BITMAP_SIZE - 1] = GUARD_WORD;
    lastUpdateText = lastUpdateClock = " ";
    if (mDrawToBitmapTaskId == 0)
        mDrawToBitmapTaskId = g_timeout_add(100, gDrawToBitmapTask, this);
}

void BmOverlay::StopOnEngine()
{
    if (mDrawToBitmapTaskId != 0)
        g_source_remove(mDrawToBitmapTaskId);
    mDrawToBitmapTaskId = 0;
}

void BmOverlay::SetClock()
{
    if (ymd != 1) {
        newClock = " ";
        return;
    }
    time_t now = mWallClock.load()();
    struct tm t {};
    localtime_r(&now, &t);
    char text[64];
    snprintf(text, sizeof(text), " %04d.%02d.%02d  %02d:%02d:%02d ", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
             t.tm_hour, t.tm_min, t.tm_sec);
    newClock = text;
}

void BmOverlay::Add(CameraPosition camera, int module, int device, int channel, int width, int height)
{
    VideoSize vs = BmWorks::GetVideoSize(height);
    Region& r = mRegionsText[camera];
    if (r.targetHandle != -1)
        Remove(camera);
    r.modId = module;
    r.targetDevice = device;
    r.targetHandle = channel;
    r.width = width;
    r.height = height;
    r.mBitmap = BITMAP_S{MM_PIXEL_FORMAT_RGB_8888, static_cast<uint32_t>(sfWindowSize[vs].w),
                         static_cast<uint32_t>(sfWindowSize[vs].h), mClockBitmap.mpData};
    {
        std::lock_guard<std::mutex> lock(mTextMutex);
        lastUpdateText = newText;
    }
    lastUpdateClock = " ";
    SetClock();
    CreateRegion(camera);
}

void BmOverlay::CreateRegion(CameraPosition camera)
{
    const Region& r = mRegionsText[camera];
    int clock = camera + CLOCK_HANDLE_OFFSET;
    RGN_ATTR_S attr{};
    attr.mType = OVERLAY_RGN;
    attr.mOverlay.mPixelFmt = MM_PIXEL_FORMAT_RGB_8888;
    attr.mOverlay.mSize = {TEXT_WIDTH, TEXT_HEIGHT};
    if (SOC_MPI_RGN_Create(camera, &attr) != 0)
        LogRegionError(289);
    attr.mOverlay.mSize = {r.mBitmap.mWidth, r.mBitmap.mHeight};
    if (SOC_MPI_RGN_Create(clock, &attr) != 0)
        LogRegionError(301);

    MPP_CHN_S chn = {static_cast<MOD_ID_E>(r.modId), r.targetDevice, r.targetHandle};
    RGN_CHN_ATTR_S at{};
    at.bShow = 1;
    at.mType = OVERLAY_RGN;
    at.mOverlayChn.mFgAlpha = kForegroundAlpha;
    at.mOverlayChn.mBgAlpha = 0;
    at.mOverlayChn.mLayer = 0;
    at.mOverlayChn.mPoint = {Align16((r.width - TEXT_WIDTH) / 2),
                             Align16(r.height - TEXT_HEIGHT - r.height * 3 / 100)};
    if (SOC_MPI_RGN_AttachToChn(camera, &chn, &at) != 0)
        LogRegionError(332);
    at.mOverlayChn.mPoint = {Align16(r.width - static_cast<int>(r.mBitmap.mWidth)), Align16(kClockY)};
    if (SOC_MPI_RGN_AttachToChn(clock, &chn, &at) != 0)
        LogRegionError(348);
}

void BmOverlay::Remove(CameraPosition camera)
{
    DestroyRegion(camera);
    mRegionsText[camera].targetHandle = -1;
}

void BmOverlay::DestroyRegion(CameraPosition camera)
{
    const Region& r = mRegionsText[camera];
    MPP_CHN_S chn = {static_cast<MOD_ID_E>(r.modId), r.targetDevice, r.targetHandle};
    for (int handle : {static_cast<int>(camera), camera + CLOCK_HANDLE_OFFSET}) {
        SOC_MPI_RGN_DetachFromChn(handle, &chn);
        SOC_MPI_RGN_Destroy(handle);
    }
}

// At most once a second: only a changed clock text is drawn.
void BmOverlay::UpdateRegion()
{
    SetClock();
    if (newClock == lastUpdateClock)
        return;
    lastUpdateClock = newClock;
    DrawClockFunction draw = DrawClockCallback;
    if (draw == nullptr) {
        mBitmapDataClock[BITMAP_SIZE - 1] = GUARD_WORD;
        DrawTextToBitmap(lastUpdateClock, mClockBitmap);
        if (mBitmapDataClock[BITMAP_SIZE - 1] != GUARD_WORD) {
            BmPrintRule('=', 80);
            printf("                BmOverlay::UpdateRegion()..mem error(clock) %p\n",
                   reinterpret_cast<void*>(static_cast<uintptr_t>(mBitmapDataClock[BITMAP_SIZE - 1])));
            BmPrintRule('=', 80);
            g_assert(mBitmapDataClock[BITMAP_SIZE - 1] == 0xeeeeeeee);
        }
    }
    for (int camera = 0; camera < MaxCam; camera++) {
        if (mRegionsText[camera].targetHandle == -1)
            continue;
        if (draw == nullptr)
            SOC_MPI_RGN_SetBitMap(camera + CLOCK_HANDLE_OFFSET, &mClockBitmap);
        else
            SetCallbackPictures(static_cast<CameraPosition>(camera), draw);
    }
}

// The user interface draws the clock at the video's size, and its debug
// text, if it has one, into the text region.
void BmOverlay::SetCallbackPictures(CameraPosition camera, DrawClockFunction draw)
{
    Region& r = mRegionsText[camera];
    int vs = BmWorks::GetVideoSize(r.height);
    r.mBitmap.mpData = draw(vs, ymd != 0 ? lastUpdateClock : std::string());
    if (r.mBitmap.mpData != nullptr)
        SOC_MPI_RGN_SetBitMap(camera + CLOCK_HANDLE_OFFSET, &r.mBitmap);
    r.mBitmap.mpData = draw(vs + 100, std::string());
    if (r.mBitmap.mpData != nullptr)
        SOC_MPI_RGN_SetBitMap(camera, &r.mBitmap);
}

void BmOverlay::DrawTextToBitmap(std::string text, BITMAP_S& bitmap)
{
    unsigned int textWidth = 0;
    for (unsigned char c : text)
        textWidth += static_cast<unsigned int>(FontEnglish_28_CharInfo[c - FONT_ENGLISH_28_FIRST].bytesPerLine);
    if (textWidth > bitmap.mWidth) {
        printf("BmOverlay:Too long text = (%d < %d) %s\n", static_cast<int>(bitmap.mWidth), static_cast<int>(textWidth),
               text.c_str());
        g_assert(bitmap.mWidth >= textWidth);
    }
    int width = static_cast<int>(bitmap.mWidth);
    auto* data = static_cast<unsigned int*>(bitmap.mpData);
    std::memset(data, 0, static_cast<size_t>(width) * bitmap.mHeight * 4);
    int x = (width - static_cast<int>(textWidth)) / 2;
    int y = (static_cast<int>(bitmap.mHeight) - FONT_ENGLISH_28_HEIGHT) / 2;
    for (unsigned char c : text) {
        const FONT_CHARINFO* info = &FontEnglish_28_CharInfo[c - FONT_ENGLISH_28_FIRST];
        DrawChar(info, data, width, x, y);
        x += info->bytesPerLine;
    }
}

void BmOverlay::DrawChar(const FONT_CHARINFO* info, unsigned int* data, int pitch, int x, int y)
{
    for (int row = 0; row < FONT_ENGLISH_28_HEIGHT; row++)
        DrawLine(data + static_cast<size_t>(y + row) * pitch + x, info->pData + row * info->bytesPerLine,
                 info->bytesPerLine);
}

// Opaque grey of the glyph's level: black cells with white ink.
void BmOverlay::DrawLine(unsigned int* out, const unsigned char* row, int count)
{
    for (int i = 0; i < count; i++)
        out[i] = 0xFF000000u + row[i] * 0x10000u + row[i] * 0x100u + row[i];
}
