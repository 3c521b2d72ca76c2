#pragma once
// What the simulator sees of the program from outside, as a bench tester
// would: its pid (left in "$DASHREC_HOST_DIR/dashrec.pid" by whoever started
// it) and the recording files it holds open. Scenarios key their events to
// these ("await recording") rather than to fixed seconds, so a slow machine
// plays the same run.

#include <set>
#include <string>
#include <sys/types.h>

namespace board {

// 0 while no program has been started.
pid_t ProgramPid();

// "await recording": true once the program holds open a recording file of
// each camera ("...F.MP4" and "...R.MP4") that it did not hold when an
// earlier wait of this watch was met: the next recording has started.
class RecordingWatch {
public:
    bool Met();

private:
    std::set<std::string> _seen;
};

} // namespace board
