#pragma once
// The write-endurance test of cardform: writes stamped 32 MiB runs at the
// start, the middle and the end of the device, pass after pass, until a pass
// fails; then lights the error LED.

// Exit status: 1 when the device is mounted (the test would destroy a live
// file system), else 0 once a pass has failed.
int RunWriteTest(const char* device);

// Whether the device, or a partition of it, is a mount source in `mountTable`
// (a file in the form of /proc/self/mounts).
bool IsDeviceMounted(const char* device, const char* mountTable);
