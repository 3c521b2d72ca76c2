#include "dashrec/core/Storage.h"

#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"

#include <cinttypes>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vk {

namespace {

const char* const DETECT_NODE = "/sys/sdcard0/detect";

// Rated number of normal-file take-overs, by card size in sectors.
struct LifeFigure {
    int64_t fromBlocks;
    int figure;
};
const LifeFigure LIFE_FIGURES[] = {
    { 15000000, 105000 },
    { 27500000, 210000 },
    { 55000000, 420000 },
    { 110000000, 840000 },
    { 220000000, 1680000 },
};
const int MIN_LIFE_RECORDS = 30;

int LifeFigureOf(int64_t blocks)
{
    int figure = 0;
    for (const LifeFigure& row : LIFE_FIGURES)
        if (blocks >= row.fromBlocks)
            figure = row.figure;
    return figure;
}

} // namespace

bool Storage::IsBlockDevice(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISBLK(info.st_mode);
}

bool Storage::IsInternal()
{
    return Singleton<Pref>::Inst()->IsInternalStorageUsed();
}

const std::string& Storage::CurrentDevice()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    return IsInternal() ? EmmcDevice() : SdDevice();
}

const std::string& Storage::CurrentPartition()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    return IsInternal() ? EmmcPartiion() : SdPartition();
}

bool Storage::DoesDeviceExist()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    return IsBlockDevice(IsInternal() ? EmmcPartiion() : SdDevice());
}

bool Storage::IsSdCardInserted()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    struct stat info {};
    bool inserted = false;
    if (stat(SdDevice().c_str(), &info) == 0) {
        inserted = S_ISBLK(info.st_mode);
        Singleton<SDDebug>::Inst()->Print("IsSdCardInserted() info.st_mode %d\n", inserted ? 1 : 0);
    }
    Singleton<SDDebug>::Inst()->Print("IsSdCardInserted() = %s\n", inserted ? "true" : "false");
    return inserted;
}

bool Storage::IsUsbMemoryInserted()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    return IsBlockDevice(UsbDevice());
}

bool Storage::IsSdCardDetected()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    FILE* file = std::fopen(DETECT_NODE, "r");
    if (file == nullptr) {
        Singleton<SDDebug>::Inst()->Print("%s not exists\n", DETECT_NODE);
        return false;
    }
    int detected = 0;
    bool read = std::fscanf(file, "%d", &detected) == 1;
    std::fclose(file);
    return read && detected == 1;
}

bool Storage::IsInvalidFileSystem()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    return IsInternal() || _fileSystem == 0;
}

bool Storage::IsWritable()
{
    const std::string& path = IsInternal() ? EmmcPartiion() : SdDevice();
    int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    std::printf("[IsWritable]open(%s, O_RDWR):%s\n", path.c_str(), fd >= 0 ? "true" : "false");
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

bool Storage::IsLifeTimeOut()
{
    if (IsInternal())
        return false;
    return IsLifeTimeOut(_normalRecords, _blocks, Singleton<SDDebug>::Inst()->GetNormalCycles());
}

bool Storage::IsLifeTimeOut(int normalRecords, int64_t blocks, int cycles)
{
    SDDebug* log = Singleton<SDDebug>::Inst();
    if (normalRecords < MIN_LIFE_RECORDS) {
        log->Print("[Storage::IsLifeTimeOut()] Too small NormalRecords=%d\n", normalRecords);
        return false;
    }
    int figure = LifeFigureOf(blocks);
    if (figure == 0) {
        log->Print("[Storage::IsLifeTimeOut()] Too small Blocks=%" PRId64 "\n", blocks);
        return false;
    }
    int maxCycles = figure / normalRecords;
    log->Print("[Storage::IsLifeTimeOut()] CurrentCycles=%d, MaxLifeCycles=%d, LifeTime=%d, NormalRecords=%d, "
               "Blocks=%" PRId64 "\n",
        cycles, maxCycles, figure / 60, normalRecords, blocks);
    return cycles > maxCycles;
}

} // namespace vk
