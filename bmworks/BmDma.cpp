#include "bmworks/BmDma.h"

#include "bmworks/BmDmaDevice.h"

#include <cstdio>

int BmDma::mDispMemCount = 0;

namespace {

struct FormatCodes {
    uint32_t format;
    uint32_t seq;
    int bytesPerPixelTimes2; // a picture's bytes per pixel, doubled
};

const FormatCodes kFormats[] = {
    {G2D_FMT_YUV420_SEMIPLANAR, G2D_SEQ_VUVU, 3}, // PF_YUV420
    {G2D_FMT_ARGB8888, G2D_SEQ_ARGB, 8},          // PF_ARGB
};

constexpr uint32_t kBlitColor = 0xEE8899;

} // namespace

void BmDma::Init(int width, int height, PixelFormat pf)
{
    if (!mBlock.Open("BmDma"))
        return;
    mWidth = width;
    mHeight = height;
    mPf = pf;
    mTempWidthHeight = 16;
    if (pf != PF_YUV420 && pf != PF_ARGB) {
        printf("BmDma::Init()...PixelFormat error! pf=%d\n", pf);
        return;
    }
    // Two pictures and two scratch pictures: 1.5 bytes a pixel each for YUV, 4 for ARGB.
    int perPixel2 = kFormats[pf].bytesPerPixelTimes2;
    mMemSize = perPixel2 * (width * height + mTempWidthHeight * mTempWidthHeight);
    if (!mBlock.Allocate("BmDma", static_cast<size_t>(mMemSize)))
        return;
    mDispMemIndex = mBlock.index;
    FillAddresses(mBlock.phyAddr, reinterpret_cast<uintptr_t>(mBlock.virAddr));
    mInited = true;
    mBlock.LogReady("BmDma", width, height);
}

void BmDma::FillAddresses(uintptr_t phy, uintptr_t vir)
{
    uintptr_t luma = static_cast<uintptr_t>(mWidth) * mHeight;
    uintptr_t temp = static_cast<uintptr_t>(mTempWidthHeight) * mTempWidthHeight;
    if (mPf == PF_ARGB) {
        for (int pic = 0; pic < 2; pic++) {
            mPhyAddr[pic][0] = phy + pic * 4 * luma;
            mVirAddr[pic][0] = vir + pic * 4 * luma;
            mPhyAddr[pic][1] = mVirAddr[pic][1] = 0;
            mPhyAddrTemp[pic][0] = phy + 8 * luma + pic * 4 * temp;
            mPhyAddrTemp[pic][1] = 0;
        }
        return;
    }
    for (int pic = 0; pic < 2; pic++) {
        uintptr_t start = pic * luma * 3 / 2;
        mPhyAddr[pic][0] = phy + start;
        mPhyAddr[pic][1] = phy + start + luma;
        mVirAddr[pic][0] = vir + start;
        mVirAddr[pic][1] = vir + start + luma;
        mPhyAddrTemp[pic][0] = phy + 3 * luma + pic * temp * 3 / 2;
        mPhyAddrTemp[pic][1] = mPhyAddrTemp[pic][0] + temp;
    }
}

// The block is given back at power-down; the descriptors stay open for a
// later Init, but no operation may write the released memory any more.
void BmDma::Uninit()
{
    if (!mInited)
        return;
    mBlock.Release();
    mVirAddr[0][0] = 0;
    mInited = false;
}

void BmDma::Blit90(uintptr_t srcY, uintptr_t srcVU)
{
    const FormatCodes& codes = kFormats[mPf];
    uint32_t w = static_cast<uint32_t>(mWidth);
    uint32_t h = static_cast<uint32_t>(mHeight);
    BmG2dBlit req{};
    req.flag = G2D_BLT_ROTATE90;
    req.src = {{srcY, srcVU}, w, h, codes.format, codes.seq};
    req.srcRect = {0, 0, w, h};
    req.dst = {{mPhyAddr[mMemSelect][0], mPhyAddr[mMemSelect][1]}, h, w, codes.format, codes.seq};
    req.color = kBlitColor;
    req.alpha = 54;
    if (!mInited || gDmaRequest(mBlock.fdG2d, G2D_CMD_BITBLT, &req) < 0)
        printf("BmDma::Blit()...G2D_CMD_BITBLT failed!\n");
    NextPicture();
}

void BmDma::Stretch(uint32_t flag, uintptr_t srcY, uintptr_t srcVU, int srcWidth, int srcHeight, const char* failure)
{
    const FormatCodes& codes = kFormats[mPf];
    uint32_t sw = static_cast<uint32_t>(srcWidth);
    uint32_t sh = static_cast<uint32_t>(srcHeight);
    uint32_t w = static_cast<uint32_t>(mWidth);
    uint32_t h = static_cast<uint32_t>(mHeight);
    BmG2dStretch req{};
    req.flag = flag;
    req.src = {{srcY, srcVU}, sw, sh, codes.format, codes.seq};
    req.srcRect = {0, 0, sw, sh};
    req.dst = {{mPhyAddr[mMemSelect][0], mPhyAddr[mMemSelect][1]}, w, h, codes.format, codes.seq};
    req.dstRect = {0, 0, w, h};
    req.color = kBlitColor;
    req.alpha = 115;
    if (!mInited || gDmaRequest(mBlock.fdG2d, G2D_CMD_STRETCHBLT, &req) < 0)
        printf("%s\n", failure);
    NextPicture();
}

void BmDma::BlitStretch(uintptr_t srcY, uintptr_t srcVU, int srcWidth, int srcHeight)
{
    Stretch(0, srcY, srcVU, srcWidth, srcHeight, "BmDma::BlitStretch()...G2D_CMD_STRETCHBLT failed!");
}

void BmDma::BlitStretch90(uintptr_t srcY, uintptr_t srcVU, int srcWidth, int srcHeight)
{
    Stretch(G2D_BLT_ROTATE90, srcY, srcVU, srcWidth, srcHeight, "BmDma::Blit()...G2D_CMD_STRETCHBLT failed!");
}
