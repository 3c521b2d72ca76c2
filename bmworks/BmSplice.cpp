#include "bmworks/BmSplice.h"

#include <cstdio>

BmSplice* BmSplice::Inst()
{
    static BmSplice* splice = new BmSplice(); // kept for the program's life
    return splice;
}

// Semi-planar 4:2:0 of width x 2·height: both Y planes, then both UV planes.
void BmSplice::Init(int width, int height)
{
    if (mInited || !mBlock.Open("BmSplice"))
        return;
    mWidth = width;
    mHeight = height;
    size_t luma = static_cast<size_t>(width) * height;
    if (!mBlock.Allocate("BmSplice", 3 * luma + 32))
        return;
    uintptr_t offsets[2][2] = {{0, 2 * luma}, {luma, 2 * luma + luma / 2}}; // [front, rear][Y, UV]
    SplicePicture& p = mPicture[0];
    for (int plane = 0; plane < 2; plane++) {
        p.mPhyAddrFront[plane] = mBlock.phyAddr + offsets[0][plane];
        p.mVirAddrFront[plane] = reinterpret_cast<uintptr_t>(mBlock.virAddr) + offsets[0][plane];
        p.mPhyAddrRear[plane] = mBlock.phyAddr + offsets[1][plane];
        p.mVirAddrRear[plane] = reinterpret_cast<uintptr_t>(mBlock.virAddr) + offsets[1][plane];
    }
    mInited = true;
    mBlock.LogReady("BmSplice", width, height);
}

bool BmSplice::Copy(const uintptr_t dst[2], uintptr_t y, uintptr_t uv, const char* failure)
{
    const uintptr_t src[2] = {y, uv};
    if (!mInited || !gG2dCopy(mBlock.fdG2d, src, dst, mWidth, mHeight)) {
        printf("%s\n", failure);
        return false;
    }
    return true;
}

bool BmSplice::CopyFront(uintptr_t y, uintptr_t uv)
{
    SplicePicture& p = mPicture[mIndex];
    if (!Copy(p.mPhyAddrFront, y, uv, "BmSplice::CopyFront()...G2D_CMD_BITBLT failed!"))
        return false;
    p.mFrontCopied = true;
    NextWhenComplete();
    return true;
}

bool BmSplice::CopyRear(uintptr_t y, uintptr_t uv)
{
    SplicePicture& p = mPicture[mIndex];
    if (!Copy(p.mPhyAddrRear, y, uv, "BmSplice::CopyRear()...G2D_CMD_BITBLT failed!"))
        return false;
    p.mRearCopied = true;
    NextWhenComplete();
    return true;
}

// There is one picture: the index wraps to it at once.
void BmSplice::NextWhenComplete()
{
    if (mPicture[mIndex].mFrontCopied && mPicture[mIndex].mRearCopied)
        mIndex = (mIndex + 1) % 1;
}

uintptr_t BmSplice::GetPhyAddr(int plane) const
{
    return mPicture[mIndex].mPhyAddrFront[plane];
}

uintptr_t BmSplice::GetVirAddr(int plane) const
{
    return mPicture[mIndex].mVirAddrFront[plane];
}

void BmSplice::Release(int picture)
{
    mPicture[picture].mFrontCopied = mPicture[picture].mRearCopied = false;
}
