// The chip models a board file may name, one row each.

#include "host/i2c/ChipModels.h"

namespace vk::host {

std::unique_ptr<ChipModel> Make24lc16();
std::unique_ptr<ChipModel> MakeAt24cs32();
std::unique_ptr<ChipModel> MakeIsl1208();
std::unique_ptr<ChipModel> MakeMc3416();
std::unique_ptr<ChipModel> MakeZt2003s();

const char* const DEFAULT_BOARD = "/dev/i2c-2 at24cs32\n"
                                  "/dev/i2c-2 isl1208\n"
                                  "/dev/i2c-2 mc3416\n"
                                  "/dev/i2c-3 zt2003s\n";

namespace {

struct ModelRow {
    const char* name;
    std::unique_ptr<ChipModel> (*make)();
};

const ModelRow MODELS[] = {
    { "24lc16", Make24lc16 },
    { "at24cs32", MakeAt24cs32 },
    { "isl1208", MakeIsl1208 },
    { "mc3416", MakeMc3416 },
    { "zt2003s", MakeZt2003s },
};

} // namespace

std::unique_ptr<ChipModel> MakeChipModel(const std::string& name)
{
    for (const ModelRow& row : MODELS) {
        if (name == row.name)
            return row.make();
    }
    return nullptr;
}

} // namespace vk::host
