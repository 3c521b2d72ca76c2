#pragma once
// The crash handler and its log "/data/segment".

#include <csignal>

namespace vk {
constexpr const char* CRASH_LOG_PATH = "/data/segment";
// Beyond this size the next entry overwrites the oldest bytes from the start.
constexpr long CRASH_LOG_LIMIT = 65408;
} // namespace vk

void installSignal(int sig);
[[noreturn]] void crit_err_hdlr(int sig, siginfo_t* info, void* context);
// Appends one time-stamped entry; safe inside a signal handler.
void write_to_error_file(const char* path, const char* text);
