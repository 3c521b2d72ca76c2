#pragma once
// Little-endian fields, MBR offsets and the banner lines shared by the model,
// the writer and the verifier of the card layout.

#include <cstdint>
#include <cstdio>

constexpr int MBR_DISK_SIGNATURE_OFFSET = 440;
constexpr int MBR_PARTITION_OFFSET = 446;
constexpr int MBR_SIGNATURE_OFFSET = 510;
constexpr uint8_t PARTITION_TYPE_FAT32_LBA = 0x0C;
constexpr int BOOT_TOTAL_SECTORS_OFFSET = 32;
constexpr int BOOT_SECTORS_PER_FAT_OFFSET = 36;

inline uint16_t GetLe16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

inline uint32_t GetLe32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

inline void PutLe16(uint8_t* p, uint16_t value)
{
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

inline void PutLe32(uint8_t* p, uint32_t value)
{
    PutLe16(p, static_cast<uint16_t>(value));
    PutLe16(p + 2, static_cast<uint16_t>(value >> 16));
}

inline void PrintLine(char c, int count)
{
    for (int i = 0; i < count; ++i)
        putchar(c);
    putchar('\n');
}
