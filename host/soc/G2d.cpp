// The board's 2D engine and display-memory driver on the host. Display memory
// is the heap (physical address = mapped address), and the 2D engine's bit and
// stretch blits, with their quarter turn, are done by the processor.

#include "bmworks/BmDmaDevice.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

namespace {

constexpr int kFdG2d = 0x6d20;
constexpr int kFdDisp = 0x6d21;

// Display memory by block index, kept for the program's life.
struct DispState {
    std::mutex mutex;
    std::map<unsigned long, void*> blocks;
};

DispState& State()
{
    static DispState* state = new DispState();
    return *state;
}

struct Plane {
    uint8_t* base;
    uint32_t width;  // in elements
    uint32_t height; // in elements
    uint32_t elem;   // bytes per element
};

// The two planes of a picture in elements: luma bytes and V/U pairs at half
// size, or one plane of 32-bit pixels.
int PlanesOf(const BmG2dImage& img, Plane out[2])
{
    if (img.format == G2D_FMT_ARGB8888) {
        out[0] = {reinterpret_cast<uint8_t*>(img.addr[0]), img.w, img.h, 4};
        return 1;
    }
    out[0] = {reinterpret_cast<uint8_t*>(img.addr[0]), img.w, img.h, 1};
    out[1] = {reinterpret_cast<uint8_t*>(img.addr[1]), img.w / 2, img.h / 2, 2};
    return 2;
}

// Scales the source rectangle onto the target rectangle (nearest pixel),
// turning it a quarter clockwise when asked: source column c, row r lands at
// target column (rows - 1 - r), row c.
void CopyScaled(const Plane& src, const BmG2dRect& s, const Plane& dst, const BmG2dRect& d, bool turn)
{
    for (uint32_t j = 0; j < d.h; j++) {
        uint8_t* out = dst.base + ((static_cast<size_t>(d.y) + j) * dst.width + d.x) * dst.elem;
        for (uint32_t i = 0; i < d.w; i++) {
            uint32_t sc = turn ? j * s.w / d.h : i * s.w / d.w;
            uint32_t sr = turn ? (d.w - 1 - i) * s.h / d.w : j * s.h / d.h;
            const uint8_t* in = src.base + ((static_cast<size_t>(s.y) + sr) * src.width + s.x + sc) * src.elem;
            std::memcpy(out + static_cast<size_t>(i) * dst.elem, in, dst.elem);
        }
    }
}

BmG2dRect Scaled(const BmG2dRect& r, uint32_t divisor)
{
    return {r.x / static_cast<int32_t>(divisor), r.y / static_cast<int32_t>(divisor), r.w / divisor, r.h / divisor};
}

bool Inside(const BmG2dRect& r, const Plane& p)
{
    return r.x >= 0 && r.y >= 0 && r.x + r.w <= p.width && r.y + r.h <= p.height;
}

long Blit(const BmG2dImage& src, const BmG2dRect& srcRect, const BmG2dImage& dst, const BmG2dRect& dstRect,
          bool turn)
{
    Plane s[2];
    Plane d[2];
    int planes = PlanesOf(src, s);
    if (PlanesOf(dst, d) != planes || src.addr[0] == 0 || dst.addr[0] == 0)
        return -EINVAL;
    for (int p = 0; p < planes; p++) {
        uint32_t divisor = p == 0 ? 1 : 2;
        BmG2dRect sr = Scaled(srcRect, divisor);
        BmG2dRect dr = Scaled(dstRect, divisor);
        if (s[p].base == nullptr || d[p].base == nullptr || !Inside(sr, s[p]) || !Inside(dr, d[p]))
            return -EINVAL;
        CopyScaled(s[p], sr, d[p], dr, turn);
    }
    return 0;
}

long G2dRequest(unsigned long request, void* arg)
{
    if (request == G2D_CMD_BITBLT) {
        const auto* b = static_cast<const BmG2dBlit*>(arg);
        bool turn = (b->flag & G2D_BLT_ROTATE90) != 0;
        BmG2dRect to{b->dstX, b->dstY, turn ? b->srcRect.h : b->srcRect.w, turn ? b->srcRect.w : b->srcRect.h};
        return Blit(b->src, b->srcRect, b->dst, to, turn);
    }
    if (request == G2D_CMD_STRETCHBLT) {
        const auto* s = static_cast<const BmG2dStretch*>(arg);
        return Blit(s->src, s->srcRect, s->dst, s->dstRect, (s->flag & G2D_BLT_ROTATE90) != 0);
    }
    return -EINVAL;
}

long DispRequest(unsigned long request, const unsigned long* args)
{
    std::lock_guard<std::mutex> lock(State().mutex);
    auto it = State().blocks.find(args[0]);
    switch (request) {
    case DISP_MEM_REQUEST:
        if (it != State().blocks.end() || args[1] == 0)
            return -EBUSY;
        State().blocks[args[0]] = std::calloc(1, args[1]);
        return 0;
    case DISP_MEM_GETADR:
        return it == State().blocks.end() ? -EINVAL : static_cast<long>(reinterpret_cast<uintptr_t>(it->second));
    case DISP_MEM_RELEASE:
        if (it == State().blocks.end())
            return -EINVAL;
        std::free(it->second);
        State().blocks.erase(it);
        return 0;
    default:
        return -EINVAL;
    }
}

} // namespace

int gDmaOpen(const char* path)
{
    if (std::strcmp(path, "/dev/g2d") == 0)
        return kFdG2d;
    if (std::strcmp(path, "/dev/disp") == 0)
        return kFdDisp;
    return -1;
}

long gDmaRequest(int fd, unsigned long request, void* arg)
{
    if (arg == nullptr)
        return -EFAULT;
    if (fd == kFdG2d)
        return G2dRequest(request, arg);
    if (fd == kFdDisp)
        return DispRequest(request, static_cast<const unsigned long*>(arg));
    return -EBADF;
}

void* gDmaMap(int fd, size_t size, uintptr_t phyAddr)
{
    (void)size;
    std::lock_guard<std::mutex> lock(State().mutex);
    for (const auto& block : State().blocks) {
        if (fd == kFdDisp && reinterpret_cast<uintptr_t>(block.second) == phyAddr)
            return block.second;
    }
    return nullptr;
}

int gDmaUnmap(void* addr, size_t size)
{
    (void)size;
    return addr != nullptr ? 0 : -1;
}
