#include "dashrec/menus/CBackupFile.h"

#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Storage.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/menus/MenuHelpers.h"
#include "dashrec/ui/Resource.h"

namespace vk {

namespace {

SDDebug* Log()
{
    return Singleton<SDDebug>::Inst();
}

} // namespace

CBackupFile::CBackupFile(WND::ID wnd) : FileListsMenu(wnd, 6, "[CBackupFile]", "[CBackupFile]Back to Main\n")
{
    for (STR::ID text :
        { STR::HOME, STR::MENU_RETURN, STR::COPY_RECENT_FILES, STR::COPY_FOLDER, STR::SELECT_FILE, STR::USB_FORMAT })
        AddContent(text);
    SetStartPage();
}

void CBackupFile::OnInit(ipc_msg_t& msg)
{
    SetCaller(static_cast<WND::ID>(msg.param1));
    Log()->Print("[CBackupFile]OnInit, _caller:%d\n", _caller);
    menus::BindText(*this, ID_VERSION, Resource::Inst()->GetVersion(), "version != nullptr");
    menus::Show(*this, BT_USB_FORMAT, false);
    SendMessage(_wnd, WM::PAINT, 0, 0);
    LoadIfStale();
}

void CBackupFile::OnItem(STR::ID item)
{
    switch (item) {
    case STR::COPY_RECENT_FILES:
        OpenCopyMenu(WND::COPY_RECENT);
        break;
    case STR::COPY_FOLDER:
        OpenCopyMenu(WND::COPY_FOLDER);
        break;
    case STR::SELECT_FILE:
        OpenCopyMenu(WND::SELECT_FILE);
        break;
    case STR::USB_FORMAT:
        OpenUsbFormat();
        break;
    default:
        VK_ASSERT(0 && "[CBackupFile]Invalid string id");
    }
}

// Copies go from the internal storage to the SD card: both must be in use.
void CBackupFile::OpenCopyMenu(WND::ID menu)
{
    if (Singleton<Pref>::Inst()->IsInternalStorageUsed() && Singleton<Storage>::Inst()->IsSdCardInserted())
        SendMessage(_wnd, WM::CLOSE, menu, _wnd);
    else
        Singleton<CMainDvr>::Inst()->SetMessageBox(STR::NO_STORAGE_FOR_BACKUP, WND::MAINMENU);
}

void CBackupFile::OpenUsbFormat()
{
    if (Singleton<Storage>::Inst()->IsUsbMemoryInserted())
        SendMessage(_wnd, WM::CLOSE, WND::USB_FORMAT_DIALOG, _wnd);
    else
        Singleton<CMainDvr>::Inst()->SetMessageBox(STR::NO_USB_MEMORY, _wnd);
}

} // namespace vk
