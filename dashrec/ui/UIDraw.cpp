#include "dashrec/ui/UIDraw.h"

#include "dashrec/core/SDDebug.h"
#include "dashrec/ui/Resource.h"
#include "dashrec/ui/StrId.h"
#include "dashrec/ui/UIFontLock.h"

#include <SDL/SDL_image.h>

#include <algorithm>

namespace {

const char* const FONT_SMART = "./rsc/fonts/SmartFontUI.ttf";
const char* const FONT_SEOUL = "./rsc/fonts/SeoulNamsanB.ttf";
const int BIG_FONT_POINTS = 110;

ui_handle_t* gui_handle = NULL;

typedef TTF_Font* FontArray[UI_LANGUAGE_COUNT];

// The per-language fonts and their point sizes, opened in this order.
struct FontArrayRow {
    FontArray ui_handle_t::*fonts;
    int points;
};

const FontArrayRow FONT_ARRAYS[] = {
    { &ui_handle_t::font12, 12 }, { &ui_handle_t::font14, 14 }, { &ui_handle_t::font16, 16 },
    { &ui_handle_t::font18, 18 }, { &ui_handle_t::font20, 20 }, { &ui_handle_t::font22, 22 },
    { &ui_handle_t::font24, 24 }, { &ui_handle_t::font26, 26 }, { &ui_handle_t::font28, 28 },
    { &ui_handle_t::font30, 30 }, { &ui_handle_t::font34, 34 },
};

// Font for a requested size: the first row whose bound lies above it.
struct FontChoice {
    int below;
    FontArray ui_handle_t::*fonts; // per language, or null
    TTF_Font* ui_handle_t::*single;
};

const FontChoice FONT_CHOICES[] = {
    { 13, &ui_handle_t::font12, nullptr },
    { 15, &ui_handle_t::font14, nullptr },
    { 17, &ui_handle_t::font16, nullptr },
    { 19, &ui_handle_t::font18, nullptr },
    { 21, &ui_handle_t::font20, nullptr },
    { 23, &ui_handle_t::font22, nullptr },
    { 25, &ui_handle_t::font24, nullptr },
    { 27, &ui_handle_t::font26, nullptr },
    { 29, &ui_handle_t::font28, nullptr },
    { 31, &ui_handle_t::font30, nullptr },
    { 35, &ui_handle_t::font34, nullptr },
    { 38, nullptr, &ui_handle_t::font37 },
    { 44, nullptr, &ui_handle_t::font43 },
    { 51, nullptr, &ui_handle_t::font50 },
    { 76, nullptr, &ui_handle_t::font75 },
};

// Each language's own name is drawn in that language's fonts.
struct LanguageName {
    int text_id;
    int language;
};

const LanguageName LANGUAGE_NAMES[] = {
    { vk::STR::JAPANESE, 0 },
    { vk::STR::ENGLISH, 1 },
    { vk::STR::KOREAN, 2 },
};

void OpenFonts(ui_handle_t* handle)
{
    for (const FontArrayRow& row : FONT_ARRAYS) {
        FontArray& fonts = handle->*row.fonts;
        for (int language = 0; language < UI_LANGUAGE_COUNT; ++language) {
            TTF_Font* ttf = TTF_OpenFont(language == 0 ? FONT_SMART : FONT_SEOUL, row.points);
            VK_ASSERT(ttf != NULL);
            fonts[language] = ttf;
        }
    }
    handle->font37 = TTF_OpenFont(FONT_SMART, 37);
    VK_ASSERT(handle->font37 != NULL);
    handle->font43 = TTF_OpenFont(FONT_SMART, 43);
    VK_ASSERT(handle->font43 != NULL);
    handle->font50 = TTF_OpenFont(FONT_SMART, 50);
    VK_ASSERT(handle->font50 != NULL);
    handle->font75 = TTF_OpenFont(FONT_SMART, 75);
    VK_ASSERT(handle->font75 != NULL);
    handle->BigFont = TTF_OpenFont(FONT_SEOUL, BIG_FONT_POINTS);
    VK_ASSERT(handle->BigFont != NULL);
}

void CloseFonts(ui_handle_t* handle)
{
    for (const FontArrayRow& row : FONT_ARRAYS)
        for (TTF_Font* font : handle->*row.fonts)
            TTF_CloseFont(font);
    for (TTF_Font* font : { handle->font37, handle->font43, handle->font50, handle->font75, handle->BigFont })
        TTF_CloseFont(font);
}

Uint32 MapColor(SDL_Surface* surface, unsigned color)
{
    return SDL_MapRGB(surface->format, (color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF);
}

SDL_Color TextColor(unsigned color)
{
    SDL_Color c;
    c.r = (color >> 16) & 0xFF;
    c.g = (color >> 8) & 0xFF;
    c.b = color & 0xFF;
    c.unused = 0;
    return c;
}

SDL_Surface* Window()
{
    VK_ASSERT(ui_get_handle() != nullptr && ui_get_handle()->window != nullptr);
    return ui_get_handle()->window;
}

TTF_Font* FontForText(int text_id, int size)
{
    for (const LanguageName& name : LANGUAGE_NAMES)
        if (text_id == name.text_id)
            return get_menu_font(size, name.language);
    return get_menu_font(size);
}

// The text of a text object or button: the window's own text, else its text id's.
const char* TextOf(const char* text, int text_id)
{
    if (text != nullptr)
        return text;
    return ui_get_text_byid(text_id);
}

bool HasText(const char* text)
{
    return text != nullptr && text[0] != '\0';
}

// A button without the image its state calls for shows the screen behind it.
void RestoreBackground(const obj_button* obj)
{
    const state_struct* state = obj->parent;
    Rect area = obj->area;
    if (state != nullptr && state->image != nullptr) {
        Rect from = area;
        SDL_BlitSurface(state->image, &from, Window(), &area);
        return;
    }
    obj_draw_rect(area, state != nullptr ? state->bg_color : 0, 1, 0);
}

// Left-top corner of a button's text placed by its text position.
void PlaceButtonText(const obj_button* obj, int iw, int tw, int th, int& tx, int& ty)
{
    const Rect& a = obj->area;
    if (tw <= a.w)
        tx = a.x + (a.w - tw) / 2;
    else
        tx = std::max(0, a.x - (tw - a.w) / 2);
    int middle = a.y + (a.h - th) / 2;
    switch (obj->text_pos) {
    case obj_button::POS_RIGHT:
        tx = a.x + iw + 40;
        ty = middle;
        break;
    case obj_button::POS_LEFT:
        tx = a.x + 40;
        ty = middle;
        break;
    case obj_button::POS_TOP:
        ty = a.y + 40;
        break;
    case obj_button::POS_BOTTOM:
        ty = a.y + a.h - (th + 40);
        if (ty < 0)
            ty = a.y;
        break;
    default:
        ty = middle;
        break;
    }
}

bool IsDrawn(const obj_common* obj, bool disabledByBit)
{
    if (!obj->show)
        return false;
    if (disabledByBit)
        return (obj->status & obj_common::DISABLED) == 0;
    return obj->status != obj_common::DISABLED;
}

} // namespace

ui_handle_t* ui_get_handle()
{
    VK_ASSERT(gui_handle != NULL);
    return gui_handle;
}

ui_handle_t* ui_init(int width, int height, bool rotate)
{
    ui_handle_t* handle = new ui_handle_t();
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        vk::Singleton<vk::SDDebug>::Inst()->Print("SDL init failed (%s)\n", SDL_GetError());
        VK_ASSERT(0);
    }
    SDL_ShowCursor(SDL_DISABLE);
    const int screenWidth = width;
    const int screenHeight = height;
    VK_ASSERT(screenWidth >= LCD_WIDTH && screenWidth <= 1920);
    VK_ASSERT(screenHeight >= LCD_HEIGHT && screenHeight <= 1080);
    if (rotate) {
        // The panel stands portrait: the video mode is the picture turned a quarter.
        handle->fb = SDL_SetVideoMode(height, width, 32, SDL_SWSURFACE);
        VK_ASSERT(handle->fb != NULL);
        const SDL_PixelFormat* format = handle->fb->format;
        handle->window = SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, 32, format->Rmask, format->Gmask,
            format->Bmask, format->Amask);
        VK_ASSERT(handle->window != NULL);
    } else {
        handle->fb = NULL;
        handle->window = SDL_SetVideoMode(width, height, 32, SDL_SWSURFACE);
    }
    TTF_Init();
    OpenFonts(handle);
    if ((IMG_Init(IMG_INIT_PNG) & IMG_INIT_PNG) == 0) {
        CloseFonts(handle);
        TTF_Quit();
        SDL_Quit();
        delete handle;
        return nullptr;
    }
    gui_handle = handle;
    SfOvlInit();
    return handle;
}

