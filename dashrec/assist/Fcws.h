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

// Where the vehicle is in the picture, as the finders class it.
enum FCWS_POSITION { FCWS_NONE = 0, FCWS_FAR = 1, FCWS_NEAR = 2 };

// The darkest band of a window of the last analysed picture: the shade
// under a vehicle. Its top row goes to bottom (-1 when it jumped away from
// the row found before); returns the position class.
int getShadePosition(int x, int y, int w, int h, int unused, int* bottom);
