#pragma once
// A block of display memory with the 2D engine that writes it: what the
// rotation buffers, the splice picture and the DSM copy share.

#include "bmworks/BmDmaDevice.h"

#include <cstddef>
#include <cstdint>

struct BmDmaBlock {
    int fdG2d = -1;
    int fdDisp = -1;
    int index = 0;
    size_t size = 0;
    uintptr_t phyAddr = 0; // rounded up to a multiple of 4
    void* virAddr = nullptr;

    // Each step logs its failure as "<owner>::Init()...<step> failed!".
    bool Open(const char* owner);
    // Takes the next free display-memory index, requests and maps the block.
    bool Allocate(const char* owner, size_t bytes);
    void Release();
    void LogReady(const char* owner, int width, int height) const;
};

// One plain bit-blit of a width x height NV21 picture.
bool gG2dCopy(int fdG2d, const uintptr_t src[2], const uintptr_t dst[2], int width, int height);