void ui_close(ui_handle_t* handle)
{
    SfOvlFree();
    {
        vk::FontLock lock;
        CloseFonts(handle);
    }
    if (handle->fb != NULL)
        SDL_FreeSurface(handle->window);
    IMG_Quit();
    TTF_Quit();
    SDL_Quit();
    delete handle;
    gui_handle = NULL;
}

void ui_clear_screen()
{
    SDL_Surface* window = Window();
    SDL_FillRect(window, NULL, SDL_MapRGBA(window->format, 0, 0, 0, 0));
}

void ui_draw_state(state_struct* state)
{
    if (state->image != nullptr) {
        ui_draw_image(state->area.x, state->area.y, state->image, 0);
    } else {
        obj_draw_rect(state->area, state->bg_color, 1, 0);
    }
    for (auto cit = state->object_map.begin(); cit != state->object_map.end(); ++cit) {
        VK_ASSERT(cit->second);
        ui_draw_object(cit->second);
    }
}

void ui_draw_object(obj_common* obj)
{
    switch (obj->obj_type) {
    case obj_common::RECT:
        ui_draw_rect(static_cast<obj_rect*>(obj));
        break;
    case obj_common::BUTTON:
        ui_draw_button(static_cast<obj_button*>(obj));
        break;
    case obj_common::LIST:
        ui_draw_list(static_cast<obj_list*>(obj));
        break;
    case obj_common::IMAGE:
        ui_draw_image(static_cast<obj_image*>(obj));
        break;
    case obj_common::TEXT:
        ui_draw_text(static_cast<obj_text*>(obj));
        break;
    default:
        break;
    }
}

