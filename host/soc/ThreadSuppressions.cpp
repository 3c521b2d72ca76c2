// Reports of the thread sanitizer build that belong to the host's libraries,
// not to the program. Only the top frame is matched (race_top): a race whose
// racing access is in the program's own code is always reported, even when
// GLib or GStreamer called it. Compiled into each program, as the leak list.

extern "C" const char* __tsan_default_suppressions()
{
    // GLib and GStreamer synchronise through futex-based locks and atomics of
    // their own, which the sanitizer does not see in uninstrumented libraries:
    // their internal state looks unguarded between the threads they run.
    return "race_top:libglib-2.0.so\n"
           "race_top:libgobject-2.0.so\n"
           "race_top:libgio-2.0.so\n"
           "race_top:libgstreamer-1.0.so\n"
           "race_top:libgstbase-1.0.so\n"
           "race_top:libgstapp-1.0.so\n"
           "race_top:libgstrtspserver-1.0.so\n"
           "race_top:libgstrtsp-1.0.so\n"
           "race_top:libgstaudio-1.0.so\n"
           "race_top:libgstvideo-1.0.so\n"
           // Plugins are loaded by GStreamer's registry from its own folder.
           "race_top:/gstreamer-1.0/\n"
           // The host codecs (libavcodec, libx265, libx264) run their own
           // worker threads with their own synchronisation.
           "race_top:libavcodec.so\n"
           "race_top:libx265.so\n"
           "race_top:libx264.so\n";
}

// Copies and allocations that GLib, GStreamer and the codecs make through the
// C library are checked only when the program's own code makes them: the
// libraries' own locking is out of the sanitizer's sight. A longer access
// history keeps the stack of a race's earlier access.
extern "C" const char* __tsan_default_options()
{
    return "ignore_noninstrumented_modules=1 history_size=4 second_deadlock_stack=1";
}
