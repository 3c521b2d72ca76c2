#pragma once
// Stand-in for the parts of the engine that the phone link uses, until the
// engine's own header is in the tree: the shared enumerations, the clock and
// the two live-stream commands. Same names and meaning as the engine's.

#include <glib.h>

#include <cstdint>

enum CameraPosition { Front = 0, Rear = 1, MaxCam = 2 };
enum RecordType { Normal = 0, Event = 1, Manual = 2, Parking = 3, MaxRec = 4 };

class BmClock {
public:
    static BmClock* Inst()
    {
        static BmClock* clock = new BmClock();
        return clock;
    }
    uint64_t Sec() const { return static_cast<uint64_t>(g_timer_elapsed(gTimeClock, nullptr) + 1.0); }

private:
    BmClock() : gTimeClock(g_timer_new()) {}
    GTimer* gTimeClock;
};

class BmWorks {
public:
    static BmWorks* Inst()
    {
        static BmWorks* works = new BmWorks();
        return works;
    }
    void StartRtspLive(CameraPosition) {}
    void StopRtspLive(CameraPosition) {}
};
