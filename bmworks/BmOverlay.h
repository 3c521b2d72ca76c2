#pragma once
// The date and time burnt into the recordings: for each camera whose
// recording encoder runs, a clock region at the top right and a text region
// centred at the bottom of the encoder channel, redrawn on the engine loop
// when the clock text changes.

#include "bmworks/BmTypes.h"
#include "common/FontEnglish28.h"
#include "mpp_comm/soc_rgn.h"

#include <atomic>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <string>

class BmOverlay {
public:
    struct SfOvlWindowSize {
        int w;
        int h;
        int fs; // font size of the user interface's TrueType font
    };

    struct Region {
        int modId = 0;
        int targetDevice = 0;
        int targetHandle = -1; // the encoder channel; -1: no regions
        int width = 0;
        int height = 0;
        BITMAP_S mBitmap{};
    };

    using DrawClockFunction = void* (*)(int, std::string);
    using WallClockFunction = std::time_t (*)();

    static BmOverlay* Inst();

    // From any thread: the drawing task takes them on its next turn.
    void SetDrawClockCallback(DrawClockFunction callback) { DrawClockCallback = callback; }
    void SetWallClock(WallClockFunction clock) { mWallClock = clock; }
    void SetText(std::string text);
    // From any thread: carried out on the engine loop, where the drawing runs.
    void Start();
    void Stop();
    void StartOnEngine();
    void StopOnEngine();
    void Add(CameraPosition camera, int module, int device, int channel, int width, int height);
    void Remove(CameraPosition camera);
    void UpdateRegion();
    void SetClock();
    void DrawTextToBitmap(std::string text, BITMAP_S& bitmap);

    static constexpr int BITMAP_SIZE = 1024 * 1024 / 4; // 32-bit words of each block
    static constexpr uint32_t GUARD_WORD = 0xEEEEEEEE;
    static constexpr int TEXT_WIDTH = 704;
    static constexpr int TEXT_HEIGHT = 32;
    static constexpr int CLOCK_WIDTH = 384;
    static constexpr int CLOCK_HEIGHT = 32;
    static constexpr int CLOCK_HANDLE_OFFSET = 128;

    SfOvlWindowSize sfWindowSize[5] = {
        {1152, 96, 75}, // UHD
        {768, 64, 50},  // WQHD
        {576, 48, 37},  // SHD
        {576, 48, 37},  // FHD
        {384, 32, 25},  // HD
    };
    int ymd = 1;
    std::atomic<DrawClockFunction> DrawClockCallback{nullptr};
    uint32_t* mBitmapDataText = nullptr;
    BITMAP_S mTextBitmap{};
    Region mRegionsText[MaxCam];
    std::string lastUpdateText;
    std::string newText;
    uint32_t* mBitmapDataClock = nullptr;
    BITMAP_S mClockBitmap{};
    Region mRegionsClock[MaxCam];
    std::string lastUpdateClock;
    std::string newClock;
    unsigned int mDrawToBitmapTaskId = 0; // GLib source id

private:
    BmOverlay();
    void CreateRegion(CameraPosition camera);
    void DestroyRegion(CameraPosition camera);
    void DrawChar(const FONT_CHARINFO* info, unsigned int* data, int pitch, int x, int y);
    void DrawLine(unsigned int* out, const unsigned char* row, int count);
    void SetClockPicture(CameraPosition camera);
    void SetCallbackPictures(CameraPosition camera, DrawClockFunction draw);

    std::mutex mTextMutex; // newText comes from the G-sensor thread
    // The clock shown: the program's own, which it may set (the system's until told).
    std::atomic<WallClockFunction> mWallClock{[] { return std::time(nullptr); }};
};
