#include "dashrec/menus/CMemory.h"

#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Storage.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/menus/FormatRequest.h"

namespace vk {

namespace {

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

// The pending medium switches back to the eMMC, or to a card that is in and
// large enough (else a box over the window says why). True when it switched:
// the window then shows the choice and hands over to the confirmation.
bool SwitchPendingStorage(SettingsWindow& window)
{
    if (Prefs()->GetTempStorage() == RECORDING::STORAGE::SDCARD) {
        Prefs()->SetTempStorage(RECORDING::STORAGE::INTERNAL);
        window.Log("INTERNAL_MEMORY selected\n");
        return true;
    }
    if (!Devices()->IsSdCardInserted()) {
        Box(STR::NO_SD_CARD, window.GetWindowId());
        return false;
    }
    if (!IsSdCardLargeEnough()) {
        Box(STR::USE_16GB_OR_MORE, window.GetWindowId());
        return false;
    }
    Prefs()->SetTempStorage(RECORDING::STORAGE::SDCARD);
    window.Log("SD_CARD selected\n");
    return true;
}

obj_button* Button(std::vector<obj_button*>& buttons, unsigned index, const char* expr)
{
    if (index >= buttons.size() || buttons[index] == nullptr)
        VK_ASSERT_REPORT(expr);
    return buttons[index];
}

} // namespace

CMemory::CMemory(WND::ID wnd)
    : SettingsWindow(wnd, "CMemory",
          { STR::HOME, STR::MENU_RETURN, STR::CHANGE_DEVICE, STR::STORAGE_FORMAT, STR::SDCARD_FORMAT },
          VERSION_LINE | WATCHES_USB)
{
}

void CMemory::OnInit(ipc_msg_t& msg)
{
    _keyLock = false;
    SettingsWindow::OnInit(msg);
}

void CMemory::Refresh()
{
    // Both medium buttons: normal for the eMMC, focus for the card.
    bool internal = Prefs()->IsInternalStorageUsed();
    for (obj_button* button : { Button(_buttons.vec, CHANGE_DEVICE_BUTTON, "storage != nullptr"),
             Button(_buttons.vec, STORAGE_FORMAT_BUTTON, "memoryFormat != nullptr") }) {
        if (internal)
            button->SetNormal();
        else
            button->SetFocus();
    }
    obj_button* sdFormat = Button(_buttons.vec, SDCARD_FORMAT_BUTTON, "sdformat != nullptr");
    if (internal)
        sdFormat->SetShow();
    else
        sdFormat->SetHide();
}

void CMemory::OnButton(ipc_msg_t& msg)
{
    if (!_keyLock)
        SettingsWindow::OnButton(msg);
}

bool CMemory::OnItem(STR::ID item)
{
    switch (item) {
    case STR::CHANGE_DEVICE:
        Log("CHANGE_DEVICE selected, closing\n");
        OnChangeDevice();
        Paint();
        return true;
    case STR::STORAGE_FORMAT:
        Log("STORAGE_FORMAT selected, closing\n");
        if (Devices()->DoesDeviceExist())
            Close(WND::MENU_FORMAT, FormatRequest::USE_CURRENT | WND::MEMORY);
        else
            Box(STR::NO_SD_CARD, _wnd);
        return true;
    case STR::SDCARD_FORMAT:
        // The backup card is formatted here, so it is the card that must be in.
        Log("SDCARD_FORMAT selected, closing\n");
        if (Devices()->IsSdCardInserted())
            Close(WND::SD_FORMAT_DIALOG);
        else
            Box(STR::NO_SD_CARD, _wnd);
        return true;
    default:
        return false;
    }
}

// The new choice is drawn before the confirmation opens; keys are dead meanwhile.
void CMemory::OnChangeDevice()
{
    if (!SwitchPendingStorage(*this))
        return;
    _keyLock = true;
    Paint();
    SetTimer(TIMER::WAITING_FOR_RENDER, RENDER_MS);
}

void CMemory::OnTimer(ipc_msg_t& msg)
{
    if (msg.param1 == TIMER::WAITING_FOR_RENDER)
        Close(WND::CHANGE_STORAGE);
}

CStorage::CStorage(WND::ID wnd)
    : OptionScreen(wnd, "CStorage",
          { "storage", { STR::INTERNAL_MEMORY, STR::SD_CARD },
              [] { return static_cast<int>(Prefs()->GetTempStorage()); }, nullptr, 0 })
{
}

void CStorage::OnInit(ipc_msg_t& msg)
{
    _keyLock = false;
    OptionScreen::OnInit(msg);
}

void CStorage::OnButton(ipc_msg_t& msg)
{
    if (!_keyLock)
        OptionScreen::OnButton(msg);
}

// LEFT and RIGHT both switch, with the memory menu's checks and hand-over.
bool CStorage::OnItem(STR::ID item)
{
    if (item != STR::LEFT && item != STR::RIGHT)
        return false;
    if (SwitchPendingStorage(*this)) {
        _keyLock = true;
        UpdateString();
        Paint();
        SetTimer(TIMER::WAITING_FOR_RENDER, CMemory::RENDER_MS);
    }
    return true;
}

void CStorage::OnTimer(ipc_msg_t& msg)
{
    if (msg.param1 == TIMER::WAITING_FOR_RENDER)
        Close(WND::CHANGE_STORAGE);
}

CChangeStorage::CChangeStorage(WND::ID wnd)
    : SettingsWindow(wnd, "CChangeStorage", { STR::HOME, STR::MENU_RETURN, STR::CANCEL, STR::OK })
{
}

void CChangeStorage::Refresh()
{
    for (obj_button* button : _buttons.vec)
        button->SetNormal();
    _buttons.vec[0]->SetFocus();
    _buttons.focused = 0;
}

void CChangeStorage::OnMenuKey()
{
    SettingsWindow::OnMenuKey();
    RestoreChoice();
}

bool CChangeStorage::OnItem(STR::ID item)
{
    switch (item) {
    case STR::OK:
        OnConfirm();
        return true;
    case STR::CANCEL:
        Log("CANCEL selected\n");
        RestoreChoice();
        Close(WND::MEMORY);
        return true;
    default:
        return false;
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
        Log("OK -SD Card selected\n");
        pref->SetSdCardRecording();
    } else {
        Log("OK - Internal selected\n");
        pref->SetInternalStorageRecording();
    }
    if (Devices()->CheckDevice()) {
        pref->Save();
        Box(STR::RESTART_AFTER_CHANGE, WND::RESTART);
    } else {
        Close(WND::FORMATTING, FormatRequest::USE_CURRENT);
    }
}

void CChangeStorage::RestoreChoice()
{
    Pref* pref = Prefs();
    pref->SetTempStorage(pref->IsInternalStorageUsed() ? RECORDING::STORAGE::INTERNAL : RECORDING::STORAGE::SDCARD);
}

} // namespace vk
