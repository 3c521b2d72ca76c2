#pragma once
// The lane detection core: narrow bright stripes below the horizon voted into
// lines, the strongest left and right lines kept, a per-frame departure
// decision and the vanishing point's calibration. Row 0 of every picture
// handed in is the horizon row; the state is file-level.

#include <cstdint>

// The lane geometry of the reduced picture.
struct LDWS_GEOMETRY {
    uint16_t width;        // W
    uint16_t height;       // HT
    uint16_t left;         // L: left margin of the region searched
    uint16_t roiWidth;     // RW
    uint16_t right;        // R: right margin
    uint16_t vanishX;      // VX
    uint16_t vanishY;      // VY: the horizon row
    uint16_t regionHeight; // RH: rows searched below the horizon
    uint16_t bottomMargin; // BM: rows left out at the bottom
    uint16_t topRow;       // TR
    uint16_t angleLeft;    // AL: left warning angle, degrees
    uint16_t angleRight;   // AR
    uint16_t warnXLeft;    // XL: the left warning line at row RH
    uint16_t warnXRight;   // XR
    uint16_t rhoMin;       // RMIN
    uint16_t rhoMax;       // RMAX, exclusive
    uint16_t tolerance;    // TOL: rho tolerance around the vanishing point
};
extern LDWS_GEOMETRY _ldws;

// A line: x S(theta) + y C(theta) = 1024 rho; theta 0 is no line.
struct RT_COORDINATES {
    int rho;
    int theta;
    int score;
};

// Decision codes besides departure left (1) and right (2).
constexpr int LANE_FROZEN_LEFT = 16;
constexpr int LANE_FROZEN_RIGHT = 32;
constexpr int CALIBRATION_GOING = 99;
constexpr int CALIBRATION_DONE = 0;
constexpr int CALIBRATION_FAILED = 111;

// The initial geometry, with the given warning angles.
void InitSetting(int angleLeft, int angleRight);
// Warning angles within their limits and the warning lines at row RH.
void UpdateWarningX(int angleLeft, int angleRight);
void ClearHoughGraph();

int RunLaneCore(const uint8_t* img, int* leftRho, int* leftTheta, int* rightRho, int* rightTheta);
int RunAutoCalibration(const uint8_t* img, int* leftRho, int* leftTheta, int* rightRho, int* rightTheta,
                       int samples);

void AdjustmentVP(int x, int dy);
void GetVanishPoint(const RT_COORDINATES& a, const RT_COORDINATES& b, int* x, int* y);
int GetRhoFromRule(int theta);
int IsRightLane(int rho, int theta);
int HTransformRTheta2XY(int rho, int theta, int* y);
void EdgeDetectionFilter(const uint8_t* img, uint8_t* edge, int yStart, int yEnd, int xStart, int xEnd);
void NoiseFilter(uint8_t* edge, int w, int h);
void NoiseFilter_CAL(uint8_t* edge, int w, int h);
void HTransformXY2RTheta(const uint8_t* edge, RT_COORDINATES* candidates, int rows, int (*filter)(int, int));
void EvaluationLines(const RT_COORDINATES* candidates, RT_COORDINATES* lanes);
int DecideTwoLane(const RT_COORDINATES* lanes);

// The edge map the core works on, W bytes a row.
uint8_t* LaneEdgeMap();
