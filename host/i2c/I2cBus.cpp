// The host's I2C buses: the chips of the board file, reached through the
// same calls the board's i2c-dev descriptors answer. A descriptor is a real
// one (on /dev/null) so that its number is the process's own.

#include "dashrec/devices/I2c.h"
#include "host/i2c/ChipModels.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <unistd.h>

namespace vk::I2c {

namespace {

struct Descriptor {
    std::string bus;
    int address = -1;
};

struct Buses {
    std::mutex mutex;
    std::map<int, Descriptor> descriptors;
    // One instance per bus and model: a chip's address pointer lasts from one message to the next.
    std::map<std::string, std::unique_ptr<host::ChipModel>> models;
};

// Never destroyed: singletons close their descriptors at exit, after the statics of this file are gone.
Buses& TheBuses()
{
    static Buses* buses = new Buses;
    return *buses;
}

std::string BoardText()
{
    std::ifstream file(host::BoardPath());
    if (!file)
        return host::DEFAULT_BOARD;
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// The chips the board file puts on the bus.
std::vector<host::ChipModel*> ChipsOn(const std::string& bus)
{
    std::vector<host::ChipModel*> chips;
    if (host::I2cStateDir().empty())
        return chips;
    std::istringstream lines(BoardText());
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string node;
        std::string model;
        if (!(fields >> node >> model) || node != bus || node[0] == '#')
            continue;
        std::unique_ptr<host::ChipModel>& chip = TheBuses().models[bus + " " + model];
        if (chip == nullptr)
            chip = host::MakeChipModel(model);
        if (chip != nullptr)
            chips.push_back(chip.get());
    }
    return chips;
}

// The chip that acknowledges at the address, or null (errno set) when none does.
host::ChipModel* Addressed(int fd, int address)
{
    auto it = TheBuses().descriptors.find(fd);
    if (it == TheBuses().descriptors.end()) {
        errno = EBADF;
        return nullptr;
    }
    for (host::ChipModel* chip : ChipsOn(it->second.bus)) {
        if (chip->Answers(address) && !chip->Refuses())
            return chip;
    }
    errno = EREMOTEIO;
    return nullptr;
}

int BoundAddress(int fd)
{
    auto it = TheBuses().descriptors.find(fd);
    return it == TheBuses().descriptors.end() ? -1 : it->second.address;
}

} // namespace

int Open(const std::string& bus)
{
    std::lock_guard<std::mutex> lock(TheBuses().mutex);
    if (ChipsOn(bus).empty()) {
        errno = ENOENT;
        return -1;
    }
    int fd = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (fd >= 0)
        TheBuses().descriptors[fd] = Descriptor { bus };
    return fd;
}

void Close(int fd)
{
    std::lock_guard<std::mutex> lock(TheBuses().mutex);
    if (TheBuses().descriptors.erase(fd) > 0)
        close(fd);
}

bool BindAddress(int fd, int address)
{
    std::lock_guard<std::mutex> lock(TheBuses().mutex);
    auto it = TheBuses().descriptors.find(fd);
    if (it == TheBuses().descriptors.end()) {
        errno = EBADF;
        return false;
    }
    it->second.address = address;
    return true;
}

ssize_t Write(int fd, const unsigned char* data, size_t size)
{
    std::lock_guard<std::mutex> lock(TheBuses().mutex);
    int address = BoundAddress(fd);
    host::ChipModel* chip = Addressed(fd, address);
    return chip != nullptr && chip->Write(address, data, size) ? static_cast<ssize_t>(size) : -1;
}

ssize_t Read(int fd, unsigned char* data, size_t size)
{
    std::lock_guard<std::mutex> lock(TheBuses().mutex);
    int address = BoundAddress(fd);
    host::ChipModel* chip = Addressed(fd, address);
    return chip != nullptr && chip->Read(address, data, size) ? static_cast<ssize_t>(size) : -1;
}

bool WriteRead(int fd, int address, const unsigned char* out, size_t outSize, unsigned char* in, size_t inSize)
{
    std::lock_guard<std::mutex> lock(TheBuses().mutex);
    host::ChipModel* chip = Addressed(fd, address);
    return chip != nullptr && chip->Write(address, out, outSize) && chip->Read(address, in, inSize);
}

} // namespace vk::I2c
