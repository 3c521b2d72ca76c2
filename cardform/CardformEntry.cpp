// Fields of the 32-byte directory entries, and the two long-name entries that
// precede the short entry of every recording file.

#include "cardform/Cardform.h"
#include "cardform/CardformCommon.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int NAME_BYTES = 11;
constexpr int LONG_NAME_CHARS = 26;
constexpr int CHARS_PER_LONG_ENTRY = 13;
constexpr int SHORT_ENTRY_OFFSET = 2 * Cardform::ENTRY_SIZE;
constexpr uint8_t LONG_NAME_ATTRIBUTE = 0x0F;
// Where the 13 characters of a long-name entry lie, two bytes each.
constexpr int LONG_CHAR_OFFSETS[CHARS_PER_LONG_ENTRY] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};

// Part 0 (characters 1 to 13) is the second entry; part 1, the last, comes first.
template <typename Byte>
Byte* LongEntry(Byte* entry, int part)
{
    return entry + (1 - part) * Cardform::ENTRY_SIZE;
}

} // namespace

void Cardform::SetDirFileName(uint8_t* entry, const char* name)
{
    memcpy(entry, name, NAME_BYTES);
}

void Cardform::SetDirFileAttribute(uint8_t* entry, uint8_t attribute)
{
    entry[11] = attribute;
}

void Cardform::SetDirFileSize(uint8_t* entry, uint32_t size)
{
    PutLe32(entry + 28, size);
}

void Cardform::SetDirFirstCluster(uint8_t* entry, uint32_t cluster)
{
    PutLe16(entry + 20, static_cast<uint16_t>(cluster >> 16));
    PutLe16(entry + 26, static_cast<uint16_t>(cluster));
}

void Cardform::SetDirFileNameLong(uint8_t* entry, const char* shortName, const char* longName)
{
    // The name, a 0 terminator, then 0xFF padding (stored as 0xFFFF).
    uint8_t chars[LONG_NAME_CHARS];
    memset(chars, 0xFF, sizeof(chars));
    const size_t length = std::min(strlen(longName), sizeof(chars) - 1);
    memcpy(chars, longName, length);
    chars[length] = 0;
    uint8_t units[2 * LONG_NAME_CHARS];
    UTF8CharCopy(units, reinterpret_cast<const char*>(chars), LONG_NAME_CHARS);

    const uint8_t checksum = FileNameChecksum(reinterpret_cast<const uint8_t*>(shortName));
    for (int part = 0; part < 2; ++part) {
        uint8_t* lfn = LongEntry(entry, part);
        memset(lfn, 0, ENTRY_SIZE);
        lfn[0] = part == 1 ? 0x42 : 0x01;
        lfn[11] = LONG_NAME_ATTRIBUTE;
        lfn[13] = checksum;
        for (int i = 0; i < CHARS_PER_LONG_ENTRY; ++i)
            memcpy(lfn + LONG_CHAR_OFFSETS[i], units + 2 * (part * CHARS_PER_LONG_ENTRY + i), 2);
    }
    SetDirFileName(entry + SHORT_ENTRY_OFFSET, shortName);
}

void Cardform::SetDirFileAttributeLong(uint8_t* entry, uint8_t attribute)
{
    SetDirFileAttribute(entry + SHORT_ENTRY_OFFSET, attribute);
}

void Cardform::SetDirFileSizeLong(uint8_t* entry, uint32_t size)
{
    SetDirFileSize(entry + SHORT_ENTRY_OFFSET, size);
}

void Cardform::SetDirFirstClusterLong(uint8_t* entry, uint32_t cluster)
{
    SetDirFirstCluster(entry + SHORT_ENTRY_OFFSET, cluster);
}

void Cardform::GetDirFileName(const uint8_t* entry, char* name)
{
    memcpy(name, entry, NAME_BYTES);
    name[NAME_BYTES] = 0;
}

uint8_t Cardform::GetDirFileAttribute(const uint8_t* entry)
{
    return entry[11];
}

uint32_t Cardform::GetDirFileSize(const uint8_t* entry)
{
    return GetLe32(entry + 28);
}

uint32_t Cardform::GetDirFirstCluster(const uint8_t* entry)
{
    return static_cast<uint32_t>(GetLe16(entry + 20)) << 16 | GetLe16(entry + 26);
}

void Cardform::GetDirFileNameLong(const uint8_t* entry, char* shortName, char* longName)
{
    uint8_t units[2 * LONG_NAME_CHARS];
    for (int part = 0; part < 2; ++part) {
        const uint8_t* lfn = LongEntry(entry, part);
        for (int i = 0; i < CHARS_PER_LONG_ENTRY; ++i)
            memcpy(units + 2 * (part * CHARS_PER_LONG_ENTRY + i), lfn + LONG_CHAR_OFFSETS[i], 2);
    }
    CharUTF8Copy(longName, units, LONG_NAME_CHARS);
    longName[LONG_NAME_CHARS] = 0;
    GetDirFileName(entry + SHORT_ENTRY_OFFSET, shortName);
}

uint8_t Cardform::GetDirFileAttributeLong(const uint8_t* entry)
{
    return GetDirFileAttribute(entry + SHORT_ENTRY_OFFSET);
}

uint32_t Cardform::GetDirFileSizeLong(const uint8_t* entry)
{
    return GetDirFileSize(entry + SHORT_ENTRY_OFFSET);
}

uint32_t Cardform::GetDirFirstClusterLong(const uint8_t* entry)
{
    return GetDirFirstCluster(entry + SHORT_ENTRY_OFFSET);
}

uint8_t Cardform::FileNameChecksum(const uint8_t* shortName)
{
    uint8_t sum = 0;
    for (int i = 0; i < NAME_BYTES; ++i)
        sum = static_cast<uint8_t>(((sum & 1) << 7) + (sum >> 1) + shortName[i]);
    return sum;
}

void Cardform::UTF8CharCopy(uint8_t* units, const char* bytes, int count)
{
    for (int i = 0; i < count; ++i) {
        const auto byte = static_cast<uint8_t>(bytes[i]);
        units[2 * i] = byte;
        units[2 * i + 1] = byte == 0xFF ? 0xFF : 0;
    }
}

void Cardform::CharUTF8Copy(char* bytes, const uint8_t* units, int count)
{
    for (int i = 0; i < count; ++i)
        bytes[i] = static_cast<char>(units[2 * i]);
}
