#pragma once
// Where each camera's live stream is served; the phone is told the same.

#include "bmworks/BmNetPending.h"

struct BmRtspMount {
    const char* service;
    const char* path;
};

inline constexpr BmRtspMount RTSP_MOUNTS[MaxCam] = {
    {"8586", "/live_front"},
    {"8587", "/live_rear"},
};
