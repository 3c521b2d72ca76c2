#pragma once
// The table of chip models, by the name a board file gives them.

#include "host/i2c/ChipModel.h"

#include <memory>
#include <string>

namespace vk::host {

// Null for a name no model answers to.
std::unique_ptr<ChipModel> MakeChipModel(const std::string& name);

} // namespace vk::host
