#pragma once
// One-shot UI timers: counted down on their own thread with a fixed tick and
// delivered as TIMER messages on the bus to the window that armed them.

#include "dashrec/core/MessageIds.h"
#include "dashrec/core/Singleton.h"

#include <atomic>
#include <ctime>
#include <list>
#include <thread>

namespace vk {

class UITimer : public Singleton<UITimer> {
public:
    struct timer_t {
        int tid;
        WND::ID wnd;
        long long usec; // left until expiry
    };

    void Init(int ms);
    void Start();
    void Finalize();
    void Set(WND::ID wnd, TIMER::ID tid, int ms);
    void Kill(WND::ID wnd, TIMER::ID tid);
    // Milliseconds left of an armed timer; -1 when none is armed.
    long long Remaining(WND::ID wnd, TIMER::ID tid);
    // Local time with the full year and the month counted from 1.
    static std::tm GetLocalTime();

private:
    void Tick(long long elapsedUsec);

    int _ms = 10;
    std::atomic<bool> _running { false };
    std::thread _t;
    std::list<timer_t> _list;
};

} // namespace vk
