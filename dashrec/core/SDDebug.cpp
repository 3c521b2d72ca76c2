#include "dashrec/core/SDDebug.h"

#include "dashrec/core/CLogger.h"
#include "dashrec/core/SystemClock.h"
#include "dashrec/dvr/CMainDvr.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <unistd.h>

namespace vk {

const std::string SDDebug::DIR_SYSTEM = "SYSTEM/";
const std::string SDDebug::WRITE_COUNT_NAME = "HISTORY.DM0";

namespace {

// The card log's byte substitution: a fixed permutation, so a log can be read
// back with the inverse table.
constexpr std::array<char, 256> MakeEncodingTable()
{
    std::array<char, 256> table {};
    for (int i = 0; i < 256; ++i)
        table[i] = static_cast<char>((i * 167 + 91) & 0xFF);
    return table;
}

constexpr std::array<char, 256> _encoding_table = MakeEncodingTable();

const char* const WRITABLE_FALSE_LINE = "[SDDebug]_writable == false return\r\n";

} // namespace

SDDebug::SDDebug()
    // Allocated for the life of the process: an assertion before Init or after
    // Finalize still has somewhere to be formatted.
    : _encoded(BUFFER_SIZE)
    , _temp(BUFFER_SIZE)
{
}

char SDDebug::Encode(unsigned char byte)
{
    return _encoding_table[byte];
}

void SDDebug::Init()
{
    _running = false;
    _writable = false;
    _stdoutlog = false;
    for (auto& record : _counters)
        record = std::make_shared<SD_WRITE_COUNT_s>();
    _current.reset();
    Singleton<CLogger>::Inst()->Init();
}

void SDDebug::Start()
{
    Singleton<CLogger>::Inst()->Start();
    _running = true;
    _writable = true;
    ReadCounters();
}

void SDDebug::Pause()
{
    _writable = false;
}

void SDDebug::Resume()
{
    _writable = true;
    ReadCounters();
    // The card may have changed: its own ring is scanned afresh.
    Singleton<CLogger>::Inst()->Restart();
}

void SDDebug::StopEmergency()
{
    mStopEmergency = true;
}

void SDDebug::Finalize()
{
    Singleton<CLogger>::Inst()->Finalize();
    _running = false;
}

std::tm SDDebug::GetLocaltime()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    return LocalCalendarNow();
}

static size_t FormatLineV(char* out, size_t size, const timeval& now, const char* format, va_list args)
{
    std::tm local {};
    localtime_r(&now.tv_sec, &local);
    int prefix = std::snprintf(out, size, "{%04d/%02d/%02d-%02d:%02d:%02d:%06ld}", local.tm_year + 1900,
        local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
        static_cast<long>(now.tv_usec));
    // Prefix and text keep fewer than size - 3 characters: room for CR, LF and the terminator.
    size_t room = size - 3 - static_cast<size_t>(prefix);
    int wanted = std::vsnprintf(out + prefix, room, format, args);
    size_t text = wanted < 0 ? 0 : std::min(static_cast<size_t>(wanted), room - 1);
    size_t length = static_cast<size_t>(prefix) + text;
    out[length - 1] = '\r';
    out[length] = '\n';
    out[length + 1] = '\0';
    return length + 1;
}

size_t SDDebug::FormatLine(char* out, size_t size, const timeval& now, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    size_t length = FormatLineV(out, size, now, format, args);
    va_end(args);
    return length;
}

void SDDebug::Print(const char* format, ...)
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    va_list args;
    va_start(args, format);
    size_t length = FormatLineV(_temp.data(), BUFFER_SIZE, SystemClock::Now(), format, args);
    va_end(args);

    if (!_stdoutlog) {
        std::fwrite(_temp.data(), 1, length, stdout);
        std::fflush(stdout);
    }
    if (mStopEmergency)
        return;
    for (size_t i = 0; i < length; ++i)
        _encoded[i] = Encode(static_cast<unsigned char>(_temp[i]));
    if (_writable)
        Singleton<CLogger>::Inst()->Write(_encoded.data(), length);
    else if (!_stdoutlog) {
        std::fputs(WRITABLE_FALSE_LINE, stdout);
        std::fflush(stdout);
    }
}

} // namespace vk

void DebugPrint(const char* format, ...)
{
    static char report[246];
    va_list args;
    va_start(args, format);
    std::vsnprintf(report, sizeof(report), format, args);
    va_end(args);
    vk::Singleton<vk::SDDebug>::Inst()->Print("%s", report);
    sleep(1);
    vk::Singleton<vk::CMainDvr>::Inst()->ExitToShell();
}
