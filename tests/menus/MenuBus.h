#pragma once
// The menu windows driven through the bus in the sandbox. Every message is
// handed on as the run mode would and kept. Windows of the menu tree open for real; a page change to any other
// window (the live view, the main menu, the backup format dialog) is only
// recorded. UI timers are armed but never run down: a test fires them itself,
// so nothing depends on the machine's speed. The message box is a stand-in
// that records its text.

#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/ui/StrId.h"
#include "tests/menus/BusLoop.h"
#include "tests/runmode/Harness.h"

#include <set>
#include <string>
#include <vector>

namespace menutest {

namespace WND = vk::WND;
namespace WM = vk::WM;
namespace TIMER = vk::TIMER;
namespace PARAM1 = vk::PARAM1;

using runmode::Count;
using runmode::ReadFile;
using runmode::Shell;
using runmode::ShimLog;
using runmode::WaitUntil;

bool Exists(const std::string& path);
// Waits until `clip` has been played `times` times in all (sounds play in the
// background); false when it never was.
bool Played(const std::string& clip, size_t times);

class MenuBus : public BusLoop {
protected:
    void SetUp() override;

    // The recording medium: an SD card of `mib` MiB, laid out by cardform when `layout`.
    void InsertCard(int mib, bool layout = false);
    void RemoveCard();
    // The internal eMMC records; its partition is a blank image or laid out.
    void UseEmmc(bool layout = false);

    // Opens `wnd` as the run mode does on a page change, and handles its INIT.
    void Open(WND::ID wnd, int param);
    void Key(int key);
    // Focuses the button showing `text` by touching it, then presses OK.
    void Select(vk::STR::ID text);
    // The timer runs out: it leaves the timer list and its message comes.
    void Fire(WND::ID wnd, TIMER::ID tid);
    long long Remaining(WND::ID wnd, TIMER::ID tid);

    // Handles what is queued now and what that leads to.
    void Settle();

    vk::CMainDvr* dvr = nullptr;
    // Page changes the run mode made: the window, and the INIT's param1.
    std::vector<std::pair<int, int>> pages;
    // Texts the message box was given, in order.
    std::vector<int> boxes;

private:
    void Dispatch(ipc_msg_t& msg) override;
};

} // namespace menutest
