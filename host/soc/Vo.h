#pragma once
// What the host's display shows: the memory LCD that the display channels are
// composed into, by priority and with their alpha, each scaled into its
// rectangle.

#include <SDL/SDL.h>

#include <cstdint>
#include <vector>

namespace soc {

struct LcdPicture {
    int width = 0;  // of the device: 320 x 480 for the LCD, 720 x 480 composite
    int height = 0;
    bool turned = false; // the LCD panel shows the picture turned a quarter
    std::vector<uint32_t> argb;
};

LcdPicture VoComposeLcd();

// Hands an event to the handler registered on the layer, as the display
// does; false when none is registered.
bool VoRaiseEvent(int layer, int chn, int event);

// The LCD as a person sees it (turned back upright), as PNG. Returns false
// when no display device is enabled or the file cannot be written.
bool VoSaveLcdPng(const char* path);

// The same with the user interface's upright 32-bit picture (its window)
// over the video: a UI pixel shows unless it is clear, that is of alpha 0
// where the surface has alpha, else of value 0 (what the UI's screen clear
// leaves).
bool VoSaveScreenPng(const char* path, const SDL_Surface* ui);

// Whether a pixel of the user interface lets the video through.
inline bool IsClearUiPixel(Uint32 px, const SDL_PixelFormat* f)
{
    return f->Amask != 0 ? (px & f->Amask) == 0 : px == 0;
}

} // namespace soc
