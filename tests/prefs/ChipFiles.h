#pragma once
// The host's chip models seen from a test: which chips the board carries,
// and their register files to read, corrupt and inject.

#include <cstddef>
#include <string>
#include <vector>

namespace chips {

// Lays out the board file with these "<bus> <model>" lines and forgets every chip's state.
void UseBoard(const std::string& lines);
std::vector<unsigned char> Bytes(const std::string& model);
void SetBytes(const std::string& model, const std::vector<unsigned char>& bytes);
// The next `count` transfers to the chip are refused; -1 refuses them all.
void Refuse(const std::string& model, int count);
// The memory chip's cell at `address` takes writes but reads erased after them.
void Wear(const std::string& model, size_t address);
// Back-dates the chip's last change, as if that much time had passed since.
void Age(const std::string& model, int seconds);
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);

} // namespace chips
