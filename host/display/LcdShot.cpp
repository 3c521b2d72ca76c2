#include "host/display/LcdShot.h"

#include "host/png/PngFile.h"

#include <cstring>
#include <vector>

namespace host {

namespace {

typedef std::vector<unsigned char> RgbaRows;

void PutPixel(const SDL_Surface* surface, int x, int y, unsigned char* out)
{
    const Uint8* row = static_cast<const Uint8*>(surface->pixels) + y * surface->pitch;
    Uint32 pixel = reinterpret_cast<const Uint32*>(row)[x];
    SDL_GetRGB(pixel, surface->format, &out[0], &out[1], &out[2]);
    out[3] = 0xFF;
}

// The frame buffer holds the picture turned a quarter clockwise: picture row r,
// column c lies at frame-buffer row c, column (picture height - 1 - r).
RgbaRows Upright(const SDL_Surface* surface, bool turned, int& w, int& h)
{
    w = turned ? surface->h : surface->w;
    h = turned ? surface->w : surface->h;
    RgbaRows rgba(static_cast<size_t>(w) * h * 4);
    for (int r = 0; r < h; ++r) {
        for (int c = 0; c < w; ++c) {
            unsigned char* out = &rgba[(static_cast<size_t>(r) * w + c) * 4];
            if (turned)
                PutPixel(surface, h - 1 - r, c, out);
            else
                PutPixel(surface, c, r, out);
        }
    }
    return rgba;
}

} // namespace

bool SaveLcdPng(const ui_handle_t* ui, const char* path)
{
    if (ui == nullptr || ui->window == nullptr)
        return false;
    const bool turned = ui->fb != nullptr;
    const SDL_Surface* surface = turned ? ui->fb : ui->window;
    int w = 0;
    int h = 0;
    RgbaRows rgba = Upright(surface, turned, w, h);
    return WritePng(path, w, h, true, [&](int r, unsigned char* out) {
        std::memcpy(out, &rgba[static_cast<size_t>(r) * w * 4], static_cast<size_t>(w) * 4);
    });
}

} // namespace host
