#include "dashrec/ui/Resource.h"

#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/ui/UIScript.h"

#include <INIReader.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <dirent.h>

namespace vk {

namespace {

const char* const MENU_FILE = "./rsc/_menu.xml";
const char* const LANG_FILE = "./rsc/_lang.ini";
const char* const IMAGE_PATH = "./rsc/images/";
// Text ids run far below this.
constexpr long MAX_TEXTS = 4096;

int PreferenceLanguage()
{
    return Singleton<Pref>::Inst()->GetLanguage();
}

} // namespace

Resource::~Resource()
{
    VK_ASSERT(_ui_handle == nullptr && "call Finalize before end");
}

void Resource::Init(int width, int height, bool rotate)
{
    _menu_file = MENU_FILE;
    _lang_file = LANG_FILE;
    _font_file.clear();
    _image_path = IMAGE_PATH;
    Singleton<SDDebug>::Inst()->Print("korean menu - %s\n", _menu_file.c_str());
    _ui_handle = ui_init(width, height, rotate);
    VK_ASSERT(_ui_handle != nullptr);
    LoadImages(_image_path);
    LoadStrings(_lang_file);
    ui_parse(_menu_file.c_str(), _ui_handle->state_map);
    std::snprintf(_version, sizeof(_version), "FW %s", DASHREC_VERSION);
}

void Resource::Finalize()
{
    for (auto& entry : _surfaces)
        SDL_FreeSurface(entry.second);
    _surfaces.clear();
    _languages.clear();
    ui_destroy_list(_ui_handle->state_map);
    ui_close(_ui_handle);
    _ui_handle = nullptr;
}

void Resource::SetPage(int stateId)
{
    _ui_handle->cur_state = ui_find_state(stateId);
}

void Resource::Draw(bool keep)
{
    VK_ASSERT(_ui_handle != nullptr && _ui_handle->window != nullptr);
    VK_ASSERT(_ui_handle->cur_state != nullptr);
    if (!keep)
        ui_clear_screen();
    ui_draw_state(_ui_handle->cur_state);
    SDL_Surface* window = _ui_handle->window;
    SDL_Surface* fb = _ui_handle->fb;
    if (fb == nullptr) {
        SDL_Flip(window);
        return;
    }
    // The turn copies packed rows; a padded surface would shear the picture.
    VK_ASSERT(window->pitch == window->w * 4 && fb->pitch == fb->w * 4);
    SDL_LockSurface(fb);
    Rotate90Pixels(static_cast<const uint32_t*>(window->pixels), static_cast<uint32_t*>(fb->pixels), window->w, window->h);
    SDL_UnlockSurface(fb);
    SDL_Flip(fb);
}

obj_common* Resource::GetComponent(int id)
{
    VK_ASSERT(_ui_handle != nullptr);
    VK_ASSERT(_ui_handle->cur_state != nullptr);
    obj_common* obj = ui_find_object(_ui_handle->cur_state, id);
    if (obj == nullptr)
        Singleton<SDDebug>::Inst()->Print("[%s:%d]state:%d, id:%d cound not be found\n", detail::BaseName(__FILE__), __LINE__,
            _ui_handle->cur_state->id, id);
    VK_ASSERT(obj != nullptr);
    return obj;
}

obj_common* Resource::GetStateComponent(int stateId, int id)
{
    state_struct* state = ui_find_state(stateId);
    VK_ASSERT(state != nullptr);
    return ui_find_object(state, id);
}

int Resource::GetLanguage()
{
    int language = PreferenceLanguage();
    if (language >= 0 && language < _languageCount && language < UI_LANGUAGE_COUNT)
        return language;
    if (_reportedLanguage != language) {
        Singleton<SDDebug>::Inst()->Print("[Resource]language %d not in %s, first language used\n", language, _lang_file.c_str());
        _reportedLanguage = language;
    }
    return 0;
}

const char* Resource::GetString(int id)
{
    auto it = _languages.find(id);
    if (it == _languages.end())
        Singleton<SDDebug>::Inst()->Print("text id:%d error\n", id);
    VK_ASSERT(it != _languages.end());
    const std::vector<std::string>& texts = it->second;
    VK_ASSERT(!texts.empty());
    return texts[GetLanguage()].c_str();
}

ImgData* Resource::GetSurface(const std::string& name)
{
    VK_ASSERT(_surfaces.size() != 0 && "call LoadImages first");
    auto it = _surfaces.find(name);
    if (it == _surfaces.end()) {
        Singleton<SDDebug>::Inst()->Print("%s:%d: %s not found\n", detail::BaseName(__FILE__), __LINE__, name.c_str());
        VK_ASSERT(0 && "unknown image file");
    }
    return it->second;
}

void Resource::PrintScreen(const char* format, ...)
{
    char text[SCREEN_BUFF_SIZE] = {};
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    SetScreenBuff(text);
}

void Resource::LoadImages(const std::string& path)
{
    DIR* dir = opendir(path.c_str());
    VK_ASSERT(dir != nullptr && "디렉토리 열 수 없음");
    while (struct dirent* entry = readdir(dir)) {
        if (std::strstr(entry->d_name, ".png") == nullptr)
            continue;
        std::string file = path + entry->d_name;
        SDL_Surface* sf = ui_load_surface(file.c_str());
        if (sf == nullptr)
            Singleton<SDDebug>::Inst()->Print("[Resource]%s can't be opened\n", file.c_str());
        VK_ASSERT(sf != nullptr);
        _surfaces[entry->d_name] = sf;
    }
    Singleton<SDDebug>::Inst()->Print("[Resource]%d images loaded\n", static_cast<int>(_surfaces.size()));
    closedir(dir);
}

void Resource::LoadStrings(const std::string& file)
{
    INIReader reader(file);
    // Counts past what the screens can show would only cost time and memory.
    const long total = std::clamp(reader.GetInteger("settings", "total", 0), 0L, MAX_TEXTS);
    const long lang = std::clamp(reader.GetInteger("settings", "lang", 0), 0L, static_cast<long>(UI_LANGUAGE_COUNT));
    _languageCount = static_cast<int>(lang);
    _languages.clear();
    for (long i = 0; i < total; ++i) {
        char section[32];
        std::snprintf(section, sizeof(section), "%ld", i);
        VK_ASSERT(strlen(section) < sizeof(section));
        std::vector<std::string>& texts = _languages[static_cast<int>(i)];
        for (long j = 0; j < lang; ++j) {
            char name[32];
            std::snprintf(name, sizeof(name), "%ld", j);
            VK_ASSERT(strlen(name) < sizeof(name));
            texts.push_back(reader.Get(section, name, ""));
        }
    }
    Singleton<SDDebug>::Inst()->Print("[Resource]%d strings loaded\n", static_cast<int>(_languages.size()));
}

} // namespace vk
