#include "bmworks/BmDmaBlock.h"

#include "bmworks/BmDma.h"

#include <cstdio>

bool BmDmaBlock::Open(const char* owner)
{
    if ((fdG2d = gDmaOpen("/dev/g2d")) < 0) {
        printf("%s::Init()...open device /dev/g2d failed!\n", owner);
        return false;
    }
    if ((fdDisp = gDmaOpen("/dev/disp")) < 0) {
        printf("%s::Init()...open device /dev/disp failed!\n", owner);
        return false;
    }
    return true;
}

// Every block of the process takes its own index, so that no two owners ask
// the driver for the same block.
bool BmDmaBlock::Allocate(const char* owner, size_t bytes)
{
    size = bytes;
    index = BmDma::mDispMemCount++;
    unsigned long args[4] = {static_cast<unsigned long>(index), static_cast<unsigned long>(bytes), 0, 0};
    if (gDmaRequest(fdDisp, DISP_MEM_REQUEST, args) < 0) {
        printf("%s::Init()...open device DISP_MEM_REQUEST failed!\n", owner);
        return false;
    }
    phyAddr = static_cast<uintptr_t>(gDmaRequest(fdDisp, DISP_MEM_GETADR, args));
    phyAddr = (phyAddr + 3) & ~static_cast<uintptr_t>(3);
    virAddr = gDmaMap(fdDisp, bytes, phyAddr);
    if (virAddr == nullptr) {
        printf("%s::Init()...mmap() failed!\n", owner);
        return false;
    }
    return true;
}

void BmDmaBlock::Release()
{
    gDmaUnmap(virAddr, size);
    unsigned long args[4] = {static_cast<unsigned long>(index), 0, 0, 0};
    gDmaRequest(fdDisp, DISP_MEM_RELEASE, args);
    virAddr = nullptr;
}

void BmDmaBlock::LogReady(const char* owner, int width, int height) const
{
    printf("%s::Init()...OK.w=%d, h=%d, pa=%p, va=%p, size=%d, index=%d\n", owner, width, height,
           reinterpret_cast<void*>(phyAddr), virAddr, static_cast<int>(size), index);
}

bool gG2dCopy(int fdG2d, const uintptr_t src[2], const uintptr_t dst[2], int width, int height)
{
    uint32_t w = static_cast<uint32_t>(width);
    uint32_t h = static_cast<uint32_t>(height);
    BmG2dBlit req{};
    req.src = {{src[0], src[1]}, w, h, G2D_FMT_YUV420_SEMIPLANAR, G2D_SEQ_VUVU};
    req.srcRect = {0, 0, w, h};
    req.dst = {{dst[0], dst[1]}, w, h, G2D_FMT_YUV420_SEMIPLANAR, G2D_SEQ_VUVU};
    req.color = 0xEE8899;
    req.alpha = 54;
    return gDmaRequest(fdG2d, G2D_CMD_BITBLT, &req) >= 0;
}
