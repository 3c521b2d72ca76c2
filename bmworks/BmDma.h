#pragma once
// Two pictures in display memory that the 2D engine writes: a captured frame
// turned by 90° (or scaled) into the current one, which then alternates, so
// the display can still show one picture while the next is written.

#include "bmworks/BmDmaBlock.h"

#include <cstdint>

class BmDma {
public:
    enum PixelFormat { PF_YUV420 = 0, PF_ARGB = 1 };

    BmDma() = default;
    BmDma(const BmDma&) = delete;
    BmDma& operator=(const BmDma&) = delete;

    void Init(int width, int height, PixelFormat pf);
    void Uninit();
    bool IsInited() const { return mInited; }

    // The plane of the picture that the next operation writes.
    uintptr_t GetPhyAddr(int plane) const { return mPhyAddr[mMemSelect][plane]; }
    uintptr_t GetVirAddr(int plane) const { return mVirAddr[mMemSelect][plane]; }

    // Source planes are physical addresses of a width x height frame.
    void Blit90(uintptr_t srcY, uintptr_t srcVU);
    void BlitStretch(uintptr_t srcY, uintptr_t srcVU, int srcWidth, int srcHeight);
    void BlitStretch90(uintptr_t srcY, uintptr_t srcVU, int srcWidth, int srcHeight);

    static int mDispMemCount;

private:
    void FillAddresses(uintptr_t phy, uintptr_t vir);
    void Stretch(uint32_t flag, uintptr_t srcY, uintptr_t srcVU, int srcWidth, int srcHeight, const char* failure);
    void NextPicture() { mMemSelect ^= 1; }

    BmDmaBlock mBlock; // the devices and the display memory
    uintptr_t mPhyAddr[2][2] = {};
    uintptr_t mVirAddr[2][2] = {};
    uintptr_t mPhyAddrTemp[2][2] = {};
    int mWidth = 0;
    int mHeight = 0;
    int mMemSize = 0;
    int mDispMemIndex = 0;
    int mMemSelect = 0;
    int mTempWidthHeight = 16;
    PixelFormat mPf = PF_YUV420;
    bool mInited = false;
};
