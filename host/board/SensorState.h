#pragma once
// What the scenario says of the GPS, the accelerometer and the touch panel.
// Shocks and taps are counted: each new one is played once as a pulse.

#include <string>

namespace board {

struct GpsState {
    bool fix = true;
    double latitude = 37.5665; // degrees, north positive
    double longitude = 126.9780; // degrees, east positive
    int placed = 0; // "gps at" events so far: the route starts again from there
    double kmh = 0;
    double heading = 0; // degrees clockwise from north
    std::string talker = "GP"; // "GN" for a module of several satellite systems
    std::string replay; // a captured log played instead of the route
};

struct SensorState {
    GpsState gps;
    int shocks = 0;
    double shockG = 0;
    int motions = 0; // something moving before the cameras
    double motionSec = 0; // how long the last one lasts
    int taps = 0;
    int tapX = 0; // screen pixels
    int tapY = 0;
};

} // namespace board
