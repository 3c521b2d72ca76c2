#pragma once
// The accelerometer model on "/dev/i2c-2" at 0x4C, as the board simulator and
// the tests drive it: the raw axis registers, one signed byte each (64 a g).

namespace vk::host::mc3416 {

// Sets the three axis registers at once; false when the state cannot be written.
bool SetAxes(int x, int y, int z);

} // namespace vk::host::mc3416
