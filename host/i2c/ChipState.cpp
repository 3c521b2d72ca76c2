#include "host/i2c/ChipModel.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vk::host {

std::string I2cStateDir()
{
    const char* dir = std::getenv("DASHREC_HOST_DIR");
    return dir == nullptr ? std::string() : std::string(dir) + "/i2c";
}

std::string BoardPath()
{
    return I2cStateDir() + "/board";
}

std::string ChipStatePath(const std::string& name)
{
    return I2cStateDir() + "/" + name + ".bin";
}

ChipState::ChipState(std::string name, size_t size, unsigned char blank)
    : _name(std::move(name))
    , _size(size)
    , _blank(blank)
{
}

std::vector<unsigned char> ChipState::Load() const
{
    std::vector<unsigned char> bytes(_size, _blank);
    if (FILE* file = std::fopen(ChipStatePath(_name).c_str(), "rb")) {
        size_t count = std::fread(bytes.data(), 1, bytes.size(), file);
        (void)count; // a short file keeps the blank bytes behind what it holds
        std::fclose(file);
    }
    return bytes;
}

timespec ChipState::Changed() const
{
    struct stat info {};
    if (stat(ChipStatePath(_name).c_str(), &info) != 0) {
        timespec now {};
        clock_gettime(CLOCK_REALTIME, &now);
        return now;
    }
    return info.st_mtim;
}

void ChipState::Save(const std::vector<unsigned char>& bytes, const timespec* changed) const
{
    mkdir(I2cStateDir().c_str(), 0755);
    std::string path = ChipStatePath(_name);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    if (changed != nullptr) {
        timespec times[2] = { *changed, *changed };
        utimensat(AT_FDCWD, path.c_str(), times, 0);
    }
}

bool ChipState::Refuses() const
{
    std::string path = I2cStateDir() + "/" + _name + ".nak";
    long count = 0;
    if (FILE* file = std::fopen(path.c_str(), "r")) {
        if (std::fscanf(file, "%ld", &count) != 1)
            count = 0;
        std::fclose(file);
    }
    if (count > 0) {
        if (FILE* file = std::fopen(path.c_str(), "w")) {
            std::fprintf(file, "%ld\n", count - 1);
            std::fclose(file);
        }
    }
    return count != 0;
}

std::set<size_t> ChipState::WornCells() const
{
    std::set<size_t> cells;
    if (FILE* file = std::fopen((I2cStateDir() + "/" + _name + ".worn").c_str(), "r")) {
        for (unsigned long address = 0; std::fscanf(file, "%lu", &address) == 1;)
            cells.insert(address);
        std::fclose(file);
    }
    return cells;
}

} // namespace vk::host
