#pragma once
// What the parts of the driver-assistance library share: the reduced picture,
// the analysis record, the running-average queue and the picture conversions.

#include <cstdint>

// The analysis size: the camera frame halved in each side.
constexpr int ADAS_SMALL_W = 480;
constexpr int ADAS_SMALL_H = 270;
// The planar 4:2:0 copy of a camera frame: luma, then U, then V.
constexpr int ADAS_420_U = 518400;
constexpr int ADAS_420_V = 648000;
constexpr int ADAS_420_SIZE = 777600;

struct SHARED_ADAS_DATA {
    int32_t brightness; // mean of the reduced frame's upper half
    int32_t unused1[3];
    int32_t vanishX;    // the lane detector's vanishing point, 480 x 270
    int32_t vanishY;
    int32_t unused2[33];
};
extern SHARED_ADAS_DATA _shared_adas_data;

// A ring of up to eight values with their running sum.
struct FS_QUE {
    uint32_t writeCount;
    uint32_t readCount;
    int32_t slots[8];
    uint32_t capacity; // a power of two
    uint32_t mask;
    int32_t sum;
    int32_t held;
};

int InitQ(FS_QUE* q, int n);
bool IsFullQ(const FS_QUE* q);
bool IsEmptyQ(const FS_QUE* q);
int PushQ(FS_QUE* q, int v);
int PutQ(FS_QUE* q, int v);
int GetQ(FS_QUE* q, int* out);
int SeeQHead(const FS_QUE* q);
int SeeQTail(const FS_QUE* q);
int GetBitResolution(int v);

// Every second pixel of every second row into grey and Y/U/V pictures of
// 480 x 270; returns the mean grey of the upper half, or -1 without samples.
int __fs_gfx_extract__nv21_540_to_270p_Y_UV(const uint8_t* luma, const uint8_t* chroma, uint8_t* grayOut,
                                             uint8_t* colourOut);
// The frame as one planar 4:2:0 picture of ADAS_420_SIZE bytes.
void __fs_gfx_convert540__nv21_to_420_Y_UV(const uint8_t* luma, const uint8_t* chroma, uint8_t* out);
