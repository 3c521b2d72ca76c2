#pragma once
// The driver-assistance library: lane departure and forward collision read
// from the front camera's picture. Free functions with file-level state and
// static buffers; one thread calls the entry, one frame at a time.

#include <cstdint>

// The parameter block that the caller fills and reads on every frame.
enum ADAS_SLOT {
    ADAS_SPEED = 0,            // in: km/h
    ADAS_LDWS_RESULT = 1,      // out: lane-departure code
    ADAS_LDWS_LEVEL_LEFT = 2,  // in: sensitivity 1..5, 3 neutral
    ADAS_LDWS_LEVEL_RIGHT = 3, // in
    ADAS_LDWS_HOLD_OFF = 4,    // in: analysed frames after a warning
    ADAS_LDWS_MIN_SPEED = 5,   // in: km/h
    ADAS_LDWS_ON = 6,          // in: 0 / 1
    ADAS_FCWS_RESULT = 7,      // out: 1 = warn
    ADAS_FCWS_HOLD = 8,        // in: collision runs between warnings
    ADAS_FCWS_MIN_SPEED = 9,   // in: km/h
    ADAS_FCWS_ON = 10,         // in: 0 / 1
    ADAS_SLOTS = 11,
};

// Lane-departure codes in the result slot; the caller acts on the first two.
enum LDWS_CODE {
    LDWS_NONE = 0,
    LDWS_LEFT = 1,
    LDWS_RIGHT = 2,
    LDWS_QUIET = '0',       // no warning, held off, switched off or too slow
    LDWS_TOO_SLOW = '@',
    LDWS_CALIBRATING = 'c',
    LDWS_CALIBRATED = 'd',
    LDWS_CALIBRATION_FAILED = 'o',
};

// The camera frame the library analyses: 960 x 540 NV21.
constexpr int ADAS_FRAME_W = 960;
constexpr int ADAS_FRAME_H = 540;

int __fs_adas_main_process(const uint8_t* luma, const uint8_t* chroma, int* block);
int __fs_init_adas();
const char* __fs_adas_version();
const char* __fs_adas_release_date();
// A bench configuration; the running system fills the block itself.
int __fs_adas_config_for_quick_test(int* block);
