#pragma once
// The lane-departure detector: calibrates its vanishing point on the road,
// then watches both lane markings and reports a departure to either side.

#include <cstdint>

struct STRUCT_LDWS_CONFIG {
    uint8_t enabled;
    uint8_t status;       // the detector's code for this frame
    uint8_t resetRequest; // 1: start again from the initial state
    int32_t levelLeft;
    int32_t levelRight;
    int32_t holdOff;
    int32_t speed;
    int32_t minSpeed;
    int32_t offsetLeft;   // warning-angle offsets of the sensitivity levels
    int32_t offsetRight;
    int32_t vanishX;      // 480 x 270 coordinates
    int32_t vanishY;
};

void __FS_LdwsFrameWork(const uint8_t* gray, int unused1, int unused2, STRUCT_LDWS_CONFIG* config);
