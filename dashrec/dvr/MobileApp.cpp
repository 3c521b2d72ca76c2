#include "dashrec/dvr/MobileApp.h"

#include "dashrec/core/MessageIds.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/SdCard.h"
#include "dashrec/core/Storage.h"
#include "dashrec/core/SystemClock.h"
#include "dashrec/devices/Micom.h"
#include "dashrec/devices/Rtc.h"
#include "dashrec/dvr/MobileList.h"
#include "dashrec/menus/CopyList.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <unistd.h>

namespace vk {

namespace {

// Serialises the configuration commands and the close notification, so that a
// close never comes between saving a configuration and noting it.
std::recursive_mutex closeMutex;
// The backup card has not been formatted by the app since the server started.
std::atomic<bool> formatNeeded { true };
// A configuration command asked for a restart or a format: a close must not
// send the screen back to the live view any more.
bool callSetConfig = false;

const int SETTLE_MS = 100;

SDDebug* Log()
{
    return Singleton<SDDebug>::Inst();
}

void Post(int wnd, int cmd, int param1, int param2)
{
    UIQueue::Inst()->SendMessage(wnd, cmd, param1, param2);
}

// Each command's console line, between two rules.
void Banner(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Banner(const char* format, ...)
{
    static const char RULE[] = "===================================================\n";
    std::fputs(RULE, stdout);
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    if (format[std::strlen(format) - 1] != '\n')
        std::fputc('\n', stdout);
    std::fputs(RULE, stdout);
}

const char* const FOLDERS[MaxRec] = { "NORMAL", "EVENT", "MANUAL", "PARKING" };
const char* const CAMERAS[MaxCam] = { "F", "R" };

struct PageEntry {
    const char* name;
    MobileApp::Page page;
    // The window the device shows, or INVALID for none; and its INIT parameter:
    // 1 for the pages that work on the recording medium.
    WND::ID window;
    int useMedium;
};

const PageEntry PAGES[] = {
    { "page_main", MobileApp::Page::Main, WND::LIVEVIEW, 0 },
    { "page_live", MobileApp::Page::Live, WND::APMODE, 0 },
    { "page_sd", MobileApp::Page::Sd, WND::APMODE, 1 },
    { "page_config", MobileApp::Page::Config, WND::APMODE, 0 },
    { "page_wifi", MobileApp::Page::Wifi, WND::INVALID, 0 },
    { "page_copy", MobileApp::Page::Copy, WND::APMODE, 1 },
};

// The backup card's room for copies in megabytes, never below 0; the card is mounted.
int CardRoom()
{
    SdCard* card = Singleton<SdCard>::Inst();
    return std::max(0, card->FreeSpace() - card->MarginSpace());
}

// Copies one recording to the mounted backup card: 0 copied, -1 the copy
// failed, -2 no room for it, -4 a card the app has not formatted, -5 already there.
int CopyToMountedCard(const std::string& name)
{
    SdCard* card = Singleton<SdCard>::Inst();
    if (!card->IsFat() || formatNeeded)
        return -4;
    auto file = std::make_shared<CopyFile>();
    file->name = std::make_shared<std::string>(name);
    file->GetSize();
    file->GetTime();
    std::string destination = file->Destination();
    if (access(destination.c_str(), F_OK) == 0)
        return -5;
    if (CardRoom() < file->size)
        return -2;
    card->MakeDirectories();
    bool copied = Singleton<CopyList>::Inst()->Copy(file);
    Log()->Print("[SDCopyCallback]%s(%d MB) copy %s\n", name.c_str(), file->size, copied ? "success" : "fail");
    return copied ? 0 : -1;
}

// Saves the phone's text as the preferences and takes it in; false when
// the preferences refused it and nothing changed.
bool ImportSettings(const std::string& text, int settleMs)
{
    Pref* pref = Singleton<Pref>::Inst();
    if (!pref->Save(text))
        return false;
    usleep(settleMs * 1000);
    return pref->LoadFromFile();
}

std::tm Calendar(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    std::tm time {};
    time.tm_year = year - 1900;
    time.tm_mon = month - 1;
    time.tm_mday = day;
    time.tm_hour = hour;
    time.tm_min = minute;
    time.tm_sec = second;
    return time;
}

int DayOfWeek(int year, int month, int day)
{
    std::tm noon = Calendar(year, month, day, 12);
    std::mktime(&noon);
    return noon.tm_wday;
}

// The wall-clock time counted from 1970-01-01 00:00:00 in the same zone.
time_t WallClockSeconds(int year, int month, int day, int hour, int minute, int second)
{
    std::tm time = Calendar(year, month, day, hour, minute, second);
    std::tm epoch = Calendar(1970, 1, 1);
    return std::mktime(&time) - std::mktime(&epoch);
}

} // namespace

void MobileApp::Init()
{
    bmNet.SetFilelistCallback(FilelistCallback);
    bmNet.SetDeleteFileCallback(DeleteFileCallback);
    bmNet.SetSetConfigCallback(SetConfigCallback);
    bmNet.SetGetConfigCallback(GetConfigCallback);
    bmNet.SetSetWifiCallback(SetWifiCallback);
    bmNet.SetGetWifiCallback(GetWifiCallback);
    bmNet.SetPageCallback(PageCallback);
    bmNet.SetCloseCallback(OnClose);
    bmNet.SetSetTimeCallback(OnSetTime);
    bmNet.SetDisconnectCallback(OnDisconnect);
    bmNet.SetGetVersionCallback(GetVersionCallback);
    bmNet.SetSDFormatCallback(SDFormatCallback);
    bmNet.SetSDFreeSpaceCallback(SDFreeSpaceCallback);
    bmNet.SetSDCopyCallback(SDCopyCallback);
    bmNet.SetLogMask(Pref::WithoutPassphrase);
}

bool MobileApp::Start()
{
    formatNeeded = true;
    return bmNet.Start(PORT) == 1;
}

void MobileApp::Stop()
{
    formatNeeded = true;
    bmNet.Stop();
}

void MobileApp::FilelistCallback(CameraPosition camera, RecordType type, std::string& list, bool)
{
    VK_ASSERT(type >= Normal && type < MaxRec);
    VK_ASSERT(camera == Front || camera == Rear);
    Singleton<MobileList>::Inst()->GetList(CAMERAS[camera], FOLDERS[type], list);
}

// Every name is tried; true only when all of them were deleted.
bool MobileApp::DeleteFileCallback(std::string& names)
{
    Banner("     MobileApp: DeleteFileCallback %s\n", names.c_str());
    bool deleted = true;
    size_t begin = 0;
    for (;;) {
        size_t comma = names.find(',', begin);
        std::string name = names.substr(begin, comma - begin);
        Log()->Print("DeleteFileCallback - %s delete\n", name.c_str());
        deleted = Singleton<MobileList>::Inst()->DeleteFile(name) && deleted;
        if (comma == std::string::npos)
            return deleted;
        begin = comma + 1;
    }
}

void MobileApp::GetConfigCallback(std::string& text)
{
    Banner("     MobileApp: GetConfigCallback %s\n", text.c_str());
    text = Singleton<Pref>::Inst()->ToString();
}

void MobileApp::GetWifiCallback(std::string& text)
{
    Banner("     MobileApp: GetWifiCallback %s\n", text.c_str());
    text = Singleton<Pref>::Inst()->ToString();
}

bool MobileApp::SetConfigCallback(std::string& text, bool& close)
{
    Banner("     MobileApp: SetConfigCallback %s\n", Pref::WithoutPassphrase(text).c_str());
    std::lock_guard<std::recursive_mutex> lock(closeMutex);
    close = false;
    Pref* pref = Singleton<Pref>::Inst();
    bool parking = pref->IsParkingModeOn();
    if (!ImportSettings(text, 0))
        return false;
    Post(WND::CMAIN_DVR, WM::APPLY_USER_PREF, 0, 0);
    if (pref->IsParkingModeOn() == parking)
        return true;
    // The medium is laid out per parking mode: it must be formatted again.
    std::printf("Set new config from App\n");
    Post(WND::ANY, WM::CLOSE, WND::FORMATTING, WND::APMODE);
    close = true;
    callSetConfig = true;
    return true;
}

bool MobileApp::SetWifiCallback(std::string& text, bool& close)
{
    Banner("     MobileApp: SetWifiCallback %s\n", Pref::WithoutPassphrase(text).c_str());
    std::lock_guard<std::recursive_mutex> lock(closeMutex);
    close = false;
    Pref* pref = Singleton<Pref>::Inst();
    std::string ssid = pref->GetSSID();
    std::string password = pref->GetPassword();
    if (!ImportSettings(text, SETTLE_MS))
        return false;
    Log()->Print("SSID prev:%s new:%s\n", ssid.c_str(), pref->GetSSID().c_str());
    Log()->Print("PW prev:%s new:%s\n", Pref::HIDDEN_VALUE, Pref::HIDDEN_VALUE);
    if (ssid == pref->GetSSID() && password == pref->GetPassword())
        return true;
    // The access point restarts with the new network.
    close = true;
    callSetConfig = true;
    Post(WND::CMAIN_DVR, WM::REBOOT, 0, 0);
    return true;
}

void MobileApp::PageCallback(std::string& page)
{
    Banner("     MobileApp: PageCallback %s\n", page.c_str());
    for (const PageEntry& entry : PAGES) {
        if (page != entry.name)
            continue;
        Inst()->mPage = entry.page;
        if (entry.window != WND::INVALID)
            Post(WND::ANY, WM::CLOSE, entry.window, entry.useMedium);
        return;
    }
    std::printf("     MobileApp: Unknown Page %s\n", page.c_str());
}

void MobileApp::GetVersionCallback(std::string& text)
{
    Banner("     MobileApp: GetVersionCallback %s\n", text.c_str());
    char ver[64];
    if (std::snprintf(ver, sizeof(ver), "%s-%d", DASHREC_VERSION, Singleton<Micom>::Inst()->GetVersion())
        >= static_cast<int>(sizeof(ver)))
        VK_ASSERT_REPORT("strlen(ver) < sizeof(ver)");
    text = ver;
}

void MobileApp::OnSetTime(int year, int month, int day, int hour, int minute, int second)
{
    Banner("     MobileApp: SetTimeCallback %d.%d.%d %d:%d:%d\n", year, month, day, hour, minute, second);
    Rtc::RtcTime rtc { second, minute, hour, day, month, year - 2000, DayOfWeek(year, month, day) };
    if (Singleton<Rtc>::Inst()->SetTime(rtc))
        Log()->Print("[MobileApp::OnSetTime]RTC Set successful\n");
    else
        Log()->Print("[MobileApp::OnSetTime]RTC Set failure\n");
    timeval now { WallClockSeconds(year, month, day, hour, minute, second), 0 };
    SystemClock::Set(now);
    usleep(SETTLE_MS * 1000);
    std::tm local = Log()->GetLocaltime();
    Log()->Print("[MobileApp::OnSetTime] - %d/%02d/%02d-%02d:%02d:%02d\n", local.tm_year, local.tm_mon,
                 local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

void MobileApp::SDFormatCallback(std::string& result)
{
    Banner("     MobileApp: SDFormat ");
    int size = -2;
    if (Singleton<Storage>::Inst()->IsSdCardInserted()) {
        SdCard* card = Singleton<SdCard>::Inst();
        size = -1;
        if (card->Format()) {
            card->Mount();
            formatNeeded = false;
            size = CardRoom();
            card->Unmount();
        }
    }
    Log()->Print("[MobileApp:SDFormatCallback] - size:%d\n", size);
    result = std::to_string(size);
}

void MobileApp::SDFreeSpaceCallback(std::string& result)
{
    Banner("     MobileApp: SDFreeSpace ");
    int size = -3;
    if (Singleton<Storage>::Inst()->IsSdCardInserted()) {
        SdCard* card = Singleton<SdCard>::Inst();
        card->Mount();
        size = card->IsFat() && !formatNeeded ? CardRoom() : -2;
        card->Unmount();
    }
    Log()->Print("[MobileApp:SDFreeSpaceCallback] - size:%d\n", size);
    result = std::to_string(size);
}

void MobileApp::SDCopyCallback(std::string& name, std::string& result)
{
    Banner("     MobileApp: SDCopy %s\n", name.c_str());
    int code = -3;
    if (Singleton<Storage>::Inst()->IsSdCardInserted()) {
        SdCard* card = Singleton<SdCard>::Inst();
        card->Mount();
        code = CopyToMountedCard(name);
        card->Unmount();
    }
    result = std::to_string(code);
}

void MobileApp::OnClose()
{
    Banner("     MobileApp: OnClose");
    std::lock_guard<std::recursive_mutex> lock(closeMutex);
    formatNeeded = true;
    if (callSetConfig) {
        Log()->Print("Setconfig called, go to liveview rejected\n");
        return;
    }
    Log()->Print("Go back to liveview\n");
    Post(WND::ANY, WM::CLOSE, WND::LIVEVIEW, 0);
}

void MobileApp::OnDisconnect(bool)
{
    Banner("     MobileApp: OnDisconnect");
    formatNeeded = true;
    Post(WND::CMAIN_DVR, WM::WIFI, 0, 0);
}

} // namespace vk