void ui_draw_rect(obj_rect* obj)
{
    if (IsDrawn(obj, true))
        obj_draw_rect(obj->area, obj->color, obj->fill, 0);
}

void ui_draw_text(obj_text* obj)
{
    if (IsDrawn(obj, true))
        obj_draw_text(obj->area.x, obj->area.y, obj->area.w, obj->area.h, obj->text_id, obj->text_ptr,
            obj->color, obj->font_size, obj->align);
}

void ui_draw_image(obj_image* obj)
{
    VK_ASSERT(obj != nullptr && obj->image != nullptr);
    if (IsDrawn(obj, false))
        ui_draw_image(obj->area.x, obj->area.y, obj->image, 0);
}

void ui_draw_list(obj_list*)
{
}

void ui_draw_button(obj_button* obj)
{
    if (!IsDrawn(obj, false))
        return;
    const bool active = (obj->status & (obj_common::FOCUSED | obj_common::SELECTED)) != 0 || obj->IsHightlight();
    ImgData* image = active ? obj->image_focus : obj->image_normal;
    const unsigned color = active ? obj->color_focus : obj->color_normal;
    const Rect& a = obj->area;
    const int iw = image != nullptr ? image->w : a.w;
    const int ih = image != nullptr ? image->h : a.h;
    const int ix = a.x + (a.w - iw) / 2;
    const int iy = a.y + (a.h - ih) / 2;

    const char* text = (obj->text_align & ALIGN::Z) != 0 ? nullptr : TextOf(obj->text_ptr, obj->text_id);
    int tx = a.x, ty = a.y, tw = 0, th = 0;
    if (HasText(text) && obj->text_align == 0) {
        {
            vk::FontLock lock;
            TTF_SizeUTF8(FontForText(obj->text_id, obj->font_size), text, &tw, &th);
        }
        PlaceButtonText(obj, iw, tw, th, tx, ty);
    }

    if (image != nullptr)
        ui_draw_image(ix, iy, image, 0);
    else if (obj->image_normal == nullptr && obj->image_focus == nullptr)
        obj_draw_rect(a, color, !obj->transparent, 0);
    else
        RestoreBackground(obj);
    if (obj->checked && obj->image_checked != nullptr)
        ui_draw_image(ix, iy, obj->image_checked, 0);

    if (!HasText(text))
        return;
    if (obj->text_align != 0)
        obj_draw_text(a.x + obj->text_rect.x, a.y + obj->text_rect.y, obj->text_rect.w, obj->text_rect.h,
            obj->text_id, text, color, obj->font_size, obj->text_align);
    else
        obj_draw_text(tx, ty, tw, th, obj->text_id, text, color, obj->font_size, ALIGN::L | ALIGN::T);
}

void ui_draw_image(int x, int y, SDL_Surface* surface, int)
{
    SDL_Rect to = { static_cast<Sint16>(x), static_cast<Sint16>(y), 0, 0 };
    SDL_BlitSurface(surface, NULL, Window(), &to);
}

