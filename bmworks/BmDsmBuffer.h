#pragma once
// A copy of one camera's small frames in display memory, for an image
// analysis that reads it in place.

#include "bmworks/BmDmaBlock.h"

#include <cstdint>

class BmDsmBuffer {
public:
    void Init(int width, int height);
    void Uninit();
    // Blit a width x height frame (physical planes) into the buffer.
    void Blit(uintptr_t y, uintptr_t uv);
    char* GetPtr() const { return static_cast<char*>(mBlock.virAddr); }
    bool IsInited() const { return mInited; }

private:
    BmDmaBlock mBlock;
    uintptr_t mPhyAddr[2] = {};
    int mWidth = 0;
    int mHeight = 0;
    bool mInited = false;
};
