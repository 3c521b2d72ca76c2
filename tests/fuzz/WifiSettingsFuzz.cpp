// libFuzzer target: any file as the card's Wi-Fi station settings, read by
// the station test and written out as wpa_supplicant's network block; every
// value the block takes stays on its own line and inside its quotes.

#include "InputFile.h"

#include "dashrec/modes/CMainWiFi.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using vk::CMainWiFi;

bool OneLineWithoutQuotes(const std::string& value)
{
    return value.find_first_of("\"\n\r") == std::string::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CMainWiFi* mode = [] {
        mkdir("/mnt/extsd", 0755);
        return new CMainWiFi;
    }();
    fuzz::WriteFile(CMainWiFi::SETTINGS_FILE, data, size);
    mode->LoadSettings();
    const CMainWiFi::Settings& settings = mode->GetSettings();
    if (!OneLineWithoutQuotes(settings.ssid) || !OneLineWithoutQuotes(settings.key)
        || !OneLineWithoutQuotes(settings.pw))
        std::abort();
    if (!mode->SetWpaConfig())
        std::abort();
    return 0;
}
