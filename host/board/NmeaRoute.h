#pragma once
// The GPS module of the simulated car: each second it moves along the route
// and sends what a module sends, RMC, GGA, GSA and GSV, with or without a fix.

#include "host/board/SensorState.h"

#include <ctime>
#include <string>

namespace board {

// "$" + body + "*" + checksum + CR LF.
std::string NmeaSentence(const std::string& body);

// Moves the position `seconds` along the heading at the speed (a flat earth
// is close enough for the few kilometres of a scenario).
void AdvanceRoute(GpsState& gps, double seconds);

// The sentences of one second at the UTC time `utc`.
std::string RouteSentences(const GpsState& gps, time_t utc);

} // namespace board