void ui_draw_image_file(int x, int y, int, int, const char* name, int flag)
{
    ui_draw_image(x, y, ui_load_image(name), flag);
}

void obj_draw_rect(const Rect& rect, unsigned color, int fill, int)
{
    if (!fill)
        return;
    SDL_Surface* window = Window();
    Rect area = rect;
    SDL_FillRect(window, &area, MapColor(window, color));
}

void obj_draw_text(int x, int y, int w, int h, int text_id, const char* text, unsigned color, int font_size, unsigned align)
{
    SDL_Surface* window = Window();
    text = TextOf(text, text_id);
    if (!HasText(text))
        return;
    SDL_Surface* sf;
    {
        vk::FontLock lock;
        sf = TTF_RenderUTF8_Blended(FontForText(text_id, font_size), text, TextColor(color));
    }
    if (sf == NULL)
        vk::Singleton<vk::SDDebug>::Inst()->Print("TTF_RenderUTF8_Blended failed:%s, text_id:%d, x:%d, y:%d, w:%d, h:%d\n",
            TTF_GetError(), text_id, x, y, w, h);
    VK_ASSERT(sf != NULL);
    if (align != 0) {
        if (sf->w <= w) {
            if (align & ALIGN::C)
                x += (w - sf->w) / 2;
            else if (align & ALIGN::R)
                x += w - sf->w;
        }
        if (sf->h <= h) {
            if (align & ALIGN::M)
                y += (h - sf->h) / 2;
            else if (align & ALIGN::B)
                y += h - sf->h;
        }
    }
    SDL_Rect to = { static_cast<Sint16>(x), static_cast<Sint16>(y), 0, 0 };
    SDL_BlitSurface(sf, NULL, window, &to);
    SDL_FreeSurface(sf);
}

void obj_set_focus(obj_common* obj, bool on)
{
    if (!obj->focusable)
        return;
    if (on)
        obj->status |= obj_common::FOCUSED;
    else
        obj->status &= ~obj_common::FOCUSED;
    if (obj->parent != nullptr)
        obj->parent->focus_obj = on ? obj : nullptr;
}

void obj_set_select(obj_common* obj, bool on)
{
    if (!obj->focusable)
        return;
    if (on)
        obj->status |= obj_common::SELECTED;
    else
        obj->status &= ~obj_common::SELECTED;
}

void obj_erase(obj_common* obj)
{
    const state_struct* state = obj->parent;
    if (state != nullptr && state->image != nullptr)
        ui_draw_image(0, 0, state->image, 0);
    else
        obj_draw_rect(obj->area, state != nullptr ? state->bg_color : 0, 1, 0);
}

state_struct* ui_find_state(int id)
{
    state_map_t& states = ui_get_handle()->state_map;
    auto ret = states.find(id);
    if (ret == states.end())
        vk::Singleton<vk::SDDebug>::Inst()->Print("id:%d not registered\n", id);
    VK_ASSERT(ret != states.end() && "등록되지 않음 state ID");
    return ret->second;
}

obj_common* ui_find_object(state_struct* state, int id)
{
    auto it = state->object_map.find(id);
    return it != state->object_map.end() ? it->second : nullptr;
}

SDL_Surface* ui_load_surface(const char* path)
{
    SDL_Surface* loaded = IMG_Load(path);
    if (loaded == NULL)
        return NULL;
    SDL_Surface* converted = SDL_DisplayFormatAlpha(loaded);
    SDL_FreeSurface(loaded);
    return converted;
}

ImgData* ui_load_image(const char* name)
{
    return vk::Resource::Inst()->GetSurface(name);
}

const char* ui_get_text_byid(int text_id)
{
    if (text_id == -1)
        return nullptr;
    return vk::Resource::Inst()->GetString(text_id);
}

TTF_Font* get_SDL_Font(int size)
{
    return get_menu_font(size, 0);
}

TTF_Font* get_menu_font(int size)
{
    return get_menu_font(size, vk::Resource::Inst()->GetLanguage());
}

TTF_Font* get_menu_font(int size, int language)
{
    ui_handle_t* handle = ui_get_handle();
    for (const FontChoice& choice : FONT_CHOICES) {
        if (size >= choice.below)
            continue;
        if (choice.fonts != nullptr)
            return (handle->*choice.fonts)[language];
        return handle->*choice.single;
    }
    return handle->BigFont;
}

void Rotate90Pixels(const uint32_t* src, uint32_t* dst, int w, int h)
{
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c)
            dst[c * h + (h - 1 - r)] = src[r * w + c];
}
