#include "dashrec/core/CrashLog.h"

#include "dashrec/core/SystemClock.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <ucontext.h>
#include <unistd.h>

namespace {

// Everything below runs inside the signal handler: no allocation, no stdio, no
// locale or time-zone look-ups; text is built in static buffers and written
// with write(2).
class SafeText {
public:
    SafeText(char* buffer, size_t size) : _buffer(buffer), _size(size) { _buffer[0] = '\0'; }

    SafeText& Add(const char* text)
    {
        while (text && *text && _length + 1 < _size)
            _buffer[_length++] = *text++;
        _buffer[_length] = '\0';
        return *this;
    }

    SafeText& Dec(long long value, int width = 0)
    {
        char digits[24];
        int count = 0;
        bool negative = value < 0;
        unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(value) : value;
        do {
            digits[count++] = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0 && count < static_cast<int>(sizeof(digits)));
        while (count < width && count < static_cast<int>(sizeof(digits)))
            digits[count++] = '0';
        if (negative)
            Add("-");
        return Reversed(digits, count);
    }

    SafeText& Hex(uintptr_t value)
    {
        char digits[2 * sizeof(value)];
        int count = 0;
        do {
            digits[count++] = "0123456789abcdef"[value & 0xF];
            value >>= 4;
        } while (value != 0);
        Add("0x");
        return Reversed(digits, count);
    }

    const char* Text() const { return _buffer; }
    size_t Length() const { return _length; }

private:
    SafeText& Reversed(const char* digits, int count)
    {
        for (int i = count - 1; i >= 0 && _length + 1 < _size; --i)
            _buffer[_length++] = digits[i];
        _buffer[_length] = '\0';
        return *this;
    }

    char* _buffer;
    size_t _size;
    size_t _length = 0;
};

// The local-time offset, taken when the handler is installed.
long gUtcOffsetSeconds = 0;

void WriteAll(int fd, const char* text, size_t length)
{
    while (length > 0) {
        ssize_t written = write(fd, text, length);
        if (written <= 0)
            return;
        text += written;
        length -= static_cast<size_t>(written);
    }
}

// Calendar date of a day count since 1970-01-01 (proleptic Gregorian).
void CivilFromDays(long long days, long long& year, int& month, int& day)
{
    days += 719468;
    long long era = (days >= 0 ? days : days - 146096) / 146097;
    long long dayOfEra = days - era * 146097;
    long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    long long monthIndex = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
}

// "{%04d/%02d/%02d-%02d:%02d:%02d:%06ld}"
void AddTimePrefix(SafeText& text)
{
    timeval now = vk::SystemClock::Now();
    long long local = static_cast<long long>(now.tv_sec) + gUtcOffsetSeconds;
    long long days = local >= 0 ? local / 86400 : (local - 86399) / 86400;
    long long secondOfDay = local - days * 86400;
    long long year = 0;
    int month = 0;
    int day = 0;
    CivilFromDays(days, year, month, day);
    text.Add("{").Dec(year, 4).Add("/").Dec(month, 2).Add("/").Dec(day, 2).Add("-");
    text.Dec(secondOfDay / 3600, 2).Add(":").Dec(secondOfDay / 60 % 60, 2).Add(":").Dec(secondOfDay % 60, 2);
    text.Add(":").Dec(now.tv_usec, 6).Add("}");
}

uintptr_t FaultingProgramCounter(void* context)
{
    auto* uc = static_cast<ucontext_t*>(context);
#if defined(__x86_64__)
    return static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
    return static_cast<uintptr_t>(uc->uc_mcontext.pc);
#elif defined(__arm__)
    return static_cast<uintptr_t>(uc->uc_mcontext.arm_pc);
#else
    (void)uc;
    return 0;
#endif
}

} // namespace

void write_to_error_file(const char* path, const char* text)
{
    int fd = open(path, O_RDWR | O_CREAT, 0644);
    if (fd < 0)
        return;
    off_t size = lseek(fd, 0, SEEK_END);
    if (size > vk::CRASH_LOG_LIMIT)
        lseek(fd, 0, SEEK_SET); // overwrite the oldest bytes; never shorten the file
    static char entry[128 + 256];
    SafeText line(entry, sizeof(entry));
    AddTimePrefix(line);
    line.Add(" ").Add(text);
    WriteAll(fd, line.Text(), line.Length());
    close(fd);
}

void crit_err_hdlr(int sig, siginfo_t* info, void* context)
{
    static char buffer[128];
    WriteAll(STDERR_FILENO, "\n", 1);
    SafeText text(buffer, sizeof(buffer));
    text.Add("signal ").Dec(sig).Add(" (").Add(sigdescr_np(sig)).Add(")");
    if (sig == SIGSEGV) {
        text.Add(", address is ").Hex(reinterpret_cast<uintptr_t>(info ? info->si_addr : nullptr));
        text.Add(" from ").Hex(FaultingProgramCounter(context));
    }
    text.Add("\n");
    WriteAll(STDOUT_FILENO, text.Text(), text.Length());
    write_to_error_file(vk::CRASH_LOG_PATH, text.Text());
    _exit(1);
}

void installSignal(int sig)
{
    time_t now = time(nullptr);
    tm local {};
    localtime_r(&now, &local);
    gUtcOffsetSeconds = local.tm_gmtoff;

    struct sigaction action {};
    action.sa_sigaction = crit_err_hdlr;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&action.sa_mask);
    if (sigaction(sig, &action, nullptr) != 0) {
        std::fprintf(stderr, "error setting signal handler for %d (%s)\n", sig, strsignal(sig));
        std::exit(1);
    }
}
