// libFuzzer target: cardaudit's check of a card whose written sectors are
// damaged as the input says. A card image is written once; each input is a
// list of patches (2 bytes: which written sector, 2 bytes: offset in it,
// 1 byte: length, then the bytes), applied, checked, and undone.

#include "cardform/Cardform.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr uint64_t SECTOR = 512;
constexpr uint64_t CARD_SECTORS = 16777216; // room for files of every record type
constexpr int FRONT = 1440, REAR = 1080, FPS = 27, PARKING_FPS = 16;

struct Card {
    std::string path;
    std::vector<uint64_t> written; // offsets of the sectors cardform wrote
};

// The sectors holding data: the layout cardform wrote (the image is sparse).
std::vector<uint64_t> WrittenSectors(int fd)
{
    std::vector<uint64_t> sectors;
    off_t end = lseek(fd, 0, SEEK_END);
    for (off_t data = lseek(fd, 0, SEEK_DATA); data >= 0 && data < end;) {
        off_t hole = lseek(fd, data, SEEK_HOLE);
        for (off_t at = data; at < hole; at += SECTOR) {
            uint8_t bytes[SECTOR];
            if (pread(fd, bytes, SECTOR, at) != static_cast<ssize_t>(SECTOR))
                break;
            for (uint8_t b : bytes) {
                if (b != 0) {
                    sectors.push_back(static_cast<uint64_t>(at));
                    break;
                }
            }
        }
        data = lseek(fd, hole, SEEK_DATA);
    }
    return sectors;
}

const Card& WrittenCard()
{
    static const Card card = [] {
        char name[] = "/tmp/card.XXXXXX";
        int fd = mkstemp(name);
        if (fd < 0 || ftruncate(fd, static_cast<off_t>(CARD_SECTORS * SECTOR)) != 0)
            std::abort();
        std::atexit([] { std::remove(WrittenCard().path.c_str()); });
        Cardform writer;
        if (writer.Init2(name, FRONT, REAR, FPS, PARKING_FPS) != 0 || writer.MakeDisk() != 0)
            std::abort();
        Card made { name, WrittenSectors(fd) };
        close(fd);
        if (made.written.empty())
            std::abort();
        return made;
    }();
    return card;
}

struct Patch {
    uint64_t offset;
    std::vector<uint8_t> bytes;
};

std::vector<Patch> Patches(const uint8_t* data, size_t size, const std::vector<uint64_t>& sectors)
{
    std::vector<Patch> patches;
    size_t at = 0;
    while (at + 5 <= size) {
        size_t sector = (data[at] | data[at + 1] << 8) % sectors.size();
        size_t inside = (data[at + 2] | data[at + 3] << 8) % SECTOR;
        size_t length = std::min<size_t>(data[at + 4], size - at - 5);
        at += 5;
        patches.push_back({ sectors[sector] + inside, std::vector<uint8_t>(data + at, data + at + length) });
        at += length;
    }
    return patches;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const Card& card = WrittenCard();
    std::vector<Patch> patches = Patches(data, size, card.written);
    int fd = open(card.path.c_str(), O_RDWR | O_CLOEXEC);
    std::vector<Patch> undo;
    for (const Patch& patch : patches) {
        Patch before { patch.offset, std::vector<uint8_t>(patch.bytes.size()) };
        if (pread(fd, before.bytes.data(), before.bytes.size(), static_cast<off_t>(patch.offset)) < 0
            || pwrite(fd, patch.bytes.data(), patch.bytes.size(), static_cast<off_t>(patch.offset)) < 0)
            std::abort();
        undo.push_back(before);
    }
    {
        Cardform audit;
        bool verified = audit.Init2(card.path.c_str(), FRONT, REAR, FPS, PARKING_FPS) == 0 && audit.VerifyDisk();
        // The card as written passes.
        if (patches.empty() && !verified)
            std::abort();
    }
    for (auto it = undo.rbegin(); it != undo.rend(); ++it) {
        if (pwrite(fd, it->bytes.data(), it->bytes.size(), static_cast<off_t>(it->offset)) < 0)
            std::abort();
    }
    close(fd);
    return 0;
}
