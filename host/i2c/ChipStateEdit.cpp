#include "host/i2c/ChipStateEdit.h"

#include "host/i2c/ChipModel.h"

#include <cstdio>
#include <sys/stat.h>

namespace vk::host {

bool EditChipState(const std::string& name, size_t size, unsigned char blank, size_t offset,
    const std::vector<unsigned char>& bytes)
{
    if (I2cStateDir().empty() || offset + bytes.size() > size)
        return false;
    std::vector<unsigned char> state = ChipState(name, size, blank).Load();
    std::copy(bytes.begin(), bytes.end(), state.begin() + static_cast<long>(offset));
    mkdir(I2cStateDir().c_str(), 0755);
    std::string path = ChipStatePath(name);
    std::string staged = path + ".new";
    FILE* file = std::fopen(staged.c_str(), "wb");
    if (file == nullptr)
        return false;
    bool written = std::fwrite(state.data(), 1, state.size(), file) == state.size();
    written = std::fclose(file) == 0 && written;
    return written && std::rename(staged.c_str(), path.c_str()) == 0;
}

} // namespace vk::host
