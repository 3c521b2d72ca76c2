// The processor-load diagnostic of the start-up object.

#include "dashrec/core/CMain.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vk {

namespace {

const int CPU_LINES = 3; // all processors, processor 0, processor 1

// user, nice, system, idle, iowait of each line at the previous call
long long gPreviousStat[CPU_LINES][5] = {};

long long LoadPercent(const char* line, long long previous[5])
{
    char name[16] = {};
    long long now[5] = {};
    std::sscanf(line, "%15s %lld %lld %lld %lld %lld", name, &now[0], &now[1], &now[2], &now[3], &now[4]);
    long long busy = (now[0] + now[1] + now[2]) - (previous[0] + previous[1] + previous[2]);
    long long idle = now[3] - previous[3];
    std::memcpy(previous, now, sizeof(now));
    return busy + idle >= 1 ? busy * 100 / (busy + idle) : -1;
}

// Reads the first number-bearing text of a sysfs node after writing its selector.
bool ReadNode(const char* selectCommand, const char* node, char* text, int size)
{
    std::system(selectCommand);
    FILE* file = std::fopen(node, "r");
    if (file == nullptr)
        return false;
    bool read = std::fgets(text, size, file) != nullptr;
    std::fclose(file);
    return read;
}

int ClockMhz()
{
    char text[33] = {};
    if (!ReadNode("echo 0x03001000 > /sys/class/soc_dump/dump", "/sys/class/soc_dump/dump", text, sizeof(text))
        || std::strlen(text) <= 9)
        return 0;
    unsigned long word = std::strtoul(text + 2, nullptr, 16);
    return static_cast<int>(24 * (((word >> 8) & 0xFF) + 1));
}

int AdcChannel3()
{
    char text[33] = {};
    if (!ReadNode("echo 3 > /sys/class/gpadc/data", "/sys/class/gpadc/data", text, sizeof(text)))
        return 0;
    return std::atoi(text);
}

} // namespace

void CMain::PrintCpuUsage()
{
    char lines[CPU_LINES][128] = {};
    FILE* stat = std::fopen("/proc/stat", "r");
    if (stat == nullptr) {
        std::printf("[CMain] No /proc/stat\n");
        return;
    }
    for (auto& line : lines)
        if (std::fgets(line, sizeof(line), stat) == nullptr)
            break;
    std::fclose(stat);

    FILE* meminfo = std::fopen("/proc/meminfo", "r");
    if (meminfo == nullptr) {
        std::printf("[CMain] No /proc/meminfo\n");
        return;
    }
    char line[128] = {};
    char key[32] = {};
    char unit[16] = {};
    int freeMemory = 0;
    int availableMemory = 0;
    std::fgets(line, sizeof(line), meminfo);
    if (std::fgets(line, sizeof(line), meminfo))
        std::sscanf(line, "%31s %d %15s", key, &freeMemory, unit);
    if (std::fgets(line, sizeof(line), meminfo))
        std::sscanf(line, "%31s %d %15s", key, &availableMemory, unit);
    std::fclose(meminfo);

    int clock = ClockMhz();
    int adc = AdcChannel3();
    long long load[CPU_LINES];
    for (int i = 0; i < CPU_LINES; ++i)
        load[i] = LoadPercent(lines[i], gPreviousStat[i]);
    std::printf("cpu usage : total = %lld, cpu0 = %lld, cpu1 = %lld, freq=%d, gpadc3=%d, amem=%dKB\n", load[0],
        load[1], load[2], clock, adc, availableMemory);
}

} // namespace vk
