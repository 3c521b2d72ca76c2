#include "cardform/tools/WriteTest.h"

#include "cardform/BlockDevice.h"

#include <cctype>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t BLOCK_BYTES = 1024 * 1024;
constexpr int BLOCKS_PER_RUN = 32;
constexpr int64_t END_RUN_SECTORS = 65536;

std::string CanonicalPath(const std::string& path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

// "/dev/mmcblk1p1" is a partition of "/dev/mmcblk1", "/dev/sda1" of "/dev/sda".
bool IsPartitionOf(const std::string& source, const std::string& device)
{
    if (device.empty() || source.compare(0, device.size(), device) != 0 || source.size() == device.size())
        return false;
    size_t next = device.size();
    if (isdigit(static_cast<unsigned char>(device.back()))) {
        if (source[next] != 'p')
            return false;
        ++next;
    }
    if (next >= source.size())
        return false;
    for (size_t i = next; i < source.size(); ++i)
        if (!isdigit(static_cast<unsigned char>(source[i])))
            return false;
    return true;
}

bool IsSameBlockDevice(const std::string& source, const std::string& device)
{
    struct stat a {};
    struct stat b {};
    return stat(source.c_str(), &a) == 0 && stat(device.c_str(), &b) == 0 && S_ISBLK(a.st_mode) &&
           S_ISBLK(b.st_mode) && a.st_rdev == b.st_rdev;
}

void ErrorLight()
{
    system("echo 112 > /sys/class/gpio/export");
    system("echo out > /sys/class/gpio/gpio112/direction");
    system("echo 1 > /sys/class/gpio/gpio112/value");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
}

std::tm LocalNow()
{
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local {};
    localtime_r(&now, &local);
    return local;
}

// One run of 32 stamped blocks at `offset`.
bool WriteRun(int fd, int64_t offset, int pass, std::vector<uint32_t>* buffer)
{
    if (lseek(fd, offset, SEEK_SET) < 0) {
        puts("GetFATBS()...Error: lseek()");
        return false;
    }
    const std::tm now = LocalNow();
    (*buffer)[0] = static_cast<uint32_t>(now.tm_mday);
    (*buffer)[1] = static_cast<uint32_t>(now.tm_hour);
    (*buffer)[2] = static_cast<uint32_t>(now.tm_min);
    (*buffer)[3] = static_cast<uint32_t>(now.tm_sec);
    for (long long block = 0; block < BLOCKS_PER_RUN; ++block) {
        const ssize_t written = BlockDeviceWrite(fd, buffer->data(), BLOCK_BYTES);
        if (written != static_cast<ssize_t>(BLOCK_BYTES)) {
            printf("    write error %d, block=%lld\n", static_cast<int>(written), block);
            return false;
        }
    }
    printf("\r    count=%d, %02d.%02d:%02d:%02d\n", pass, now.tm_mday, now.tm_hour, now.tm_min, now.tm_sec);
    return true;
}

bool WritePass(const char* device, int pass)
{
    const int fd = open(device, O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        printf("Open error...%s\n", device);
        return false;
    }
    uint64_t sectors = 0;
    BlockDeviceSectors(fd, &sectors);
    printf("nblocks = %d, count = %d : \n", static_cast<int>(sectors), pass);
    std::vector<uint32_t> buffer(BLOCK_BYTES / sizeof(uint32_t), static_cast<uint32_t>(pass));
    const int64_t total = static_cast<int64_t>(sectors);
    // The end run of a device under 32 MiB lands before its start: the seek fails.
    const int64_t offsets[] = {0, total / 2 * 512, (total - END_RUN_SECTORS) * 512};
    bool ok = true;
    for (int64_t offset : offsets) {
        ok = WriteRun(fd, offset, pass, &buffer);
        if (!ok)
            break;
    }
    close(fd);
    if (!ok)
        return false;
    system("sync");
    puts("    complete.");
    return true;
}

} // namespace

bool IsDeviceMounted(const char* device, const char* mountTable)
{
    FILE* table = fopen(mountTable, "r");
    if (table == nullptr)
        return false;
    const std::string path = CanonicalPath(device);
    bool mounted = false;
    char line[4096];
    while (!mounted && fgets(line, sizeof(line), table) != nullptr) {
        char source[PATH_MAX];
        if (sscanf(line, "%4095s", source) != 1)
            continue;
        const std::string mountSource = CanonicalPath(source);
        mounted = mountSource == path || IsPartitionOf(mountSource, path) || IsSameBlockDevice(mountSource, path);
    }
    fclose(table);
    return mounted;
}

int RunWriteTest(const char* device)
{
    if (IsDeviceMounted(device, "/proc/self/mounts")) {
        printf("write test refused, %s is mounted\n", device);
        return 1;
    }
    printf("write test start. %s\n", device);
    for (int pass = 1; WritePass(device, pass); ++pass) {
    }
    ErrorLight();
    return 0;
}
