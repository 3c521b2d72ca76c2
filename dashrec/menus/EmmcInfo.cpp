#include "dashrec/menus/EmmcInfo.h"

#include "cardform/BlockDevice.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Storage.h"

#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace vk {

namespace {

const char* const NOT_AVAILABLE = "N/A";
// Below about 472 MiB or above 1 TiB the device's answer is not believable.
const uint64_t MIN_SECTORS = 0xEC000;
const uint64_t MAX_SECTORS = 0x80000000;
const unsigned SECTOR_SHIFT = 9;
const unsigned GIB_SHIFT = 30;

} // namespace

const std::string EmmcInfo::_path = "/sys/class/mmc_host/mmc0/mmc0:0001/";

EmmcInfo::EmmcInfo()
{
    ReadName();
    ReadSize();
    ReadLifeTime();
    Singleton<SDDebug>::Inst()->Print("[eMMC]size:%s, life time:%s\n", Size(), LifeTime());
}

void EmmcInfo::ReadName()
{
    _name = NOT_AVAILABLE;
    FILE* file = fopen((_path + "name").c_str(), "r");
    if (file == nullptr)
        return;
    char word[64] = {};
    // The width keeps a longer word inside the buffer.
    if (fscanf(file, "%63s", word) == 1)
        _name = word;
    fclose(file);
}

void EmmcInfo::ReadSize()
{
    const std::string& device = Storage::Inst()->EmmcDevice();
    int fd = open(device.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        printf("OpenDevice error...%s\n", device.c_str());
        _size = NOT_AVAILABLE;
        return;
    }
    uint64_t sectors = 0;
    bool known = BlockDeviceSectors(fd, &sectors) == 0;
    close(fd);
    if (!known || sectors < MIN_SECTORS || sectors > MAX_SECTORS) {
        _size = "ERR";
        return;
    }
    _size = std::to_string((sectors << SECTOR_SHIFT) >> GIB_SHIFT) + "GB";
}

void EmmcInfo::ReadLifeTime()
{
    FILE* file = fopen((_path + "life_time").c_str(), "r");
    if (file == nullptr) {
        _life = 0;
        _life_time = NOT_AVAILABLE;
        return;
    }
    unsigned life = 0;
    if (fscanf(file, "0x%x", &life) != 1)
        life = 0;
    fclose(file);
    _life = life;
    _life_time = std::to_string(_life);
}

void EmmcInfo::Print() const
{
    Singleton<SDDebug>::Inst()->Print("[eMMC %s]name:%s, life_time:%s\n", Size(), _name.c_str(), LifeTime());
}

} // namespace vk
