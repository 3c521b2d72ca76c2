#pragma once
// The program's log line: time-stamped to standard output and, scrambled, to
// the card log. Also the assertion report that ends the program.

#include "dashrec/core/Singleton.h"

#include <atomic>
#include <cstddef>
#include <ctime>
#include <sys/time.h>
#include <string>
#include <vector>

namespace vk {

class SDDebug : public Singleton<SDDebug> {
public:
    static const int BASE_YEAR = 2021;
    static const size_t BUFFER_SIZE = 2048;
    static const std::string DIR_SYSTEM;
    static const std::string WRITE_COUNT_NAME;

    SDDebug();

    void Init();
    void Start();
    void Pause();
    void Resume();
    void StopEmergency();
    void Finalize();

    void Print(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Local time with the full year and the month counted from 1.
    std::tm GetLocaltime();

    // Formats one line as Print does, for the wall-clock time `now`; returns its length.
    static size_t FormatLine(char* out, size_t size, const timeval& now, const char* format, ...)
        __attribute__((format(printf, 4, 5)));
    static char Encode(unsigned char byte);

private:
    std::atomic<bool> _running { false };
    std::atomic<bool> _writable { false };
    bool _stdoutlog = false;
    std::vector<char> _encoded;
    std::vector<char> _temp;
    std::atomic<bool> mStopEmergency { false };
};

} // namespace vk

// The assertion report: logs the text, waits 1 s and ends the program.
[[noreturn]] void DebugPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));

namespace vk::detail {
constexpr const char* BaseName(const char* path)
{
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/')
            name = p + 1;
    return name;
}
} // namespace vk::detail

#define VK_ASSERT_REPORT(text) DebugPrint("_ASSERT[%s:%d]expr:%s\n", vk::detail::BaseName(__FILE__), __LINE__, text)

#define VK_ASSERT(expr)                                                                            \
    do {                                                                                           \
        if (!(expr))                                                                               \
            VK_ASSERT_REPORT(#expr);                                                               \
    } while (0)
