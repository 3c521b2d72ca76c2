// Leaks that belong to the host's libraries, not to the program: GLib drops
// its first quark block when GStreamer outgrows it (allocated while the
// library loads), and libx265 keeps part of every encoder it closes. Read by
// the sanitizers in the sanitizer build only; compiled into each program so
// that they replace the runtime's empty defaults.

// Full stacks for allocations, so that a block GLib made while loading is
// known by its loader frame (GLib has no frame pointers).
extern "C" const char* __asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libx265.so\n"
           "leak:_dl_init\n";
}
