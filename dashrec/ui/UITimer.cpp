#include "dashrec/ui/UITimer.h"

#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/SystemClock.h"

#include <algorithm>
#include <chrono>

namespace vk {

void UITimer::Init(int ms)
{
    _ms = ms;
    _running = true;
}

void UITimer::Start()
{
    _t = std::thread([this] {
        // A monotonic clock measures each tick, so a late tick counts its real
        // length and setting the date cannot stretch or cut a timer.
        auto last = std::chrono::steady_clock::now();
        while (_running) {
            std::this_thread::sleep_for(std::chrono::milliseconds(_ms));
            auto now = std::chrono::steady_clock::now();
            Tick(std::chrono::duration_cast<std::chrono::microseconds>(now - last).count());
            last = now;
        }
    });
}

void UITimer::Finalize()
{
    _running = false;
    std::this_thread::sleep_for(std::chrono::milliseconds(_ms));
    if (_t.joinable())
        _t.join();
}

void UITimer::Set(WND::ID wnd, TIMER::ID tid, int ms)
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    long long usec = static_cast<long long>(ms) * 1000;
    for (timer_t& timer : _list) {
        if (timer.wnd == wnd && timer.tid == tid) {
            timer.usec = usec;
            return;
        }
    }
    _list.push_back({ tid, wnd, usec });
}

void UITimer::Kill(WND::ID wnd, TIMER::ID tid)
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    _list.remove_if([&](const timer_t& timer) { return timer.wnd == wnd && timer.tid == tid; });
}

long long UITimer::Remaining(WND::ID wnd, TIMER::ID tid)
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    for (const timer_t& timer : _list)
        if (timer.wnd == wnd && timer.tid == tid)
            return timer.usec / 1000;
    return -1;
}

void UITimer::Tick(long long elapsedUsec)
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    for (auto it = _list.begin(); it != _list.end();) {
        it->usec -= elapsedUsec;
        if (it->usec > 0) {
            ++it;
            continue;
        }
        UIQueue::Inst()->SendMessage(it->wnd, WM::TIMER, it->tid, 0, nullptr);
        it = _list.erase(it);
    }
}

std::tm UITimer::GetLocalTime()
{
    return LocalCalendarNow();
}

} // namespace vk
