#pragma once
// Everything the screens are made of: the drawing context, the images, the
// texts in every language and the parsed screen description. Used from the
// run mode's main thread only.

#include "dashrec/core/Singleton.h"
#include "dashrec/ui/UIDraw.h"

#include <map>
#include <string>
#include <vector>

namespace vk {

class Resource : public Singleton<Resource> {
public:
    ~Resource() override;

    void Init(int width, int height, bool rotate);
    void Finalize();
    void SetPage(int stateId);
    void Draw(bool keep);
    obj_common* GetComponent(int id);
    obj_common* GetStateComponent(int stateId, int id);
    const char* GetString(int id);
    ImgData* GetSurface(const std::string& name);
    const char* GetVersion() const { return _version; }
    void PrintScreen(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // The preference language; the first one when the language file lacks it.
    int GetLanguage();
    ui_handle_t* GetHandle() const { return _ui_handle; }
    // The texts of the language file, in place of those held.
    void LoadStrings(const std::string& file);

private:
    void LoadImages(const std::string& dir);

    char _version[64] = {};
    ui_handle_t* _ui_handle = nullptr;
    std::map<std::string, ImgData*> _surfaces;
    std::map<int, std::vector<std::string>> _languages;
    std::string _menu_file;
    std::string _lang_file;
    std::string _font_file;
    std::string _image_path;
    int _languageCount = 0;
    int _reportedLanguage = -1; // the missing language already logged
};

} // namespace vk
