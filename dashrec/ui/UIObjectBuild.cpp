#include "dashrec/ui/UIObjectBuild.h"

#include <cctype>
#include <cstdlib>

namespace {

long Dec(const std::string& v)
{
    return std::strtol(v.c_str(), nullptr, 10);
}

unsigned Hex(const std::string& v)
{
    return static_cast<unsigned>(std::strtoul(v.c_str(), nullptr, 16));
}

bool Flag(const std::string& v)
{
    return Dec(v) != 0;
}

template <typename T>
struct AttrRule {
    const char* name;
    void (*apply)(T& obj, const std::string& value, ImageLookup lookup);
};

template <typename T, size_t N>
bool ApplyRule(const AttrRule<T> (&rules)[N], T& obj, const vk::ScannedAttr& attr, ImageLookup lookup)
{
    for (const AttrRule<T>& rule : rules) {
        if (attr.name == rule.name) {
            rule.apply(obj, attr.value, lookup);
            return true;
        }
    }
    return false;
}

const AttrRule<obj_common> COMMON_RULES[] = {
    { "x", [](obj_common& o, const std::string& v, ImageLookup) { o.area.x = static_cast<Sint16>(Dec(v)); } },
    { "y", [](obj_common& o, const std::string& v, ImageLookup) { o.area.y = static_cast<Sint16>(Dec(v)); } },
    { "w", [](obj_common& o, const std::string& v, ImageLookup) { o.area.w = static_cast<Uint16>(Dec(v)); } },
    { "h", [](obj_common& o, const std::string& v, ImageLookup) { o.area.h = static_cast<Uint16>(Dec(v)); } },
    { "id", [](obj_common& o, const std::string& v, ImageLookup) { o.id = static_cast<int>(Dec(v)); } },
    { "enable", [](obj_common& o, const std::string& v, ImageLookup) { if (Dec(v) == 0) o.SetDisable(); } },
    { "focusable", [](obj_common& o, const std::string& v, ImageLookup) { o.focusable = Flag(v); } },
    { "show", [](obj_common& o, const std::string& v, ImageLookup) { o.show = Flag(v); } },
};

const AttrRule<obj_rect> RECT_RULES[] = {
    { "color", [](obj_rect& o, const std::string& v, ImageLookup) { o.color = Hex(v); } },
    { "thick", [](obj_rect& o, const std::string& v, ImageLookup) { o.thick = static_cast<unsigned>(Dec(v)); } },
    { "fill", [](obj_rect& o, const std::string& v, ImageLookup) { o.fill = Flag(v); } },
};

const AttrRule<obj_image> IMAGE_RULES[] = {
    { "img", [](obj_image& o, const std::string& v, ImageLookup find) { o.image = find(v.c_str()); } },
};

const AttrRule<obj_text> TEXT_RULES[] = {
    { "text_id", [](obj_text& o, const std::string& v, ImageLookup) { o.text_id = static_cast<int>(Dec(v)); } },
    { "font", [](obj_text& o, const std::string& v, ImageLookup) { o.font_size = static_cast<int>(Dec(v)); } },
    { "color", [](obj_text& o, const std::string& v, ImageLookup) { o.color = Hex(v); } },
    { "align", [](obj_text& o, const std::string& v, ImageLookup) { o.align = ui_align_from_letters(v, false); } },
};

const AttrRule<obj_button> BUTTON_RULES[] = {
    { "text_id", [](obj_button& o, const std::string& v, ImageLookup) { o.text_id = static_cast<int>(Dec(v)); } },
    { "font", [](obj_button& o, const std::string& v, ImageLookup) { o.font_size = static_cast<int>(Dec(v)); } },
    { "checked", [](obj_button& o, const std::string& v, ImageLookup) { o.checked = Flag(v); } },
    { "transparent", [](obj_button& o, const std::string& v, ImageLookup) { o.transparent = Flag(v); } },
    { "img", [](obj_button& o, const std::string& v, ImageLookup find) { o.image_normal = find(v.c_str()); } },
    { "img_f", [](obj_button& o, const std::string& v, ImageLookup find) { o.image_focus = find(v.c_str()); } },
    { "img_c", [](obj_button& o, const std::string& v, ImageLookup find) { o.image_checked = find(v.c_str()); } },
    { "color", [](obj_button& o, const std::string& v, ImageLookup) { o.color_normal = Hex(v); } },
    { "color_f", [](obj_button& o, const std::string& v, ImageLookup) { o.color_focus = Hex(v); } },
    { "tx", [](obj_button& o, const std::string& v, ImageLookup) { o.text_rect.x = static_cast<Sint16>(Dec(v)); } },
    { "ty", [](obj_button& o, const std::string& v, ImageLookup) { o.text_rect.y = static_cast<Sint16>(Dec(v)); } },
    { "tw", [](obj_button& o, const std::string& v, ImageLookup) { o.text_rect.w = static_cast<Uint16>(Dec(v)); } },
    { "th", [](obj_button& o, const std::string& v, ImageLookup) { o.text_rect.h = static_cast<Uint16>(Dec(v)); } },
    { "text_pos", [](obj_button& o, const std::string& v, ImageLookup) { o.text_pos = ui_text_pos_from_letter(v); } },
    { "text_align", [](obj_button& o, const std::string& v, ImageLookup) { o.text_align = ui_align_from_letters(v, true); } },
};

const AttrRule<obj_list> LIST_RULES[] = {
    { "item_height", [](obj_list& o, const std::string& v, ImageLookup) { o.item_height = static_cast<int>(Dec(v)); } },
    { "items_per_page", [](obj_list& o, const std::string& v, ImageLookup) { o.item_count_per_page = static_cast<int>(Dec(v)); } },
    { "spacing", [](obj_list& o, const std::string& v, ImageLookup) { o.spacing = static_cast<int>(Dec(v)); } },
    { "img", [](obj_list& o, const std::string& v, ImageLookup find) { o.image_normal = find(v.c_str()); } },
    { "img_f", [](obj_list& o, const std::string& v, ImageLookup find) { o.image_focus = find(v.c_str()); } },
    { "color", [](obj_list& o, const std::string& v, ImageLookup) { o.text_color = Hex(v); } },
    { "color_f", [](obj_list& o, const std::string& v, ImageLookup) { o.text_color_f = Hex(v); } },
    { "bg_color", [](obj_list& o, const std::string& v, ImageLookup) { o.bg_color = Hex(v); } },
    { "bar_color", [](obj_list& o, const std::string& v, ImageLookup) { o.bar_color = Hex(v); } },
};

const AttrRule<state_struct> STATE_RULES[] = {
    { "id", [](state_struct& s, const std::string& v, ImageLookup) { s.id = static_cast<int>(Dec(v)); } },
    { "x", [](state_struct& s, const std::string& v, ImageLookup) { s.area.x = static_cast<Sint16>(Dec(v)); } },
    { "y", [](state_struct& s, const std::string& v, ImageLookup) { s.area.y = static_cast<Sint16>(Dec(v)); } },
    { "w", [](state_struct& s, const std::string& v, ImageLookup) { s.area.w = static_cast<Uint16>(Dec(v)); } },
    { "h", [](state_struct& s, const std::string& v, ImageLookup) { s.area.h = static_cast<Uint16>(Dec(v)); } },
    { "img", [](state_struct& s, const std::string& v, ImageLookup find) { s.image = find(v.c_str()); } },
    { "bg_color", [](state_struct& s, const std::string& v, ImageLookup) { s.bg_color = Hex(v); } },
};

template <typename T, size_t N>
obj_common* Build(const vk::ScannedElement& element, const AttrRule<T> (&rules)[N], ImageLookup lookup)
{
    T* obj = new T();
    for (const vk::ScannedAttr& attr : element.attrs)
        if (!ApplyRule(COMMON_RULES, static_cast<obj_common&>(*obj), attr, lookup))
            ApplyRule(rules, *obj, attr, lookup);
    return obj;
}

struct ObjectKind {
    const char* name;
    obj_common* (*build)(const vk::ScannedElement& element, ImageLookup lookup);
};

const ObjectKind OBJECT_KINDS[] = {
    { "rect", [](const vk::ScannedElement& e, ImageLookup find) { return Build(e, RECT_RULES, find); } },
    { "text", [](const vk::ScannedElement& e, ImageLookup find) { return Build(e, TEXT_RULES, find); } },
    { "button", [](const vk::ScannedElement& e, ImageLookup find) { return Build(e, BUTTON_RULES, find); } },
    { "list", [](const vk::ScannedElement& e, ImageLookup find) { return Build(e, LIST_RULES, find); } },
    { "image", [](const vk::ScannedElement& e, ImageLookup find) { return Build(e, IMAGE_RULES, find); } },
};

struct AlignLetter {
    char letter;
    unsigned bit;
};

const AlignLetter ALIGN_LETTERS[] = {
    { 'L', ALIGN::L }, { 'C', ALIGN::C }, { 'R', ALIGN::R },
    { 'T', ALIGN::T }, { 'M', ALIGN::M }, { 'B', ALIGN::B },
};

} // namespace

