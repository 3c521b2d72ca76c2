#include "dashrec/assist/Ldws.h"

#include "dashrec/assist/AdasShared.h"
#include "dashrec/assist/FsAdas.h"
#include "dashrec/assist/LaneCore.h"

#include <algorithm>

namespace {

enum STATE { SET_UP = 0, RUNNING = 1, CALIBRATING = 2, RECALIBRATE = 3 };

constexpr int CALIBRATION_SAMPLES = 20;
constexpr int CALIBRATED_TOLERANCE = 25;
constexpr int ANGLE_LEFT = 57;
constexpr int ANGLE_RIGHT = 123;
constexpr int HOLD_OFF_MIN = 11;
constexpr int HOLD_OFF_MAX = 150;

// Warning-angle offsets of sensitivity levels 1 to 5; a higher level warns
// earlier on its side.
const int LEFT_OFFSET[5] = {+6, +3, 0, -3, -6};
const int RIGHT_OFFSET[5] = {-6, -3, 0, +3, +6};

int stsLdws = SET_UP;
int holdOffCounter;
int leftRho, leftTheta, rightRho, rightTheta;

int LevelOffset(const int* table, int level)
{
    return level >= 1 && level <= 5 ? table[level - 1] : 0;
}

void UpdateSensitivity(STRUCT_LDWS_CONFIG* config)
{
    config->offsetLeft = LevelOffset(LEFT_OFFSET, config->levelLeft);
    config->offsetRight = LevelOffset(RIGHT_OFFSET, config->levelRight);
    UpdateWarningX(ANGLE_LEFT + config->offsetLeft, ANGLE_RIGHT + config->offsetRight);
}

void InitMemoryLdws()
{
    std::fill(LaneEdgeMap(), LaneEdgeMap() + ADAS_SMALL_W * ADAS_SMALL_W, 0);
    ClearHoughGraph();
}

int Calibrate(const uint8_t* gray)
{
    int result = RunAutoCalibration(gray + _ldws.vanishY * _ldws.width, &leftRho, &leftTheta, &rightRho,
                                    &rightTheta, CALIBRATION_SAMPLES);
    if (result == CALIBRATION_DONE) {
        stsLdws = RUNNING;
        _ldws.tolerance = CALIBRATED_TOLERANCE;
        return LDWS_CALIBRATED;
    }
    if (result == CALIBRATION_FAILED)
        stsLdws = RECALIBRATE;
    return result;
}

int Step(const uint8_t* gray, const STRUCT_LDWS_CONFIG* config)
{
    ClearHoughGraph();
    switch (stsLdws) {
    case SET_UP:
        InitMemoryLdws();
        [[fallthrough]];
    case RECALIBRATE:
        InitSetting(ANGLE_LEFT + config->offsetLeft, ANGLE_RIGHT + config->offsetRight);
        stsLdws = CALIBRATING;
        return Calibrate(gray);
    case CALIBRATING:
        return Calibrate(gray);
    default:
        return RunLaneCore(gray + _ldws.vanishY * _ldws.width, &leftRho, &leftTheta, &rightRho, &rightTheta);
    }
}

// After a warning the side stays quiet for the configured number of frames;
// a departure on the frame the quiet ends starts the next quiet at once.
int HoldOff(int status, const STRUCT_LDWS_CONFIG* config)
{
    int reported = status;
    if (holdOffCounter > 0) {
        holdOffCounter--;
        reported = LDWS_QUIET;
    }
    if ((status == LDWS_LEFT || status == LDWS_RIGHT) && holdOffCounter == 0)
        holdOffCounter = std::clamp(config->holdOff, HOLD_OFF_MIN, HOLD_OFF_MAX) & 0xFF;
    return reported;
}

} // namespace

void __FS_LdwsFrameWork(const uint8_t* gray, int, int, STRUCT_LDWS_CONFIG* config)
{
    if (config->resetRequest == 1) {
        config->resetRequest = 0;
        stsLdws = SET_UP;
    }
    UpdateSensitivity(config);
    int status = HoldOff(Step(gray, config), config);
    config->vanishX = _ldws.vanishX;
    config->vanishY = _ldws.vanishY;
    if (config->speed < config->minSpeed)
        status = LDWS_TOO_SLOW;
    config->status = static_cast<uint8_t>(status);
}
