// libFuzzer target: any text the phone hands over as the preferences
// (set_config, set_wifi): the log's mask of its secrets, the import, and the
// text the device answers with afterwards, over the EEPROM model in the sandbox.

#include "ChipFiles.h"

#include "dashrec/core/Pref.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

vk::Pref* Preferences()
{
    static vk::Pref* pref = [] {
        chips::UseBoard("/dev/i2c-2 24lc16\n");
        vk::Pref* made = vk::Singleton<vk::Pref>::Inst();
        made->Init();
        return made;
    }();
    return pref;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    vk::Pref* pref = Preferences();
    std::string text(reinterpret_cast<const char*>(data), size);
    vk::Pref::WithoutPassphrase(text);
    if (!pref->Save(text))
        std::abort();
    pref->LoadFromFile();
    // What get_config answers must itself be taken back whole.
    if (!pref->Save(pref->ToString()) || !pref->LoadFromFile())
        std::abort();
    return 0;
}
