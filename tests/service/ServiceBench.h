#pragma once
// A service run mode on the bench: the sandbox laid out as the board, the
// board simulator playing the MCU and the GPS, a card carrying the mode's
// marker and parameter file, the eMMC, and what the microphone hears. The
// mode runs its own loop on a thread of the test, which talks to it only
// through the bus and reads its state once it has stopped.

#include "dashrec/core/MessageIds.h"
#include "dashrec/core/Singleton.h"
#include "host/board/Board.h"
#include "tests/runmode/Harness.h"

#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace service {

using runmode::Count;
using runmode::ReadFile;
using runmode::Shell;
using runmode::ShimLog;
using runmode::Source;
using runmode::WaitUntil;

// The board's sysfs laid out, the working folder holds rsc/, the engine replays pre-encoded video, the
// log, the preferences and sound are up as start-up leaves them, and the
// MCU link is made as main makes it.
void PrepareProgram();
// A FAT card whose root holds `marker` with `content` ("" leaves it out).
void InsertCard(const std::string& marker, const std::string& content);
// The built-in eMMC, `gib` GiB large.
void AttachEmmc(int gib);
// What the microphone hears: a 440 Hz tone of this amplitude.
void HearTone(int amplitude, int seconds);

// The board simulator along `scenario`, started. Started last, just before
// the mode: the GPS sentences sent before the program reads them pile up.
std::unique_ptr<board::Board> StartBoard(const std::string& scenario);

// Runs a mode's Start() on its own thread until EXIT comes over the bus.
class ModeRun {
public:
    explicit ModeRun(vk::CMainHandler* mode);
    ~ModeRun();
    void Post(int wnd, int cmd, int param1 = 0, int param2 = 0);
    // Posts EXIT and waits for Start() to return.
    void Exit();

private:
    std::thread _thread;
};

} // namespace service
