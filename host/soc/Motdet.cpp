// The motion library on the host: a frame-difference detector. A step
// compares the luma picture with the previous one inside the region of
// interest; motion is a share of changed pixels above the level's limit, a
// nearly black picture a covered camera.

#include "bmworks/BmModLib.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kPixelChange = 24;
constexpr int kCoveredMean = 12;
// Changed pixels, in thousandths of the picture, that count as motion, by
// sensitivity level (0 = least sensitive).
constexpr int kMotionPerMille[] = {60, 40, 25, 15, 8, 4, 2};
constexpr int kLevels = sizeof(kMotionPerMille) / sizeof(kMotionPerMille[0]);

struct Detector {
    MOTDET api{};
    int width = 0;
    int height = 0;
    int level = 4;
    bool inited = false;
    std::vector<unsigned char> mask;
    std::vector<unsigned char> previous; // empty until the first picture
};

Detector* Of(MOTDET* var)
{
    return reinterpret_cast<Detector*>(var); // api is the first member
}

int Init(MOTDET* var, int)
{
    Detector* d = Of(var);
    d->inited = true;
    d->previous.clear();
    return 0;
}

int SetRoiMask(MOTDET* var, char* mask, int width, int height)
{
    Detector* d = Of(var);
    if (mask == nullptr || width != d->width || height != d->height)
        return -1;
    d->mask.assign(mask, mask + static_cast<size_t>(width) * height);
    return 0;
}

int SetLevel(MOTDET* var, int level)
{
    if (level < 0 || level >= kLevels)
        return -1;
    Of(var)->level = level;
    return 0;
}

int SetShelter(MOTDET*, int, int)
{
    return 0;
}

int Run(unsigned char* luma, MOTDET* var)
{
    Detector* d = Of(var);
    if (!d->inited || luma == nullptr || d->mask.empty())
        return 0;
    size_t count = static_cast<size_t>(d->width) * d->height;
    long sum = 0;
    size_t watched = 0;
    size_t changed = 0;
    bool first = d->previous.empty();
    for (size_t i = 0; i < count; i++) {
        sum += luma[i];
        if (d->mask[i] == 0)
            continue;
        watched++;
        if (!first && std::abs(luma[i] - d->previous[i]) > kPixelChange)
            changed++;
    }
    d->previous.assign(luma, luma + count);
    if (sum / static_cast<long>(count) < kCoveredMean)
        return 4;
    if (first || watched == 0)
        return 0;
    return changed * 1000 > watched * static_cast<size_t>(kMotionPerMille[d->level]) ? 1 : 0;
}

char* GetMask(MOTDET* var)
{
    return reinterpret_cast<char*>(Of(var)->mask.data());
}

int Reset(MOTDET* var)
{
    Of(var)->previous.clear();
    return 0;
}

} // namespace

MOTDET* allocMOTDET(int width, int height, int, int, int)
{
    if (width <= 0 || height <= 0)
        return nullptr;
    auto* d = new Detector();
    d->width = width;
    d->height = height;
    d->api.vpInit = Init;
    d->api.vpSetROIMask = SetRoiMask;
    d->api.vpSetSensitivityLevel = SetLevel;
    d->api.vpSetShelterPara = SetShelter;
    d->api.vpRun = Run;
    d->api.vpGetMask = GetMask;
    d->api.vpReset = Reset;
    return &d->api;
}

void freeMOTDET(MOTDET* detector)
{
    delete Of(detector);
}
