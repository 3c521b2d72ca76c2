#pragma once
// The run mode in the sandbox, driven through its handlers: what it posts is
// taken from the bus, the timers it arms are read from the timer service, the
// card comes and goes as loop devices, and the paths that end the program run
// in a child process whose end the test observes.

#include "dashrec/core/MessageIds.h"
#include "dashrec/core/ipc.h"
#include "dashrec/dvr/CMainDvr.h"
#include "tests/devices/BusMessages.h"

#include <functional>
#include <string>
#include <vector>

namespace runmode {

using devtest::Posted;
using vk::CMainDvr;
using vk::Singleton;
namespace WND = vk::WND;
namespace WM = vk::WM;
namespace TIMER = vk::TIMER;

std::string Source();
int Shell(const std::string& command);
std::string ReadFile(const std::string& path);
std::string ShimLog();
size_t Count(const std::string& text, const std::string& what);
// Waits up to `timeoutMs` for `done`; whether it came.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 3000);

// Everything the handler just posted on the bus.
inline std::vector<Posted> Drain()
{
    return devtest::TakePosted(50);
}
// Milliseconds left of one of the run mode's own timers; -1 when not armed.
long long Armed(vk::TIMER::ID id);
// Sends one message straight to a handler, as the loop would.
ipc_msg_t Message(int wnd, int cmd, int param1 = 0, int param2 = 0);
void FireTimer(vk::TIMER::ID id);

// The SD card: an image laid out by the card formatter ("" leaves it blank).
void InsertCard(const std::string& layout);
void RemoveCard();
// The launcher's (or hot-plug's) mount of the card partition.
void MountCard();

// The sandbox as the board lays it out, the preferences at their defaults with
// the card recording, and the engine replaying pre-encoded video.
void PrepareBoard();
// Brings the recorder up as start-up does, with the bus empty afterwards.
vk::CMainDvr* InitializeRecorder();

// Runs `body` in a child process that must end itself; its standard output
// goes to "/tmp/child.log". The parent runs `beside` meanwhile: peers with
// threads start only after the fork, which copies no thread and so no lock a
// thread of the parent held. Returns the exit status, or -1 when it was
// killed or did not end within `timeoutMs`.
int RunInChild(const std::function<void()>& body, const std::function<void()>& beside = {}, int timeoutMs = 30000);
// The MCU's serial line is bound: the board simulator of the parent is up.
bool WaitForMcuLine();

} // namespace runmode
