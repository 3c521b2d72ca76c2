#include "bmworks/BmDsmBuffer.h"

#include <cstdio>

void BmDsmBuffer::Init(int width, int height)
{
    if (mInited || !mBlock.Open("BmDsmBuffer"))
        return;
    mWidth = width;
    mHeight = height;
    size_t luma = static_cast<size_t>(width) * height;
    if (!mBlock.Allocate("BmDsmBuffer", 3 * luma + 32))
        return;
    mPhyAddr[0] = mBlock.phyAddr;
    mPhyAddr[1] = mBlock.phyAddr + luma;
    mInited = true;
    mBlock.LogReady("BmDsmBuffer", width, height);
}

void BmDsmBuffer::Uninit()
{
    if (!mInited)
        return;
    mBlock.Release();
    mInited = false;
}

void BmDsmBuffer::Blit(uintptr_t y, uintptr_t uv)
{
    const uintptr_t src[2] = {y, uv};
    if (!mInited || !gG2dCopy(mBlock.fdG2d, src, mPhyAddr, mWidth, mHeight))
        printf("BmDsmBuffer::Blit()...G2D_CMD_BITBLT failed!\n");
}
