#include "host/board/Sysfs.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace board {

namespace {

struct GpioPin {
    int gpio;
    const char* value; // at rest
};

// Red, blue and security LEDs, MCU power hold, rear-camera power, the touch
// panel's interrupt (high while not pressed) and vendor select, the SD test's
// failure lamp, and B+ (present).
const GpioPin GPIO_PINS[] = {
    { 112, "0" }, { 195, "0" }, { 196, "0" }, { 197, "0" }, { 201, "0" },
    { 205, "0" }, { 227, "0" }, { 229, "1" }, { GPIO_BATTERY_PLUS, "0" },
};

struct Node {
    const char* path; // under the sysfs root
    const char* text;
};

const Node NODES[] = {
    { "/class/gpio/export", "" },
    { "/class/gpio/unexport", "" },
    { "/camdetect/detect", "1" },
    { "/camdetect/standby", "0" },
    { "/imx335reg/standby", "0" },
    { "/imx335reg/shr0", "0" },
    { "/imx335reg/shr1", "0" },
    { "/imx335reg/exp", "0" },
    { "/sdcard0/detect", "0" },
    { "/class/gpadc/data", "0" },
    { "/class/backlight/lcd0/bl_power", "0" },
    { "/st7789v/st7789v_power", "1" },
    { "/class/soc_dump/dump", "" },
    { "/class/soc_dump/write", "" },
    { "/devices/tp2825b/status", "0" },
};

bool MakeDirs(const std::string& path)
{
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        std::string dir = path.substr(0, slash);
        if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

bool MakeNode(const std::string& path, const std::string& text)
{
    if (MakeDirs(path) && WriteNode(path, text))
        return true;
    std::fprintf(stderr, "[board] cannot make %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
}

} // namespace

std::string GpioValuePath(int gpio, const std::string& root)
{
    return root + "/class/gpio/gpio" + std::to_string(gpio) + "/value";
}

bool LayOutSysfs(const std::string& root)
{
    for (const GpioPin& pin : GPIO_PINS) {
        std::string dir = root + "/class/gpio/gpio" + std::to_string(pin.gpio);
        if (!MakeNode(dir + "/direction", "in") || !MakeNode(dir + "/value", pin.value))
            return false;
    }
    for (const Node& node : NODES)
        if (!MakeNode(root + node.path, node.text))
            return false;
    return true;
}

// Replaced whole, so a reader polling the node never sees it empty.
bool WriteNode(const std::string& path, const std::string& text)
{
    std::string staged = path + ".new";
    {
        std::ofstream out(staged, std::ios::trunc);
        out << text << (text.empty() ? "" : "\n");
        if (!out)
            return false;
    }
    return std::rename(staged.c_str(), path.c_str()) == 0;
}

std::string ReadNode(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    std::string s = text.str();
    while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
        s.pop_back();
    return s;
}

} // namespace board
