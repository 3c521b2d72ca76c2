#pragma once
// The forward-collision detector: finds the vehicle ahead in the full-size
// picture and warns once when it has come closer.

#include <cstdint>

struct FCWS_CONFIG {
    int32_t result;   // 1: warn on this call
    int32_t hold;     // detector calls between warnings
    int32_t unused2;
    int32_t speed;    // km/h
    int32_t minSpeed; // km/h
    int32_t enabled;
    int32_t laneX;    // lane centre, 960 x 540; 0, 0: none
    int32_t laneY;
    int32_t unused8[7];
};

int __FS_StickFcwsFramework(const uint8_t* luma, const uint8_t* chroma, FCWS_CONFIG* config);
