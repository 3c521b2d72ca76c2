#pragma once
// One picture of both cameras for a single encoder: the front camera's frame
// on top, the rear's below, composed in display memory by the 2D engine.

#include "bmworks/BmDmaBlock.h"

#include <cstdint>

class BmSplice {
public:
    struct SplicePicture {
        uintptr_t mPhyAddrFront[2];
        uintptr_t mVirAddrFront[2];
        uintptr_t mPhyAddrRear[2];
        uintptr_t mVirAddrRear[2];
        bool mFrontCopied;
        bool mRearCopied;
    };

    static BmSplice* Inst();

    void Init(int width, int height);
    // Blit one camera's width x height frame (physical planes) into its half.
    bool CopyFront(uintptr_t y, uintptr_t uv);
    bool CopyRear(uintptr_t y, uintptr_t uv);
    // Plane 0 = Y, 1 = UV of the whole picture.
    uintptr_t GetPhyAddr(int plane) const;
    uintptr_t GetVirAddr(int plane) const;
    bool IsReady(int) const { return true; }
    void Release(int picture);
    bool IsInited() const { return mInited; }

private:
    BmSplice() = default;
    bool Copy(const uintptr_t dst[2], uintptr_t y, uintptr_t uv, const char* failure);
    void NextWhenComplete();

    BmDmaBlock mBlock;
    bool mInited = false;
    int mIndex = 0;
    int mWidth = 0;
    int mHeight = 0;
    SplicePicture mPicture[1] = {};
};
