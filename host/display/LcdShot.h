#pragma once
// A picture of what the LCD shows, as an upright 480 x 320 PNG: the rotated
// frame buffer is turned back a quarter, an unrotated window is taken as it is.

#include "dashrec/ui/UIDraw.h"

namespace host {

bool SaveLcdPng(const ui_handle_t* ui, const char* path);

} // namespace host
