#include "dashrec/assist/FsAdas.h"

#include "dashrec/assist/AdasShared.h"
#include "dashrec/assist/Fcws.h"
#include "dashrec/assist/Ldws.h"

#include <cstdio>
#include <cstring>

SHARED_ADAS_DATA _shared_adas_data;

namespace {

// The lane detector runs only above this speed; below it keeps its state.
constexpr int LANE_SPEED = 20;
// Lane states for which no lane centre is handed to the collision detector.
constexpr uint8_t LANE_LOST_LEFT = 4;
constexpr uint8_t LANE_LOST_RIGHT = 8;

STRUCT_LDWS_CONFIG ldwsConfig;
FCWS_CONFIG fcwsConfig;
uint32_t frameCount;
bool setUpDue = true;

// All working memory is static: a frame needs no allocation.
uint8_t smallGray[ADAS_SMALL_W * ADAS_SMALL_H];
uint8_t smallColour[ADAS_SMALL_W * ADAS_SMALL_H * 3];

void CopyInputs(const int* block)
{
    ldwsConfig.speed = block[ADAS_SPEED];
    ldwsConfig.minSpeed = block[ADAS_LDWS_MIN_SPEED];
    ldwsConfig.holdOff = block[ADAS_LDWS_HOLD_OFF];
    ldwsConfig.enabled = static_cast<uint8_t>(block[ADAS_LDWS_ON]);
    ldwsConfig.levelLeft = block[ADAS_LDWS_LEVEL_LEFT];
    ldwsConfig.levelRight = block[ADAS_LDWS_LEVEL_RIGHT];
    fcwsConfig.speed = block[ADAS_SPEED];
    fcwsConfig.enabled = block[ADAS_FCWS_ON];
    fcwsConfig.minSpeed = block[ADAS_FCWS_MIN_SPEED];
    fcwsConfig.hold = block[ADAS_FCWS_HOLD];
}

bool SetUpOnce()
{
    if (!setUpDue)
        return true;
    std::printf("*MSG from FSS* FS_ADAS version__: %s\n", __fs_adas_version());
    std::printf("*MSG from FSS* FS_ADAS date__   : %s\n", __fs_adas_release_date());
    if (__fs_init_adas() != 0) {
        std::printf("*MSG from FSS* FS ADAS INTURREPT!!! Memory initialze fault.");
        return false;
    }
    setUpDue = false;
    return true;
}

void RunLane(int* block)
{
    if (block[ADAS_SPEED] > LANE_SPEED) {
        __FS_LdwsFrameWork(smallGray, 0, 0, &ldwsConfig);
        _shared_adas_data.vanishX = ldwsConfig.vanishX;
        _shared_adas_data.vanishY = ldwsConfig.vanishY;
    }
    if (block[ADAS_LDWS_ON] != 0 && block[ADAS_SPEED] > block[ADAS_LDWS_MIN_SPEED])
        block[ADAS_LDWS_RESULT] = ldwsConfig.status;
}

void RunCollision(const uint8_t* luma, const uint8_t* chroma, int* block)
{
    if (frameCount % 2 != 0 || block[ADAS_FCWS_ON] == 0)
        return;
    bool laneKnown = ldwsConfig.status != LANE_LOST_LEFT && ldwsConfig.status != LANE_LOST_RIGHT;
    fcwsConfig.laneX = laneKnown ? 2 * _shared_adas_data.vanishX : 0;
    fcwsConfig.laneY = laneKnown ? 2 * _shared_adas_data.vanishY : 0;
    __FS_StickFcwsFramework(luma, chroma, &fcwsConfig);
    block[ADAS_FCWS_RESULT] = fcwsConfig.result;
}

} // namespace

const char* __fs_adas_version()
{
    return "0.0.4";
}

const char* __fs_adas_release_date()
{
    return "2020-11-26";
}

int __fs_init_adas()
{
    std::memset(&ldwsConfig, 0, sizeof(ldwsConfig));
    return 0;
}

int __fs_adas_config_for_quick_test(int* block)
{
    block[ADAS_SPEED] = 0;
    block[ADAS_LDWS_LEVEL_LEFT] = 3;
    block[ADAS_LDWS_LEVEL_RIGHT] = 3;
    block[ADAS_LDWS_HOLD_OFF] = 30;
    block[ADAS_LDWS_MIN_SPEED] = 50;
    block[ADAS_LDWS_ON] = 1;
    return 0;
}

int __fs_adas_main_process(const uint8_t* luma, const uint8_t* chroma, int* block)
{
    frameCount++;
    CopyInputs(block);
    block[ADAS_FCWS_RESULT] = 0;
    block[ADAS_LDWS_RESULT] = LDWS_QUIET;
    if (!SetUpOnce())
        return -1;
    _shared_adas_data.brightness = __fs_gfx_extract__nv21_540_to_270p_Y_UV(luma, chroma, smallGray, smallColour);
    RunLane(block);
    RunCollision(luma, chroma, block);
    return 0;
}
