#include "ChipFiles.h"

#include "host/i2c/ChipModel.h"

#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace chips {

void UseBoard(const std::string& lines)
{
    std::string dir = vk::host::I2cStateDir();
    mkdir(dir.c_str(), 0755);
    for (const char* model : { "24lc16", "at24cs32", "isl1208" }) {
        unlink(vk::host::ChipStatePath(model).c_str());
        unlink((dir + "/" + model + ".nak").c_str());
        unlink((dir + "/" + model + ".worn").c_str());
    }
    WriteFile(vk::host::BoardPath(), lines);
}

std::vector<unsigned char> Bytes(const std::string& model)
{
    std::string text = ReadFile(vk::host::ChipStatePath(model));
    return std::vector<unsigned char>(text.begin(), text.end());
}

void SetBytes(const std::string& model, const std::vector<unsigned char>& bytes)
{
    WriteFile(vk::host::ChipStatePath(model), std::string(bytes.begin(), bytes.end()));
}

void Refuse(const std::string& model, int count)
{
    WriteFile(vk::host::I2cStateDir() + "/" + model + ".nak", std::to_string(count) + "\n");
}

void Wear(const std::string& model, size_t address)
{
    std::ofstream(vk::host::I2cStateDir() + "/" + model + ".worn", std::ios::app) << address << "\n";
}

void Age(const std::string& model, int seconds)
{
    timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    now.tv_sec -= seconds;
    timespec times[2] = { now, now };
    utimensat(AT_FDCWD, vk::host::ChipStatePath(model).c_str(), times, 0);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
}

} // namespace chips
