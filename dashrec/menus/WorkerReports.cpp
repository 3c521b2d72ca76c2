#include "dashrec/menus/WorkerReports.h"

#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/SDDebug.h"

#include <chrono>
#include <thread>

namespace vk {

namespace {

constexpr std::chrono::milliseconds RETRY_PERIOD(10);

uint64_t Pack(int first, int second)
{
    return static_cast<uint64_t>(static_cast<uint32_t>(first)) << 32 | static_cast<uint32_t>(second);
}

} // namespace

void WorkerReports::Open()
{
    _closed = false;
    _progressWaiting = false;
    _progress = 0;
}

void WorkerReports::Close()
{
    _closed = true;
}

std::pair<int, int> WorkerReports::TakeProgress()
{
    // Cleared before the figures are read: a report coming meanwhile is sent anew.
    _progressWaiting = false;
    uint64_t progress = _progress;
    return { static_cast<int>(static_cast<uint32_t>(progress >> 32)), static_cast<int>(static_cast<uint32_t>(progress)) };
}

void WorkerReports::Progress(int cmd, int param1, int param2)
{
    _progress = Pack(param1, param2);
    if (_progressWaiting.exchange(true))
        return;
    if (UIQueue::Inst()->SendMessage(_wnd, cmd, param1, param2, nullptr) < 0)
        _progressWaiting = false;
}

bool WorkerReports::Send(int cmd, int param1, int param2)
{
    bool told = false;
    while (!_closed) {
        if (UIQueue::Inst()->SendMessage(_wnd, cmd, param1, param2, nullptr) >= 0)
            return true;
        if (!told) {
            Singleton<SDDebug>::Inst()->Print("[WorkerReports]WND:%d cmd:%d waits for room on the bus\n", _wnd, cmd);
            told = true;
        }
        std::this_thread::sleep_for(RETRY_PERIOD);
    }
    return false;
}

} // namespace vk
