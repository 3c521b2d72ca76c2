#include "dashrec/devices/Gpio.h"

#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Shell.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace vk {

namespace {

const int COMMAND_SIZE = 128;
const useconds_t SETTLE_US = 1000;

// Formats into a fixed buffer; not fitting is a broken invariant reported as `expr`.
void FormatFixed(char* out, size_t size, const char* expr, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

void FormatFixed(char* out, size_t size, const char* expr, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int wanted = std::vsnprintf(out, size, format, args);
    va_end(args);
    if (wanted < 0 || static_cast<size_t>(wanted) >= size)
        VK_ASSERT_REPORT(expr);
}

// The pin's state changes only after the kernel has handled the write.
void RunAndSettle(const char* cmd)
{
    std::system(cmd);
    usleep(SETTLE_US);
}

void ExportPin(int index, const std::string& dir, const char* direction)
{
    char cmdCreate[COMMAND_SIZE];
    FormatFixed(cmdCreate, sizeof(cmdCreate), "strlen(cmdCreate) < sizeof(cmdCreate)", "echo %d > %s/export", index,
                dir.c_str());
    RunAndSettle(cmdCreate);
    char cmdDirection[COMMAND_SIZE];
    FormatFixed(cmdDirection, sizeof(cmdDirection), "strlen(cmdDirection) < sizeof(cmdDirection)",
                "echo %s > %s/gpio%d/direction", direction, dir.c_str(), index);
    RunAndSettle(cmdDirection);
}

void UnexportPin(int index, const std::string& dir)
{
    char cmdClose[COMMAND_SIZE];
    FormatFixed(cmdClose, sizeof(cmdClose), "strlen(cmdClose) < sizeof(cmdClose)", "echo %d > %s/unexport", index,
                dir.c_str());
    RunAndSettle(cmdClose);
}

enum class ReadResult { OK, OPEN_FAILED, EMPTY };

// Reads the decimal number in the pin's value file.
ReadResult ReadPinValue(int index, const std::string& dir, int& value)
{
    char buf[COMMAND_SIZE];
    FormatFixed(buf, sizeof(buf), "strlen(buf) < sizeof(buf)", "%s/gpio%d/value", dir.c_str(), index);
    int fd = open(buf, O_RDONLY);
    if (fd < 0)
        return ReadResult::OPEN_FAILED;
    char text[COMMAND_SIZE] = {};
    ssize_t count = read(fd, text, sizeof(text) - 1);
    close(fd);
    char* end = text;
    long number = count > 0 ? std::strtol(text, &end, 10) : 0;
    if (end == text)
        return ReadResult::EMPTY;
    value = static_cast<int>(number);
    return ReadResult::OK;
}

} // namespace

GPIO_OUT::GPIO_OUT(int index, std::string dir) : _gpioIndex(index), _gpioDir(std::move(dir))
{
    ExportPin(_gpioIndex, _gpioDir, "out");
}

GPIO_OUT::~GPIO_OUT()
{
    UnexportPin(_gpioIndex, _gpioDir);
}

void GPIO_OUT::SetOn()
{
    char cmd[COMMAND_SIZE];
    VK_FORMAT_COMMAND(cmd, "echo 1 > %s/gpio%d/value", _gpioDir.c_str(), _gpioIndex);
    RunAndSettle(cmd);
}

void GPIO_OUT::SetOff()
{
    char cmd[COMMAND_SIZE];
    VK_FORMAT_COMMAND(cmd, "echo 0 > %s/gpio%d/value", _gpioDir.c_str(), _gpioIndex);
    RunAndSettle(cmd);
}

bool GPIO_OUT::IsOn()
{
    int value = 0;
    ReadResult result = ReadPinValue(_gpioIndex, _gpioDir, value);
    if (result == ReadResult::OPEN_FAILED)
        Singleton<SDDebug>::Inst()->Print("[GPIO_OUT]GPIO(%d) open error(%d)\n", _gpioIndex, -1);
    return result != ReadResult::OK || value == 1;
}

GPIO_IN::GPIO_IN(int index, std::string dir) : _gpioIndex(index), _gpioDir(std::move(dir))
{
    ExportPin(_gpioIndex, _gpioDir, "in");
}

GPIO_IN::~GPIO_IN()
{
    UnexportPin(_gpioIndex, _gpioDir);
}

int GPIO_IN::GetValue()
{
    int value = -1;
    ReadResult result = ReadPinValue(_gpioIndex, _gpioDir, value);
    // Polled every 20 ms: one line when the pin goes missing, not fifty a second.
    if (result == ReadResult::OPEN_FAILED && !_openFailed)
        Singleton<SDDebug>::Inst()->Print("[GPIO_IN]GPIO(%d) open error(%d)\n", _gpioIndex, -1);
    _openFailed = result == ReadResult::OPEN_FAILED;
    return result == ReadResult::OK ? value : -1;
}

} // namespace vk
