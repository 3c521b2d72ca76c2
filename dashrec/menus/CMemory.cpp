#include "dashrec/menus/CMemory.h"

#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Storage.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/menus/FormatRequest.h"
#include "dashrec/ui/Resource.h"

namespace vk {

namespace {

SDDebug* Log()
{
    return Singleton<SDDebug>::Inst();
}

Pref* Prefs()
{
    return Singleton<Pref>::Inst();
}

Storage* Devices()
{
    return Singleton<Storage>::Inst();
}

void Box(STR::ID text, WND::ID back)
{
    Singleton<CMainDvr>::Inst()->SetMessageBox(text, back);
}

enum MemoryButton { CHANGE_DEVICE_BUTTON = 2, STORAGE_FORMAT_BUTTON = 3, SDCARD_FORMAT_BUTTON = 4 };

} // namespace

CMemory::CMemory(WND::ID wnd) : MenuWindow(wnd, 5, "[CMemory]")
{
    AddContent(STR::HOME);
    AddContent(STR::MENU_RETURN);
    AddContent(STR::CHANGE_DEVICE);
    AddContent(STR::STORAGE_FORMAT);
    AddContent(STR::SDCARD_FORMAT);
    SetStartPage();
}

void CMemory::OnInit(ipc_msg_t& msg)
{
    _keyLock = false;
    SetCaller(WND::ID(msg.param1));
    Log()->Print("[CMemory]OnInit, _caller:%d\n", _caller);
    obj_common* version = GetStateComponent(_wnd, ID_VERSION);
    if (version == nullptr || version->obj_type != obj_common::TEXT)
        VK_ASSERT_REPORT("txt != nullptr");
    static_cast<obj_text*>(version)->text_ptr = Singleton<Resource>::Inst()->GetVersion();

    // Both medium buttons show the medium in use: normal for the eMMC, focus for the card.
    bool internal = Prefs()->IsInternalStorageUsed();
    for (unsigned index : { CHANGE_DEVICE_BUTTON, STORAGE_FORMAT_BUTTON }) {
        obj_button* button = Button(index, index == CHANGE_DEVICE_BUTTON ? "storage != nullptr" : "memoryFormat != nullptr");
        if (internal)
            button->SetNormal();
        else
            button->SetFocus();
    }
    obj_button* sdFormat = Button(SDCARD_FORMAT_BUTTON, "sdformat != nullptr");
    if (internal)
        sdFormat->SetShow();
    else
        sdFormat->SetHide();
    Repaint();
}

void CMemory::OnButton(ipc_msg_t& msg)
{
    if (_keyLock)
        return;
    MessageHandler::OnButton(msg);
    if (msg.param1 == PARAM1::KEY_OK) {
        OnOk(GetStringIdOfFocusedButton());
    } else if (msg.param1 == PARAM1::KEY_MENU) {
        Log()->Print("[CMemory]KEY_MENU pressed, closing\n");
        CloseTo(WND::PREVIOUS_MENU);
    }
}

void CMemory::OnOk(STR::ID item)
{
    switch (item) {
    case STR::CHANGE_DEVICE:
        Log()->Print("[CMemory]CHANGE_DEVICE selected, closing\n");
        OnChangeDevice();
        Repaint();
        break;
    case STR::STORAGE_FORMAT:
        Log()->Print("[CMemory]STORAGE_FORMAT selected, closing\n");
        if (Devices()->DoesDeviceExist())
            CloseTo(WND::MENU_FORMAT, FormatRequest::USE_CURRENT | WND::MEMORY);
        else
            Box(STR::NO_SD_CARD, _wnd);
        break;
    case STR::SDCARD_FORMAT:
        // The backup card is formatted here, so it is the card that must be in.
        Log()->Print("[CMemory]SDCARD_FORMAT selected, closing\n");
        if (Devices()->IsSdCardInserted())
            CloseTo(WND::SD_FORMAT_DIALOG);
        else
            Box(STR::NO_SD_CARD, _wnd);
        break;
    case STR::MENU_RETURN:
        PostMenuKey();
        break;
    case STR::HOME:
        Log()->Print("[CMemory]Back to Liveview\n");
        BackToLiveview();
        break;
    default:
        VK_ASSERT_REPORT("[CMemory]Invalid string id");
    }
}

void CMemory::OnChangeDevice()
{
    if (Prefs()->GetTempStorage() == RECORDING::STORAGE::SDCARD) {
        ShowChoiceThenConfirm(RECORDING::STORAGE::INTERNAL, "[CMemory]INTERNAL_MEMORY selected\n");
        return;
    }
    if (!Devices()->IsSdCardInserted())
        Box(STR::NO_SD_CARD, _wnd);
    else if (!IsSdCardLargeEnough())
        Box(STR::USE_16GB_OR_MORE, _wnd);
    else
        ShowChoiceThenConfirm(RECORDING::STORAGE::SDCARD, "[CMemory]SD_CARD selected\n");
}

void CMemory::ShowChoiceThenConfirm(RECORDING::STORAGE::VALUE storage, const char* line)
{
    _keyLock = true;
    Prefs()->SetTempStorage(storage);
    Log()->Print("%s", line);
    Repaint();
    SetTimer(TIMER::WAITING_FOR_RENDER, RENDER_MS);
}

void CMemory::OnTimer(ipc_msg_t& msg)
{
    if (msg.param1 == TIMER::WAITING_FOR_RENDER)
        CloseTo(WND::CHANGE_STORAGE);
}

void CMemory::OnOtherMessage(ipc_msg_t& msg)
{
    if (msg.cmd == WM::CONNECT_USB)
        CloseTo(WND::LIVEVIEW);
}

CChangeStorage::CChangeStorage(WND::ID wnd) : MenuWindow(wnd, 4, "[CChangeStorage]")
{
    AddContent(STR::HOME);
    AddContent(STR::MENU_RETURN);
    AddContent(STR::CANCEL);
    AddContent(STR::OK);
    SetStartPage();
}

void CChangeStorage::OnInit(ipc_msg_t& msg)
{
    SetCaller(WND::ID(msg.param1));
    Log()->Print("[CChangeStorage]OnInit, _caller:%d\n", _caller);
    for (obj_button* button : _buttons.vec)
        button->SetNormal();
    _buttons.vec[0]->SetFocus();
    _buttons.focused = 0;
    Repaint();
}

void CChangeStorage::OnButton(ipc_msg_t& msg)
{
    MessageHandler::OnButton(msg);
    if (msg.param1 == PARAM1::KEY_OK) {
        OnOk(GetStringIdOfFocusedButton());
    } else if (msg.param1 == PARAM1::KEY_MENU) {
        Log()->Print("[CChangeStorage]KEY_MENU pressed, closing\n");
        CloseTo(WND::PREVIOUS_MENU);
        RestoreChoice();
    }
}

void CChangeStorage::OnOk(STR::ID item)
{
    switch (item) {
    case STR::OK:
        OnConfirm();
        break;
    case STR::CANCEL:
        Log()->Print("[CChangeStorage]CANCEL selected\n");
        RestoreChoice();
        CloseTo(WND::MEMORY);
        break;
    case STR::MENU_RETURN:
        PostMenuKey();
        break;
    case STR::HOME:
        Log()->Print("[CChangeStorage]Back to Liveview\n");
        BackToLiveview();
        break;
    default:
        VK_ASSERT_REPORT("[CChangeStorage]Invalid string id");
    }
}

// The new medium is saved and the program restarts on it after the box; a
// medium without the recording layout is formatted first.
void CChangeStorage::OnConfirm()
{
    Pref* pref = Prefs();
    if (pref->GetTempStorage() == RECORDING::STORAGE::SDCARD) {
        if (!Devices()->IsSdCardInserted()) {
            Box(STR::NO_SD_CARD, _wnd);
            return;
        }
        if (!IsSdCardLargeEnough()) {
            Box(STR::USE_16GB_OR_MORE, _wnd);
            return;
        }
        Log()->Print("[CChangeStorage]OK -SD Card selected\n");
        pref->SetSdCardRecording();
    } else {
        Log()->Print("[CChangeStorage]OK - Internal selected\n");
        pref->SetInternalStorageRecording();
    }
    if (Devices()->CheckDevice()) {
        pref->Save();
        Box(STR::RESTART_AFTER_CHANGE, WND::RESTART);
    } else {
        CloseTo(WND::FORMATTING, FormatRequest::USE_CURRENT);
    }
}

void CChangeStorage::RestoreChoice()
{
    Pref* pref = Prefs();
    pref->SetTempStorage(pref->IsInternalStorageUsed() ? RECORDING::STORAGE::INTERNAL : RECORDING::STORAGE::SDCARD);
}

} // namespace vk
