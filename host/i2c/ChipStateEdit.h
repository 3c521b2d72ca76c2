#pragma once
// Changes a chip's state file from outside the program (the board simulator,
// a test) in one step: the program's next transfer sees either the old bytes
// or the new ones, never a file half written.

#include <cstddef>
#include <string>
#include <vector>

namespace vk::host {

// Writes `bytes` at `offset` of the chip's state, which is `size` bytes of `blank` where unset.
bool EditChipState(const std::string& name, size_t size, unsigned char blank, size_t offset,
    const std::vector<unsigned char>& bytes);

} // namespace vk::host
