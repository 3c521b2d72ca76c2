#pragma once
// The program's log line: time-stamped to standard output and, scrambled, to
// the card log. Also the assertion report that ends the program.

#include "dashrec/core/CardRing.h"
#include "dashrec/core/Singleton.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
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

    static constexpr size_t DATE_SIZE = 36;
    static constexpr int COUNTER_SLOTS = CardRing::SLOTS;

    // One write-counter record of "HISTORY.DM0", as stored (before scrambling).
    struct SD_WRITE_COUNT_s {
        int32_t sync = CardRing::SYNC;
        int32_t index = -1;
        int64_t count = -1;
        int32_t noramlTotal = 0;
        int32_t normalCurrent = 0;
        int32_t normalLoopCount = 0;
        int32_t parkingTotal = 0;
        int32_t parkingCurrent = 0;
        int32_t parkingLoopCount = 0;
        char date[DATE_SIZE] = {};
        int32_t checksum = 0;

        void Reset(int n);
        void SetIndex(int n) { index = n; }
        void CheckSum();
        // Sync word, checksum and fields a card could have damaged.
        bool IsValid() const;
    };
    static_assert(sizeof(SD_WRITE_COUNT_s) == 80, "the record's layout on the card");

    SDDebug();

    void Init();
    void Start();
    void Pause();
    void Resume();
    void StopEmergency();
    void Finalize();
    void CheckFiles();

    // Write counters of the card's normal and parking recording files.
    void ReadCounters();
    void SetTotalFiles(unsigned long blocks, int normal, int parking);
    SD_WRITE_COUNT_s LoadCounter();
    void SaveCounter(SD_WRITE_COUNT_s& record);
    void IncreaseNormalCounter();
    void IncreaseParkingCounter();
    int GetNormalCycles() const;

    // Copy the card log to the root of the backup SD card or USB stick.
    void CopyHistory();
    void CopyHistoryToUsb();

    void Print(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Local time with the full year and the month counted from 1.
    std::tm GetLocaltime();

    // Formats one line as Print does, for the wall-clock time `now`; returns its length.
    static size_t FormatLine(char* out, size_t size, const timeval& now, const char* format, ...)
        __attribute__((format(printf, 4, 5)));
    static char Encode(unsigned char byte);
    // Scrambles or unscrambles a counter record: byte k XOR table entry k.
    static void ScrambleRecord(SD_WRITE_COUNT_s& record);

private:
    struct CounterFields;
    static const CounterFields NORMAL_COUNTERS;
    static const CounterFields PARKING_COUNTERS;
    void Increase(const CounterFields& fields);
    void StampDate(SD_WRITE_COUNT_s& record);
    void CopyHistoryTo(const std::string& mountPoint, int (*isIn)());

    std::atomic<bool> _running { false };
    std::atomic<bool> _writable { false };
    bool _stdoutlog = false;
    std::vector<char> _encoded;
    std::vector<char> _temp;
    std::atomic<bool> mStopEmergency { false };

    int _totalNormalFiles = 0;
    int _totalParkingFiles = 0;
    unsigned long _mBlocks = 0;
    std::shared_ptr<SD_WRITE_COUNT_s> _current;
    std::array<std::shared_ptr<SD_WRITE_COUNT_s>, COUNTER_SLOTS> _counters;
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
