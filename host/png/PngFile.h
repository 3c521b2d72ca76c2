#pragma once
// Pictures saved by the host's stand-ins (LCD screenshots, the display's
// memory LCD): 8-bit RGB or RGBA PNG files written row by row.

#include <functional>

namespace host {

// Fills one row of the picture: width pixels of 3 (RGB) or 4 (RGBA) bytes.
using PngRowFiller = std::function<void(int row, unsigned char* out)>;

bool WritePng(const char* path, int width, int height, bool alpha, const PngRowFiller& fillRow);

} // namespace host
