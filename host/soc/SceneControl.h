#pragma once
// What happens before the synthetic cameras, as the board simulator sets it
// for a run: a car that stands shows a still road, and someone walking past
// crosses the picture. It lives in the file "$DASHREC_HOST_DIR/scene"; with
// no such file (a test without the simulator) the road always moves. Times
// are seconds of the monotonic clock, which every process of a run shares.

#include "host/soc/RoadScene.h"

#include <chrono>

namespace soc {

struct SceneControl {
    double stillSince = -1; // the car has stood since then; negative while it drives
    double passerStart = 0; // when someone began to walk past
    double passerSec = 0;   // how long the crossing takes; 0: nobody yet
};

double MonotonicSeconds(std::chrono::steady_clock::time_point when);

bool WriteSceneControl(const SceneControl& control);

// The control in force (read again at most a few times a second), applied to
// a shot taken at `when`: the road's time and where the passer-by is.
void ApplySceneControl(std::chrono::steady_clock::time_point when, double sceneEpochSec, SceneShot& shot);

} // namespace soc
