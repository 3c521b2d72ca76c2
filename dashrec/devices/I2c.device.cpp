#include "dashrec/devices/I2c.h"

#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace vk::I2c {

int Open(const std::string& bus)
{
    return open(bus.c_str(), O_RDWR);
}

void Close(int fd)
{
    close(fd);
}

bool BindAddress(int fd, int address)
{
    return ioctl(fd, I2C_SLAVE_FORCE, address) >= 0;
}

ssize_t Write(int fd, const unsigned char* data, size_t size)
{
    return write(fd, data, size);
}

ssize_t Read(int fd, unsigned char* data, size_t size)
{
    return read(fd, data, size);
}

bool WriteRead(int fd, int address, const unsigned char* out, size_t outSize, unsigned char* in, size_t inSize)
{
    i2c_msg messages[2] = {
        { static_cast<__u16>(address), 0, static_cast<__u16>(outSize), const_cast<unsigned char*>(out) },
        { static_cast<__u16>(address), I2C_M_RD, static_cast<__u16>(inSize), in },
    };
    i2c_rdwr_ioctl_data transaction = { messages, 2 };
    return ioctl(fd, I2C_RDWR, &transaction) >= 0;
}

} // namespace vk::I2c
