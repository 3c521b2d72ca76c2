#pragma once
// How a window's worker thread reports to its window over the bus, which
// drops what it cannot take at once. Progress is coalesced: at most one
// progress report waits in the bus, and the window reads the latest figures
// when it handles it, so a long run cannot fill the bus. A report that ends
// the work is sent again until the bus takes it, for the window waits for it
// with its keys blocked; the window closes the reports before it joins its
// worker, so that a worker never waits on a bus nobody reads any more.

#include "dashrec/core/MessageIds.h"

#include <atomic>
#include <cstdint>
#include <utility>

namespace vk {

class WorkerReports {
public:
    explicit WorkerReports(WND::ID wnd) : _wnd(wnd) {}

    // Window side: before the worker starts, and before the window joins it.
    void Open();
    void Close();
    // Window side: a progress report was handled; the latest figures.
    std::pair<int, int> TakeProgress();

    // Worker side.
    void Progress(int cmd, int param1, int param2);
    // False when the window closed before the bus took the report.
    bool Send(int cmd, int param1, int param2);

private:
    const WND::ID _wnd;
    std::atomic<bool> _closed { false };
    std::atomic<bool> _progressWaiting { false };
    std::atomic<uint64_t> _progress { 0 };
};

} // namespace vk
