#include "dashrec/menus/OptionScreen.h"

#include "dashrec/core/SDDebug.h"
#include "dashrec/ui/Resource.h"

namespace vk {

OptionScreen::OptionScreen(WND::ID wnd, const char* name, Option option)
    : SettingsWindow(wnd, name, { STR::VERSION, STR::MENU_RETURN, STR::LEFT, STR::RIGHT }), _option(std::move(option))
{
    if (_option.dots == 0)
        _option.dots = static_cast<int>(_option.texts.size());
    SetInvalidItemText("Invalid string id");
}

int OptionScreen::Step(int value, int delta)
{
    int count = static_cast<int>(_option.texts.size());
    return (value + delta + count) % count;
}

bool OptionScreen::OnItem(STR::ID item)
{
    if (item != STR::LEFT && item != STR::RIGHT)
        return false;
    Store(Step(Value(), item == STR::LEFT ? -1 : 1));
    UpdateString();
    Paint();
    return true;
}

void OptionScreen::UpdateString()
{
    int value = Value();
    VK_ASSERT(value >= 0 && value < static_cast<int>(_option.texts.size()));
    obj_text* txt = TextComponent(ID_VALUE);
    if (txt == nullptr)
        VK_ASSERT_REPORT("txt != nullptr");
    txt->text_id = TextOf(value);
    for (int dot = 0; dot < _option.dots; ++dot) {
        obj_common* img = GetStateComponent(_wnd, ID_DOT + dot);
        if (img == nullptr || img->obj_type != obj_common::IMAGE)
            VK_ASSERT_REPORT("img != nullptr");
        const char* picture = dot == DotOf(value) ? "4830_dot_01.png" : "4830_dot_00.png";
        static_cast<obj_image*>(img)->image = Resource::Inst()->GetSurface(picture);
    }
    Log("%s:%d\n", _option.valueName, value);
}

} // namespace vk
