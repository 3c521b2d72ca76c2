#pragma once
// Transfers on the board's I2C buses ("/dev/i2c-N"), the way the i2c-dev
// driver offers them: a descriptor bound to one chip address for plain writes
// and reads, and a combined write-then-read transaction to any address. The
// EEPROM, the clock, the accelerometer and the touch controller all go through here.

#include <cstddef>
#include <string>
#include <sys/types.h>

namespace vk::I2c {

// A descriptor of the bus node, or -1 with errno set.
int Open(const std::string& bus);
void Close(int fd);
// Binds the descriptor to a chip for Write and Read, even when a kernel driver holds it (I2C_SLAVE_FORCE).
bool BindAddress(int fd, int address);
// Plain transfers with the bound chip: the count moved, or -1 when the chip did not answer.
ssize_t Write(int fd, const unsigned char* data, size_t size);
ssize_t Read(int fd, unsigned char* data, size_t size);
// One transaction (I2C_RDWR): writes `out` to the chip at `address`, then reads `in` from it.
bool WriteRead(int fd, int address, const unsigned char* out, size_t outSize, unsigned char* in, size_t inSize);

} // namespace vk::I2c
