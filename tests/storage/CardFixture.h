#pragma once
// The card's "SYSTEM/" folder with its two pre-allocated 4 MiB ring files.

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fixture {

const std::string SYSTEM_DIR = "/mnt/extsd/SYSTEM/";
const std::string LOG_FILE = SYSTEM_DIR + "HISTORY.DM1";
const std::string COUNTER_FILE = SYSTEM_DIR + "HISTORY.DM0";
const long RING_FILE_SIZE = 64 * 65536L;

inline void MakeRingFile(const std::string& path, long size = RING_FILE_SIZE)
{
    mkdir("/mnt/extsd", 0755);
    mkdir(SYSTEM_DIR.c_str(), 0755);
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        if (ftruncate(fd, size) != 0)
            std::perror("ftruncate");
        close(fd);
    }
}

template <typename T>
T ReadAt(const std::string& path, long offset)
{
    T value {};
    int fd = open(path.c_str(), O_RDONLY);
    if (fd >= 0) {
        if (pread(fd, &value, sizeof(value), offset) != static_cast<ssize_t>(sizeof(value)))
            value = T {};
        close(fd);
    }
    return value;
}

template <typename T>
void WriteAt(const std::string& path, long offset, const T& value)
{
    int fd = open(path.c_str(), O_WRONLY);
    if (fd >= 0) {
        if (pwrite(fd, &value, sizeof(value), offset) != static_cast<ssize_t>(sizeof(value)))
            std::perror("pwrite");
        close(fd);
    }
}

} // namespace fixture
