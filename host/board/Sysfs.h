#pragma once
// The board's sysfs nodes as plain files in the sandbox's /sys: the GPIO pins
// (each with its direction and value files, exported from the start, since
// writing "export" to a plain file creates nothing) and the other nodes the
// program reads. The program writes them through the shell as on the board;
// the simulator and tests read and set them here.

#include <string>

namespace board {

const char* const GPIO_DIR = "/sys/class/gpio";

// The permanent supply (B+) input: 0 present, 1 lost.
const int GPIO_BATTERY_PLUS = 365;

// Lays out every node with its resting value under `root` ("/sys" in the sandbox).
bool LayOutSysfs(const std::string& root = "/sys");

// The path of a pin's value file.
std::string GpioValuePath(int gpio, const std::string& root = "/sys");

bool WriteNode(const std::string& path, const std::string& text);
// The node's text without its trailing newline; empty when it cannot be read.
std::string ReadNode(const std::string& path);

} // namespace board
