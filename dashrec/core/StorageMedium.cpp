#include "dashrec/core/StorageMedium.h"

#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Shell.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vk {

namespace {

const int RESULT_BUFFER_SIZE = 10240;
const unsigned long MIN_SECTORS = 966656;
const unsigned long MAX_SECTORS = 2147483648UL;
const int SECTORS_PER_MIB = 2048;
const int PARTITION_TYPE_OFFSET = 450;
const unsigned char FAT32_LBA = 0x0C;
const char* const FOLDERS[] = { "NORMAL", "EVENT", "MANUAL", "PARKING" };
const char* const LAYOUT_DONE = "Cardform::ForceFlush() OK";
const char* const WRITE_DONE = "Write OK";

bool Exists(const char* path)
{
    return access(path, F_OK) == 0;
}

} // namespace

BackupMedium::BackupMedium(const Description& description, std::recursive_mutex& lock)
    : _result(RESULT_BUFFER_SIZE)
    , _resultSize(RESULT_BUFFER_SIZE)
    , _medium(description)
    , _lock(lock)
{
}

void BackupMedium::Mount()
{
    std::lock_guard<std::recursive_mutex> lock(_lock);
    char cmd[128];
    if (_medium.alwaysMakeMountPoint || !Exists(_medium.mountPoint.c_str())) {
        VK_FORMAT_COMMAND(cmd, "mkdir -p %s", _medium.mountPoint.c_str());
        std::system(cmd);
    }
    VK_FORMAT_COMMAND(cmd, "mount %s %s", _medium.partition.c_str(), _medium.mountPoint.c_str());
    std::system(cmd);
    if (_medium.logsMount)
        Singleton<SDDebug>::Inst()->Print("%s%s mount\n", _medium.tag, _medium.partition.c_str());
}

void BackupMedium::Unmount()
{
    std::lock_guard<std::recursive_mutex> lock(_lock);
    char cmd[128];
    VK_FORMAT_COMMAND(cmd, "umount %s", _medium.partition.c_str());
    std::system(cmd);
    Singleton<SDDebug>::Inst()->Print("%s%s umount\n", _medium.tag, _medium.partition.c_str());
}

void BackupMedium::MakeDirectories()
{
    std::lock_guard<std::recursive_mutex> lock(_lock);
    for (const char* folder : FOLDERS) {
        char directroy[128];
        if (std::snprintf(directroy, sizeof(directroy), "%s/%s", _medium.mountPoint.c_str(), folder)
            >= static_cast<int>(sizeof(directroy)))
            VK_ASSERT_REPORT("strlen(directroy) < sizeof(directroy)");
        if (Exists(directroy))
            continue;
        char cmd[128];
        VK_FORMAT_COMMAND(cmd, "mkdir -p %s", directroy);
        std::system(cmd);
    }
    Singleton<SDDebug>::Inst()->Print("%sMakeDirectories\n", _medium.tag);
}

void BackupMedium::Sync()
{
    std::system("sync");
    sleep(2);
}

int BackupMedium::FreeSpace()
{
    std::lock_guard<std::recursive_mutex> lock(_lock);
    struct statvfs info {};
    if (statvfs(_medium.mountPoint.c_str(), &info) != 0) {
        Singleton<SDDebug>::Inst()->Print("statvfs Error\n");
        return 0;
    }
    int free = static_cast<int>(static_cast<unsigned long long>(info.f_bavail) * info.f_bsize >> 20);
    Singleton<SDDebug>::Inst()->Print("%s%s free %d MB\n", _medium.tag, _medium.mountPoint.c_str(), free);
    return free;
}

