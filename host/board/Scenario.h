#pragma once
// A scenario: the timeline of what the car and the board do during one run,
// one event a line: "<time> <event> [arguments]", for example
//   0s acc on 12.4V
//   5s acc off
// Times are seconds ("5s", "2.5s") or milliseconds ("500ms"); blank lines and
// lines starting with '#' are skipped. "await recording" holds the timeline
// until the program has started its next recording (a new front and rear file
// open); the clock stands still meanwhile, so later times count from then. Each kind of event is one row of the
// table in Scenario.cpp: its name and the parser of its arguments.

#include "host/board/SensorState.h"

#include <functional>
#include <string>
#include <vector>

namespace board {

// What the car and the board show at one moment.
struct BoardState {
    bool acc = false;
    float volts = 12.4f;
    float celsius = 25.0f;
    bool powerKey = false;
    bool supply = true; // the permanent supply (B+) is present
    bool card = true; // the SD card is in its slot
    std::string storage; // the recording medium the EEPROM's preferences name ("sd", "internal"); empty: as they are
    std::string parking; // parking mode in the EEPROM's preferences ("on", "off"); empty: as they are
    int kills = 0; // "kill" events so far: each one cuts the program off once
    SensorState sensors;
};

struct ScenarioEvent {
    double atSec = 0;
    int line = 0;
    std::string text;
    std::function<void(BoardState&)> apply;
    std::function<bool()> until; // an await: the timeline holds here until it is true
};

class Scenario {
public:
    // False, with "line N: reason" in `error`, for a line that is not an event.
    bool Parse(const std::string& text, std::string& error);
    // In time order; events of the same time in the order written.
    const std::vector<ScenarioEvent>& Events() const { return _events; }

private:
    std::vector<ScenarioEvent> _events;
};

} // namespace board
