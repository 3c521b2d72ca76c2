#pragma once
// Drawing the screens with SDL 1.2: the one drawing context, its fonts, the
// rules per object type, and the text pictures laid over recorded video.
// Screens are drawn by the run mode's main thread only.

#include "dashrec/ui/UIObject.h"

#include <SDL/SDL_ttf.h>

#include <cstdint>
#include <string>

constexpr int LCD_WIDTH = 480;
constexpr int LCD_HEIGHT = 320;
constexpr int UI_LANGUAGE_COUNT = 3; // JAPANESE, ENGLISH, KOREAN

struct ui_handle_t {
    SDL_Surface* window = nullptr; // everything is drawn here
    SDL_Surface* fb = nullptr;     // the video surface when the picture is turned, else null
    TTF_Font* font12[UI_LANGUAGE_COUNT] = {};
    TTF_Font* font14[UI_LANGUAGE_COUNT] = {};
    TTF_Font* font16[UI_LANGUAGE_COUNT] = {};
    TTF_Font* font18[UI_LANGUAGE_COUNT] = {};
    TTF_Font* font20[UI_LANGUAGE_COUNT] = {};
    TTF_Font* font22[UI_LANGUAGE_COUNT] = {};
    TTF_Font* font24[UI_LANGUAGE_COUNT] = {};
    TTF_Font* font26[UI_LANGUAGE_COUNT] = {};
    TTF_Font* font28[UI_LANGUAGE_COUNT] = {};
    TTF_Font* font30[UI_LANGUAGE_COUNT] = {};
    TTF_Font* font34[UI_LANGUAGE_COUNT] = {};
    TTF_Font* font37 = nullptr;
    TTF_Font* font43 = nullptr;
    TTF_Font* font50 = nullptr;
    TTF_Font* font75 = nullptr;
    TTF_Font* BigFont = nullptr;
    state_map_t state_map;
    state_struct* cur_state = nullptr;
};

ui_handle_t* ui_init(int width, int height, bool rotate);
void ui_close(ui_handle_t* handle);
ui_handle_t* ui_get_handle();

void ui_clear_screen();
void ui_draw_state(state_struct* state);
void ui_draw_object(obj_common* obj);
void ui_draw_rect(obj_rect* obj);
void ui_draw_text(obj_text* obj);
void ui_draw_button(obj_button* obj);
void ui_draw_list(obj_list* obj);
void ui_draw_image(obj_image* obj);
void ui_draw_image(int x, int y, SDL_Surface* surface, int flag);
void ui_draw_image_file(int x, int y, int w, int h, const char* name, int flag);
void obj_draw_rect(const Rect& rect, unsigned color, int fill, int flag);
void obj_draw_text(int x, int y, int w, int h, int text_id, const char* text, unsigned color, int font_size, unsigned align);
void obj_set_focus(obj_common* obj, bool on);
void obj_set_select(obj_common* obj, bool on);
void obj_erase(obj_common* obj);

state_struct* ui_find_state(int id);
obj_common* ui_find_object(state_struct* state, int id);
SDL_Surface* ui_load_surface(const char* path);
ImgData* ui_load_image(const char* name);
const char* ui_get_text_byid(int text_id);

// Fonts by requested size: of the first language, of the current one, of a given one.
TTF_Font* get_SDL_Font(int size);
TTF_Font* get_menu_font(int size);
TTF_Font* get_menu_font(int size, int language);

// Text pictures for the media engine, one per video size, and the debug text.
constexpr int MAX_OVL_SURFACES = 5;
constexpr int OVL_DEBUG_ID_BASE = 100;
constexpr size_t SCREEN_BUFF_SIZE = 128;
void SfOvlInit();
void SfOvlFree();
// Draws `text` (id < 100) or the debug text (id - 100) into that picture and
// returns its pixels, valid until the next call; null when there is nothing.
// Called on the media engine's thread.
void* DrawClockCallback(int id, std::string text);
char* GetScreenBuff();
// Replaces the debug text (at most 127 characters).
void SetScreenBuff(const char* text);

// A quarter turn clockwise: source row r, column c goes to destination row c,
// column h - 1 - r. Both buffers are tightly packed 32-bit pixels.
void Rotate90Pixels(const uint32_t* src, uint32_t* dst, int w, int h);
