#pragma once
// The touch controller model on "/dev/i2c-3" at 0x48, as the board simulator
// and the tests drive it: the raw 12-bit readings its commands answer with.

namespace vk::host::zt2003s {

// Sets the x, y and z readings at once; false when the state cannot be written.
bool SetReadings(unsigned x, unsigned y, unsigned z);

} // namespace vk::host::zt2003s
