#include "bmworks/BmOverlay.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/ui/UIDraw.h"
#include "dashrec/ui/UIFontLock.h"

#include <cstring>

namespace vk {

std::mutex& FontMutex()
{
    static std::mutex mutex;
    return mutex;
}

} // namespace vk

namespace {

// One picture per video size index, as large as the engine's clock region of that size.
struct OverlaySize {
    int w;
    int h;
    int fontSize;
};

const OverlaySize OVERLAY_SIZES[MAX_OVL_SURFACES] = {
    { 1152, 96, 75 },
    { 768, 64, 50 },
    { 576, 48, 37 },
    { 576, 48, 37 },
    { 384, 32, 25 },
};

const int DEBUG_FONT_SIZE = 26;
const Uint8 OVERLAY_BACKGROUND_ALPHA = 0xA0;

SDL_Surface* sfOvl[MAX_OVL_SURFACES] = {};
char gScreenBuff[SCREEN_BUFF_SIZE] = {};

void SfOvlDrawText(SDL_Surface* surface, const char* text, int fontSize)
{
    SDL_FillRect(surface, NULL, SDL_MapRGBA(surface->format, 0, 0, 0, OVERLAY_BACKGROUND_ALPHA));
    if (text[0] == '\0')
        return;
    SDL_Color white = { 0xFF, 0xFF, 0xFF, 0 };
    SDL_Surface* sf = TTF_RenderUTF8_Blended(get_SDL_Font(fontSize), text, white);
    if (sf == NULL)
        vk::Singleton<vk::SDDebug>::Inst()->Print("SfOvlDrawText(%s)error...TTF_RenderUTF8_Blended failed: %s\n", text, TTF_GetError());
    VK_ASSERT(sf != NULL);
    SDL_Rect to = { static_cast<Sint16>((surface->w - sf->w) / 2), static_cast<Sint16>((surface->h - sf->h) / 2), 0, 0 };
    SDL_BlitSurface(sf, NULL, surface, &to);
    SDL_FreeSurface(sf);
}

} // namespace

void SfOvlInit()
{
    vk::FontLock lock;
    for (int sf_id = 0; sf_id < MAX_OVL_SURFACES; ++sf_id) {
        sfOvl[sf_id] = SDL_CreateRGBSurface(SDL_SWSURFACE, OVERLAY_SIZES[sf_id].w, OVERLAY_SIZES[sf_id].h, 32,
            0xFF, 0xFF00, 0xFF0000, 0xFF000000);
        VK_ASSERT(sfOvl[sf_id] != NULL);
    }
    gScreenBuff[0] = '\0';
    BmOverlay::Inst()->SetDrawClockCallback(DrawClockCallback);
}

void SfOvlFree()
{
    vk::FontLock lock;
    for (SDL_Surface*& surface : sfOvl) {
        SDL_FreeSurface(surface);
        surface = NULL;
    }
}

void* DrawClockCallback(int id, std::string text)
{
    vk::FontLock lock;
    const bool debug = id >= OVL_DEBUG_ID_BASE;
    const int sf_id = debug ? id - OVL_DEBUG_ID_BASE : id;
    // The engine's index comes from outside: a picture it names must exist.
    if (sf_id < 0 || sf_id >= MAX_OVL_SURFACES || sfOvl[sf_id] == NULL)
        return nullptr;
    if (debug && gScreenBuff[0] == '\0')
        return nullptr;
    SfOvlDrawText(sfOvl[sf_id], debug ? gScreenBuff : text.c_str(),
        debug ? DEBUG_FONT_SIZE : OVERLAY_SIZES[sf_id].fontSize);
    return sfOvl[sf_id]->pixels;
}

char* GetScreenBuff()
{
    return gScreenBuff;
}

void SetScreenBuff(const char* text)
{
    vk::FontLock lock;
    std::memset(gScreenBuff, 0, sizeof(gScreenBuff));
    std::strncpy(gScreenBuff, text, sizeof(gScreenBuff) - 1);
}
