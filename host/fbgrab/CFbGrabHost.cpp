// The frame buffer on the host is the SDL video surface: its size, depth,
// pitch and channel layout answer the screen-information request, its pixels
// the read. Without a video surface the device "cannot be opened". The read
// shows what the panel shows: the camera picture where the interface is clear.

#include "dashrec/devices/CFbGrab.h"

#include "dashrec/core/SDDebug.h"
#include "host/soc/Vo.h"

#include <SDL/SDL.h>

#include <cstring>

namespace vk {

namespace {

fb_bitfield Field(Uint32 mask, Uint8 shift, Uint8 loss)
{
    fb_bitfield field {};
    field.offset = mask == 0 ? 0 : shift;
    field.length = mask == 0 ? 0 : 8 - loss;
    return field;
}

// Fills the clear pixels of the read with the video layers of the memory LCD,
// which lies in the frame buffer's orientation.
void PutVideoUnder(const SDL_Surface* surface, size_t length, unsigned char* buffer)
{
    soc::LcdPicture lcd = soc::VoComposeLcd();
    int bytes = surface->format->BytesPerPixel;
    if (lcd.argb.empty() || lcd.width != surface->w || lcd.height != surface->h || (bytes != 2 && bytes != 4))
        return;
    SDL_PixelFormat* format = surface->format;
    for (int r = 0; r < surface->h; r++) {
        for (int c = 0; c < surface->w; c++) {
            size_t at = static_cast<size_t>(r) * surface->pitch + static_cast<size_t>(c) * bytes;
            if (at + bytes > length)
                return;
            Uint32 px = 0;
            std::memcpy(&px, buffer + at, bytes);
            if (!soc::IsClearUiPixel(px, format))
                continue;
            uint32_t video = lcd.argb[static_cast<size_t>(r) * lcd.width + c];
            Uint32 mapped = SDL_MapRGBA(format, video >> 16 & 0xFF, video >> 8 & 0xFF, video & 0xFF, 0xFF);
            std::memcpy(buffer + at, &mapped, bytes);
        }
    }
}

} // namespace

bool CFbGrab::GetFramebufferData(const char* device, Screen& screen)
{
    SDL_Surface* surface = SDL_GetVideoSurface();
    if (surface == nullptr) {
        Singleton<SDDebug>::Inst()->Print("Error: Couldn't open %s.\n", device);
        return false;
    }
    const SDL_PixelFormat* format = surface->format;
    screen.var = fb_var_screeninfo {};
    screen.var.xres = static_cast<uint32_t>(surface->w);
    screen.var.yres = static_cast<uint32_t>(surface->h);
    screen.var.bits_per_pixel = format->BitsPerPixel;
    screen.var.red = Field(format->Rmask, format->Rshift, format->Rloss);
    screen.var.green = Field(format->Gmask, format->Gshift, format->Gloss);
    screen.var.blue = Field(format->Bmask, format->Bshift, format->Bloss);
    screen.var.transp = Field(format->Amask, format->Ashift, format->Aloss);
    screen.lineLength = surface->pitch;
    return true;
}

bool CFbGrab::ReadFramebuffer(const char* device, size_t length, unsigned char* buffer)
{
    SDL_Surface* surface = SDL_GetVideoSurface();
    if (surface == nullptr || length > static_cast<size_t>(surface->pitch) * surface->h) {
        Singleton<SDDebug>::Inst()->Print("Error: Couldn't open %s.\n", device);
        return false;
    }
    if (SDL_LockSurface(surface) != 0)
        return false;
    std::memcpy(buffer, surface->pixels, length);
    SDL_UnlockSurface(surface);
    PutVideoUnder(surface, length, buffer);
    return true;
}

} // namespace vk
