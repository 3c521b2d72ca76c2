#include "dashrec/ui/UIScript.h"

#include "dashrec/core/SDDebug.h"
#include "dashrec/ui/UIDraw.h"

#include <cstdio>
#include <vector>

namespace {

bool ReadWholeFile(const char* path, std::vector<char>& text)
{
    FILE* file = std::fopen(path, "r");
    if (file == nullptr)
        return false;
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof(chunk), file)) > 0)
        text.insert(text.end(), chunk, chunk + n);
    std::fclose(file);
    return true;
}

void AddObject(state_struct* state, obj_common* obj)
{
    obj->parent = state;
    auto ret = state->object_map.insert({ obj->id, obj });
    if (!ret.second)
        vk::Singleton<vk::SDDebug>::Inst()->Print("obj id:%d is overlapped in state %d\n", obj->id, state->id);
    VK_ASSERT(ret.second == true && "insert() failure");
}

} // namespace

void ui_parse(const char* path, state_map_t& states)
{
    std::vector<char> text;
    if (!ReadWholeFile(path, text)) {
        vk::Singleton<vk::SDDebug>::Inst()->Print("could not open script! (%s)\n", path);
        return;
    }
    ui_parse_text(text.data(), text.size(), states, ui_load_image);
}

void ui_parse_text(const char* text, size_t size, state_map_t& states, ImageLookup lookup)
{
    for (const vk::ScannedState& scanned : vk::ScanScreens(text, size)) {
        state_struct* state = ui_make_state(scanned, lookup);
        for (const vk::ScannedElement& element : scanned.elements)
            AddObject(state, ui_make_object(element, lookup));
        auto ret = states.insert({ state->id, state });
        if (!ret.second)
            vk::Singleton<vk::SDDebug>::Inst()->Print("state id[%d] 중복됨\n", state->id);
        VK_ASSERT(ret.second == true && "state id 중복됨");
    }
}

void ui_destroy_list(state_map_t& states)
{
    for (auto it = states.begin(); it != states.end(); ++it) {
        state_struct* state = it->second;
        VK_ASSERT(state != NULL);
        for (auto jt = state->object_map.begin(); jt != state->object_map.end(); ++jt) {
            VK_ASSERT(jt->second);
            delete jt->second;
        }
        delete state;
    }
    states.clear();
}

void obj_button_free(obj_button* button)
{
    button->image_normal = nullptr;
    button->image_focus = nullptr;
}
