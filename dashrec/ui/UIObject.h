#pragma once
// The objects a screen is made of, as the screen description declares them.
// Images are entries of the resource's image table and are never owned here.

#include <SDL/SDL.h>

#include <map>

typedef SDL_Rect Rect;
typedef SDL_Surface ImgData;

struct state_struct;

struct obj_common {
    enum Type : char { RECT = 2, BUTTON = 4, LIST = 5, IMAGE = 6, TEXT = 7 };
    enum Status : char { NORMAL = 0, FOCUSED = 1, SELECTED = 2, DISABLED = 4 };

    explicit obj_common(char type) : obj_type(type) {}
    virtual ~obj_common() = default;

    void SetNormal() { status = NORMAL; }
    void SetFocus() { status = FOCUSED; }
    void SetDisable() { status = DISABLED; }
    bool IsFocused() const { return status == FOCUSED; }
    void SetShow() { show = true; }
    void SetHide() { show = false; }
    bool IsShown() const { return show; }
    void SetHighLight() { sub_status |= 1u; }
    void ClearHighLight() { sub_status &= ~1u; }
    bool IsHightlight() const { return (sub_status & 1u) != 0; }

    int id = -1;
    char obj_type;
    char status = NORMAL;
    unsigned sub_status = 0;
    Rect area = { 0, 0, 0, 0 };
    state_struct* parent = nullptr;
    bool show = true;
    bool focusable = true;
};

struct obj_rect : obj_common {
    obj_rect() : obj_common(RECT) {}
    unsigned color = 0;
    unsigned thick = 0;
    bool fill = false;
};

struct obj_image : obj_common {
    obj_image() : obj_common(IMAGE) {}
    ImgData* image = nullptr;
};

struct obj_text : obj_common {
    obj_text() : obj_common(TEXT) {}
    int text_id = -1;
    const char* text_ptr = nullptr;
    int font_size = 45;
    unsigned color = 0xFFFFFFFF;
    unsigned align = 0;
};

struct obj_button : obj_common {
    // Where the text stands relative to the image when no text box is given.
    enum TextPos : unsigned char { POS_RIGHT = 1, POS_TOP = 2, POS_BOTTOM = 3, POS_CENTRE = 4, POS_LEFT = 5 };

    obj_button() : obj_common(BUTTON) {}
    void SetSelect() { checked = true; }
    void SetUnselect() { checked = false; }
    void SetPosition(Sint16 x, Sint16 y)
    {
        area.x = x;
        area.y = y;
    }

    ImgData* image_normal = nullptr;
    ImgData* image_focus = nullptr;
    ImgData* image_checked = nullptr;
    int text_id = -1;
    bool checked = false;
    int font_size = 45;
    const char* text_ptr = nullptr;
    unsigned char text_pos = POS_CENTRE;
    bool transparent = false;
    unsigned color_normal = 0xFFFFFF;
    unsigned color_focus = 0xFFFFFFFF;
    Rect text_rect = { 0, 0, 0, 0 };
    unsigned text_align = 0;
};

struct obj_list : obj_common {
    obj_list() : obj_common(LIST) {}
    ImgData* image_normal = nullptr;
    ImgData* image_focus = nullptr;
    int item_height = 0;
    int sel_index = 0;
    int sel_index_prev = 0;
    int item_count = 0;
    int item_count_per_page = 0;
    int spacing = 0;
    unsigned text_color = 0;
    unsigned text_color_f = 0;
    unsigned bg_color = 0;
    unsigned bar_color = 0;
    int font_size = 16;
};

// Alignment bits of texts and button texts.
namespace ALIGN {
enum : unsigned {
    L = 0x100,
    C = 0x200,
    R = 0x400,
    T = 0x1000,
    M = 0x2000,
    B = 0x4000,
    Z = 0x8000, // a button draws no text
};
} // namespace ALIGN

struct state_struct {
    int id = -1;
    char status = 0;
    Rect area = { 0, 0, 0, 0 };
    std::map<int, obj_common*> object_map; // owns the objects (ui_destroy_list); drawn in ascending id order
    ImgData* image = nullptr;
    unsigned bg_color = 0;
    obj_common* focus_obj = nullptr;
    bool is_drawing = false;
};

typedef std::map<int, state_struct*> state_map_t;
