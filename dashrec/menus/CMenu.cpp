#include "dashrec/menus/CMenu.h"

#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Storage.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/dvr/FileLists.h"

namespace vk {

namespace {

const SettingsWindow::Link LINKS[] = {
    { STR::MEMORY_MGT, WND::MEMORY, nullptr },
    { STR::RECORDING, WND::NORMAL_RECORDING, "[Main Menu]RECORDING selected\n" },
    { STR::PARKING_MODE, WND::PARKING, nullptr },
    { STR::SYSTEM, WND::SYSTEM, "[Main Menu]SYSTEM selected\n" },
};

SDDebug* CardLog()
{
    return Singleton<SDDebug>::Inst();
}

} // namespace

CMenu::CMenu(WND::ID wnd)
    : SettingsWindow(wnd, "CMenu",
          { STR::MENU_RETURN, STR::PLAYBACK, STR::BACKUP_FILE, STR::MEMORY_MGT, STR::RECORDING, STR::PARKING_MODE,
              STR::SYSTEM },
          VERSION_LINE | WATCHES_USB)
{
    SetLinks(LINKS);
}

void CMenu::OnInit(ipc_msg_t& msg)
{
    Log("OnInit\n");
    ShowVersionLine();
    if (msg.param1 == WND::LIVEVIEW)
        Singleton<FileLists>::Inst()->SetReload();
    Paint();
}

void CMenu::OnClose(ipc_msg_t& msg)
{
    Log("OnClose\n");
    MessageHandler::OnClose(msg);
}

bool CMenu::OnItem(STR::ID item)
{
    if (item == STR::PLAYBACK)
        OnPlayback();
    else if (item == STR::BACKUP_FILE)
        OnBackup();
    else
        return false;
    return true;
}

void CMenu::OnPlayback()
{
    CardLog()->Print("[Main Menu]PLAYBACK selected\n");
    if (Singleton<Pref>::Inst()->IsInternalStorageUsed() || Singleton<Storage>::Inst()->IsSdCardInserted())
        Close(WND::PLAYBACK);
    else
        Singleton<CMainDvr>::Inst()->SetMessageBox(STR::NO_SD_CARD, _wnd);
}

void CMenu::OnBackup()
{
    // Backups go from the internal memory to the card.
    if (Singleton<Pref>::Inst()->IsInternalStorageUsed() && Singleton<Storage>::Inst()->IsSdCardInserted()) {
        CardLog()->Print("[Main Menu]BACKUP_FILE selected\n");
        Close(WND::BACKUP_FILE);
    } else {
        CardLog()->Print("[Main Menu]BACKUP_FILE selected, no sdcard\n");
        Singleton<CMainDvr>::Inst()->SetMessageBox(STR::NO_USB_MEMORY, _wnd);
    }
}

void CMenu::OnMenuKey()
{
    CardLog()->Print("[Main Menu]Back to Liveview\n");
    CloseToLiveview();
}

} // namespace vk
