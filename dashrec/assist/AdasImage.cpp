#include "dashrec/assist/AdasShared.h"
#include "dashrec/assist/FsAdas.h"

#include <cstring>

int __fs_gfx_extract__nv21_540_to_270p_Y_UV(const uint8_t* luma, const uint8_t* chroma, uint8_t* grayOut,
                                             uint8_t* colourOut)
{
    int sum = 0;
    int samples = 0;
    for (int y = 0; y < ADAS_SMALL_H; y++) {
        for (int x = 0; x < ADAS_SMALL_W; x++) {
            int k = ADAS_SMALL_W * y + x;
            uint8_t grey = luma[2 * ADAS_FRAME_W * y + 2 * x];
            grayOut[k] = grey;
            colourOut[3 * k] = grey;
            colourOut[3 * k + 1] = chroma[2 * k + 1];
            colourOut[3 * k + 2] = chroma[2 * k];
            // The upper half at every second sample tells day from night.
            if (y < ADAS_SMALL_H / 2 && x % 2 == 0 && y % 2 == 0) {
                sum += grey;
                samples++;
            }
        }
    }
    return samples == 0 ? -1 : sum / samples;
}

void __fs_gfx_convert540__nv21_to_420_Y_UV(const uint8_t* luma, const uint8_t* chroma, uint8_t* out)
{
    std::memcpy(out, luma, ADAS_FRAME_W * ADAS_FRAME_H);
    uint8_t* u = out + ADAS_420_U;
    uint8_t* v = out + ADAS_420_V;
    for (int k = 0; k < ADAS_FRAME_W * ADAS_FRAME_H / 4; k++) {
        v[k] = chroma[2 * k];
        u[k] = chroma[2 * k + 1];
    }
}
