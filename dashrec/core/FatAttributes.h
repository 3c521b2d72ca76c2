#pragma once
// The FAT attribute byte of a file on the card (hidden, read-only, archive),
// read and set through the open file.

#include <cstdint>

namespace vk::FatAttributes {

constexpr uint32_t READ_ONLY = 0x01;
constexpr uint32_t HIDDEN = 0x02;
constexpr uint32_t SYSTEM = 0x04;
constexpr uint32_t ARCHIVE = 0x20;

// 0, or -1 with errno set.
int Get(int fd, uint32_t& attributes);
int Set(int fd, uint32_t attributes);

} // namespace vk::FatAttributes
