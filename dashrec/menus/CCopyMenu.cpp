#include "dashrec/menus/CCopyMenu.h"

#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/SdCard.h"
#include "dashrec/core/Storage.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/dvr/FileLists.h"
#include "dashrec/menus/MenuHelpers.h"
#include "dashrec/ui/Resource.h"

#include <cstdio>

namespace vk {

namespace {

const CCopyMenu::Kind RECENT = {
    "[CRecent]",
    {
        { STR::LAST_5_MINUTES, LISTTYPE::LAST_5_MINUTES_LIST, "LAST_5_MINUTES", nullptr },
        { STR::LAST_15_MINUTES, LISTTYPE::LAST_15_MINUTES_LIST, "LAST_15_MINUTES", nullptr },
        { STR::LAST_30_MINUTES, LISTTYPE::LAST_30_MINUTES_LIST, "LAST_30_MINUTES", nullptr },
        { STR::BACKUP_MOMORY_CAPACITY, LISTTYPE::SD_CAPACITY_LIST, "BACKUP_MOMORY_CAPACITY", nullptr },
    },
};

const CCopyMenu::Kind FOLDER = {
    "[CFolder]",
    {
        { STR::NORMAL_FOLDER, LISTTYPE::NORMAL_RECORD_LIST, "NORMAL_FOLDER", "NORMAL" },
        { STR::EVENT_FOLDER, LISTTYPE::EVENT_RECORD_LIST, "EVENT_FOLDER", "EVENT" },
        { STR::MANUAL_FOLDER, LISTTYPE::MANUAL_RECORD_LIST, "MANUAL_FOLDER", "MANUAL" },
        { STR::PARKING_FOLDER, LISTTYPE::PARKING_RECORD_LIST, "PARKING_FOLDER", "PARKING" },
    },
};

SDDebug* Log()
{
    return Singleton<SDDebug>::Inst();
}

} // namespace

CCopyMenu::CCopyMenu(WND::ID wnd, const Kind& kind) : MessageHandler(wnd, 8), _kind(kind)
{
    AddContent(STR::HOME);
    AddContent(STR::MENU_RETURN);
    for (const Item& item : kind.items)
        AddContent(item.text);
    AddContent(STR::SD_CARD);
    AddContent(STR::USB);
    SetStartPage();
}

CRecent::CRecent(WND::ID wnd) : CCopyMenu(wnd, RECENT) {}

CFolder::CFolder(WND::ID wnd) : CCopyMenu(wnd, FOLDER)
{
    for (int i = 0; i < FOLDERS; ++i) {
        static_cast<obj_text*>(menus::Child(*this, TXTSUB_OFFSET + 2 + i, "sub != nullptr"))->text_ptr = _sub[i];
    }
}

void CCopyMenu::OnMessage(ipc_msg_t& msg)
{
    if (!menus::Accepts(*this, msg, _kind.tag) || menus::DispatchBasic(*this, msg))
        return;
    switch (msg.cmd) {
    case WM::CONNECT_USB:
        SendMessage(_wnd, WM::CLOSE, WND::LIVEVIEW, _wnd);
        break;
    default:
        break;
    }
}

void CCopyMenu::OnInit(ipc_msg_t& msg)
{
    SetCaller(WND::ID(msg.param1));
    Log()->Print("%sOnInit, _caller:%d\n", _kind.tag, _caller);
    static_cast<obj_text*>(menus::Child(*this, ID_VERSION, "txt != nullptr"))->text_ptr = Resource::Inst()->GetVersion();
    HideSelectStorage();
    SendMessage(_wnd, WM::PAINT, 0, 0);
}

void CFolder::OnInit(ipc_msg_t& msg)
{
    CCopyMenu::OnInit(msg);
    bool parking = Singleton<Pref>::Inst()->IsParkingModeOn();
    menus::Show(*this, PARKING_ITEM, parking);
    menus::Show(*this, TXTSUB_OFFSET + PARKING_ITEM, parking);
    UpdateSubText();
}

void CCopyMenu::HideSelectStorage()
{
    menus::Show(*this, BT_SDCARD, false);
    menus::Show(*this, BT_USB, false);
}

void CFolder::HideSelectStorage()
{
    CCopyMenu::HideSelectStorage();
    UpdateSubText();
}

void CFolder::UpdateSubText()
{
    for (int i = 0; i < FOLDERS; ++i)
        std::snprintf(_sub[i], sizeof(_sub[i]), "%u",
            static_cast<unsigned>(Singleton<FileLists>::Inst()->GetSize(FOLDER.items[i].folder)));
}

void CCopyMenu::OnButton(ipc_msg_t& msg)
{
    MessageHandler::OnButton(msg);
    if (msg.param1 == PARAM1::KEY_MENU) {
        Log()->Print("%sBack to BACKUP_FILE\n", _kind.tag);
        SendMessage(_wnd, WM::CLOSE, WND::PREVIOUS_MENU, _wnd);
        return;
    }
    if (msg.param1 != PARAM1::KEY_OK)
        return;
    STR::ID text = GetStringIdOfFocusedButton();
    switch (text) {
    case STR::HOME:
        menus::BackToLiveview(*this);
        return;
    case STR::MENU_RETURN:
        SendMessage(_wnd, WM::BUTTON, PARAM1::KEY_MENU, PARAM2::NO_SOUND);
        return;
    case STR::SD_CARD:
    case STR::USB:
        OnStorageChoice();
        return;
    default:
        break;
    }
    for (const Item& item : _kind.items) {
        if (item.text == text) {
            StartCopy(item);
            return;
        }
    }
    VK_ASSERT_REPORT("0 && \"Invalid string id\"");
}

void CCopyMenu::OnStorageChoice()
{
    if (!GetStateComponent(_wnd, BT_USB)->IsShown())
        VK_ASSERT_REPORT("0 && \"Invalid string\"");
    HideSelectStorage();
    SendMessage(_wnd, WM::PAINT, 0, 0);
}

void CCopyMenu::StartCopy(const Item& item)
{
    if (item.folder != nullptr && Singleton<FileLists>::Inst()->GetSize(item.folder) == 0) {
        Log()->Print("%s%s empty\n", _kind.tag, item.name);
        return;
    }
    if (!Singleton<Pref>::Inst()->IsInternalStorageUsed() || !Singleton<Storage>::Inst()->IsSdCardInserted()) {
        Log()->Print("%s%s No Storage\n", _kind.tag, item.name);
        Singleton<CMainDvr>::Inst()->SetMessageBox(STR::NO_STORAGE_FOR_BACKUP, WND::MAINMENU);
        return;
    }
    SdCard* card = Singleton<SdCard>::Inst();
    card->MakeDirectories();
    Singleton<CopyList>::Inst()->SetListType(item.kind);
    Singleton<CopyList>::Inst()->SetListMedia(LISTMEDIA::SDCARD);
    SendMessage(_wnd, WM::CLOSE, card->IsFat() ? WND::COPY_PROCEDURE : WND::SD_FORMAT_DIALOG, _wnd);
}

} // namespace vk
