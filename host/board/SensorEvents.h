#pragma once
// Scenario events of the sensors, one parser per event kind (rows of the
// event table in Scenario.cpp):
//   gps at 37.5665N 126.9780E    position (and fix) from now on
//   gps drive 60km/h [90deg]     straight on at a speed, optionally a new heading
//   gps route straight 60kmh     the same, on along the present heading
//   gps turn -90deg              a turn by the angle (positive to the right)
//   gps lost | gps fix           the fix is lost or regained
//   gps replay FILE              a captured NMEA log instead of the route
//   shock 2.5g                   one jolt of that size
//   tap 240 160                  one tap at that screen point
//   motion [4s]                  someone walks past the cameras (3 s without a time)

#include "host/board/Scenario.h"

#include <functional>
#include <string>
#include <vector>

namespace board {

using EventWords = std::vector<std::string>;
using EventApply = std::function<void(BoardState&)>;

bool ParseGps(const EventWords& args, EventApply& apply, std::string& error);
bool ParseShock(const EventWords& args, EventApply& apply, std::string& error);
bool ParseMotion(const EventWords& args, EventApply& apply, std::string& error);
bool ParseTap(const EventWords& args, EventApply& apply, std::string& error);

} // namespace board
