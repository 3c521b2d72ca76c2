#pragma once
// The two ring files of the card's "SYSTEM/" folder (log blocks and write
// counters) share their shape: 64 slots of 64 KiB in a file of exactly that
// size, written in place.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vk::CardRing {

constexpr int SLOTS = 64;
// Marks a block or record in use.
constexpr int32_t SYNC = 0x004169DB;
constexpr long SLOT_SIZE = 65536;

// Opens a ring file for in-place update; -1 when it is missing or shorter than
// its 64 slots (a short file would have to grow, which the card never allows).
int Open(const std::string& path);
// Reads or writes `length` bytes at the start of `slot`; false on a short transfer.
bool ReadSlot(int fd, int slot, void* data, size_t length);
bool WriteSlot(int fd, int slot, const void* data, size_t length);

struct Newest {
    int index = -1;
    int64_t count = -1;
};

// Reads every slot into its image (`decode` undoes any scrambling); an image
// that is not valid is reset to its slot. The first of equal counts is the newest.
template <typename Image, typename Decode>
Newest ScanSlots(int fd, std::array<std::shared_ptr<Image>, SLOTS>& images, Decode decode)
{
    Newest newest;
    for (int n = 0; n < SLOTS; ++n) {
        Image& image = *images[n];
        bool read = ReadSlot(fd, n, &image, sizeof(image));
        decode(image);
        if (read && image.IsValid())
            image.SetIndex(n);
        else
            image.Reset(n);
        if (image.count > newest.count)
            newest = { n, image.count };
    }
    return newest;
}

} // namespace vk::CardRing
