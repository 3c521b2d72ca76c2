#pragma once
// The board's 2D engine ("/dev/g2d") and display-memory driver ("/dev/disp"):
// the requests the engine makes of them, and the four calls that reach them.

#include <cstddef>
#include <cstdint>

// Requests of "/dev/g2d"; the argument is a BmG2dBlit or a BmG2dStretch.
constexpr unsigned long G2D_CMD_BITBLT = 80;
constexpr unsigned long G2D_CMD_STRETCHBLT = 82;
constexpr uint32_t G2D_BLT_ROTATE90 = 0x80;

// Requests of "/dev/disp"; the argument is an array of four unsigned longs
// (block index, size). The physical-address request answers with the address.
constexpr unsigned long DISP_MEM_REQUEST = 0x2C0;
constexpr unsigned long DISP_MEM_RELEASE = 0x2C1;
constexpr unsigned long DISP_MEM_GETADR = 0x2C2;

// Picture formats of the 2D engine: semi-planar YUV 4:2:0 with V first, ARGB.
constexpr uint32_t G2D_FMT_YUV420_SEMIPLANAR = 24;
constexpr uint32_t G2D_SEQ_VUVU = 3;
constexpr uint32_t G2D_FMT_ARGB8888 = 0;
constexpr uint32_t G2D_SEQ_ARGB = 6;

struct BmG2dImage {
    uintptr_t addr[2]; // physical planes; plane 1 unused for ARGB
    uint32_t w;
    uint32_t h;
    uint32_t format;
    uint32_t pixelSeq;
};

struct BmG2dRect {
    int32_t x;
    int32_t y;
    uint32_t w;
    uint32_t h;
};

struct BmG2dBlit {
    uint32_t flag;
    BmG2dImage src;
    BmG2dRect srcRect;
    BmG2dImage dst;
    int32_t dstX;
    int32_t dstY;
    uint32_t color;
    uint32_t alpha;
};

struct BmG2dStretch {
    uint32_t flag;
    BmG2dImage src;
    BmG2dRect srcRect;
    BmG2dImage dst;
    BmG2dRect dstRect;
    uint32_t color;
    uint32_t alpha;
};

// open(path, O_RDWR), ioctl, mmap of a display-memory block (shared,
// read-write, the physical address as offset) and munmap.
int gDmaOpen(const char* path);
long gDmaRequest(int fd, unsigned long request, void* arg);
void* gDmaMap(int fd, size_t size, uintptr_t phyAddr);
int gDmaUnmap(void* addr, size_t size);
