#pragma once
// Work handed to another thread through GLib or GStreamer: an idle source on
// the engine loop, a buffer in an appsrc's queue. Their own locks order it,
// but inside libraries a race checker cannot see; the hand-over is ordered
// here as well, by an atomic of the program's own, so that what the giver
// wrote before is seen as written before by the taker.

#include <glib.h>

#include <atomic>

class BmHandoff {
public:
    // On the giving thread, before the work leaves it.
    void Give() { mCount.fetch_add(1, std::memory_order_acq_rel); }
    // On the taking thread, before the work is looked at.
    void Take() { (void)mCount.load(std::memory_order_acquire); }

private:
    std::atomic<unsigned> mCount{0};
};

// Runs fn(data) once on the engine thread, after everything posted before it;
// fn's return value is not looked at.
void BmPost(GSourceFunc fn, gpointer data);
