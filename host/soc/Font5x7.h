#pragma once
// A 5 × 7 bitmap font for the synthetic cameras' captions: digits, capital
// letters and a few signs. Each glyph is seven rows, bit 4 the leftmost pixel.

#include <cstdint>

namespace soc {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;

// Rows of the glyph of c; a blank for characters the font lacks.
const uint8_t* Glyph(char c);

} // namespace soc
