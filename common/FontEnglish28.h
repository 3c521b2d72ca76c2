#pragma once
// The overlay's built-in 28-pixel font: one record per character code 32 to
// 159 (index = code - 32). A glyph is 28 rows of bytesPerLine bytes, one byte a
// pixel from 0 (background) to 255 (ink).

struct FONT_CHARINFO {
    int xSize;        // glyph width in pixels
    int xDist;        // advance, equal to xSize
    int bytesPerLine; // xSize rounded up to 8, 16 or 24
    const unsigned char* pData;
};

constexpr int FONT_ENGLISH_28_HEIGHT = 28;
constexpr int FONT_ENGLISH_28_FIRST = 32;
constexpr int FONT_ENGLISH_28_COUNT = 128;

extern const FONT_CHARINFO FontEnglish_28_CharInfo[FONT_ENGLISH_28_COUNT];
