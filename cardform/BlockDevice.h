#pragma once
// Size and flush requests of a storage device. A card or the eMMC answers them
// as a block device; an image file standing in for one gives its size by its
// length and is flushed by fsync. Which one is chosen by what the open file is,
// so the tools behave the same on a card and on an image.

#include <cstdint>
#include <sys/types.h>

// The device's size in 512-byte sectors; 0, or -1 with errno set.
int BlockDeviceSectors(int fd, uint64_t* sectors);
// Writes the device's buffers out; 0, or -1 with errno set.
int BlockDeviceFlush(int fd);

// Whole transfers: the bytes moved, short only when the device failed or ended.
ssize_t BlockDeviceWrite(int fd, const void* buffer, size_t bytes);
ssize_t BlockDeviceRead(int fd, void* buffer, size_t bytes);