int BackupMedium::TotalSpace()
{
    std::lock_guard<std::recursive_mutex> lock(_lock);
    int fd = open(_medium.device.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    unsigned long sectors = 0;
    bool known = ioctl(fd, BLKGETSIZE, &sectors) == 0;
    close(fd);
    if (!known || sectors < MIN_SECTORS || sectors > MAX_SECTORS)
        return 0;
    return static_cast<int>(sectors / SECTORS_PER_MIB);
}

bool BackupMedium::IsFat()
{
    std::lock_guard<std::recursive_mutex> lock(_lock);
    int fd = open(_medium.device.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const ssize_t sector = 512;
    bool read = pread(fd, _result.data(), sector, 0) == sector;
    close(fd);
    return read && static_cast<unsigned char>(_result[PARTITION_TYPE_OFFSET]) == FAT32_LBA;
}

int BackupMedium::IsIn()
{
    std::unique_lock<std::recursive_mutex> lock(_lock, std::try_to_lock);
    if (!lock.owns_lock())
        return -1;
    struct stat info {};
    return stat(_medium.device.c_str(), &info) == 0 && S_ISBLK(info.st_mode) ? 1 : 0;
}

bool BackupMedium::RunCaptured(const char* command)
{
    // "> file 2>&1" rather than "&>": a POSIX shell reads "&>" as "run in the
    // background", and the result would be read before the command is done.
    char cmd[128];
    VK_FORMAT_COMMAND(cmd, "%s > %s 2>&1", command, RESULT.c_str());
    int status = std::system(cmd);
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool BackupMedium::ReadResult(bool grow)
{
    FILE* file = std::fopen(RESULT.c_str(), "rb");
    if (file == nullptr)
        return false;
    struct stat info {};
    fstat(fileno(file), &info);
    if (grow && info.st_size > _resultSize) {
        Singleton<SDDebug>::Inst()->Print("%sData size:%d, buffer size:%d realloc\n", _medium.tag,
            static_cast<int>(info.st_size), _resultSize);
        _resultSize = static_cast<int>(info.st_size) + 1024;
        _result.assign(_resultSize, 0);
    }
    std::fill(_result.begin(), _result.end(), 0);
    // One byte stays a terminator.
    size_t length = std::fread(_result.data(), 1, _result.size() - 1, file);
    _result[length] = '\0';
    std::fclose(file);
    return true;
}

bool BackupMedium::LayOut()
{
    char command[128];
    VK_FORMAT_COMMAND(command, "cardform %s wqhd fhd 30 30", _medium.device.c_str());
    bool exited = RunCaptured(command);
    if (!ReadResult(true)) {
        Singleton<SDDebug>::Inst()->Print("%scardform result file error\n", _medium.tag);
        return false;
    }
    const char* flushed = std::strstr(_result.data(), LAYOUT_DONE);
    if (!exited || flushed == nullptr || std::strstr(flushed, WRITE_DONE) == nullptr) {
        Singleton<SDDebug>::Inst()->Print("%s", _result.data());
        return false;
    }
    return true;
}

bool BackupMedium::MakeFileSystem()
{
    char command[128];
    VK_FORMAT_COMMAND(command, "mkfs.vfat %s -n BACKUP", _medium.partition.c_str());
    bool exited = RunCaptured(command);
    if (!ReadResult(false)) {
        Singleton<SDDebug>::Inst()->Print("%smkfs.vfat result file error\n", _medium.tag);
        return false;
    }
    if (_result[0] != '\0')
        Singleton<SDDebug>::Inst()->Print("%s", _result.data());
    Sync();
    // Judged by the exit status: mkfs.vfat prints its banner on success too.
    return exited;
}

bool BackupMedium::Format()
{
    std::lock_guard<std::recursive_mutex> lock(_lock);
    _formatted = false;
    if (!LayOut())
        return false;
    Sync();
    sleep(5);
    std::printf("++++++++++++    partprobe starts    ++++++++++++\n");
    char cmd[128];
    VK_FORMAT_COMMAND(cmd, "partprobe %s", _medium.device.c_str());
    std::system(cmd);
    sleep(2);
    std::printf("++++++++++++    partprobe ends     ++++++++++++\n");
    std::fflush(stdout);
    if (!MakeFileSystem()) {
        Singleton<SDDebug>::Inst()->Print("%sformat %s failure\n", _medium.tag, _medium.partition.c_str());
        return false;
    }
    Singleton<SDDebug>::Inst()->Print("%sformat %s successful\n", _medium.tag, _medium.partition.c_str());
    _formatted = true;
    return true;
}

} // namespace vk