obj_common* ui_make_object(const vk::ScannedElement& element, ImageLookup lookup)
{
    for (const ObjectKind& kind : OBJECT_KINDS)
        if (element.name == kind.name)
            return kind.build(element, lookup);
    return nullptr;
}

state_struct* ui_make_state(const vk::ScannedState& scanned, ImageLookup lookup)
{
    state_struct* state = new state_struct();
    for (const vk::ScannedAttr& attr : scanned.attrs)
        ApplyRule(STATE_RULES, *state, attr, lookup);
    return state;
}

unsigned ui_align_from_letters(const std::string& letters, bool zStopsText)
{
    unsigned align = 0;
    for (char c : letters) {
        char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (zStopsText && upper == 'Z') {
            align = ALIGN::Z;
            continue;
        }
        for (const AlignLetter& a : ALIGN_LETTERS)
            if (upper == a.letter)
                align |= a.bit;
    }
    return align;
}

unsigned char ui_text_pos_from_letter(const std::string& value)
{
    switch (value.empty() ? 'c' : std::tolower(static_cast<unsigned char>(value[0]))) {
    case 'r':
        return obj_button::POS_RIGHT;
    case 't':
        return obj_button::POS_TOP;
    case 'b':
        return obj_button::POS_BOTTOM;
    case 'l':
        return obj_button::POS_LEFT;
    default:
        return obj_button::POS_CENTRE;
    }
}
