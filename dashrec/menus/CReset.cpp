#include "dashrec/menus/CReset.h"

#include "dashrec/core/Pref.h"
#include "dashrec/menus/FormatRequest.h"

namespace vk {

CReset::CReset(WND::ID wnd) : SettingsWindow(wnd, "CReset", { STR::HOME, STR::MENU_RETURN, STR::CANCEL, STR::OK }) {}

void CReset::OnInit(ipc_msg_t&)
{
    Log("OnInit\n");
    for (obj_button* button : _buttons.vec)
        button->SetNormal();
    _buttons.focused = 1;
    _buttons.vec[1]->SetFocus();
    Paint();
}

bool CReset::OnItem(STR::ID item)
{
    if (item == STR::OK) {
        OnOk();
    } else if (item == STR::CANCEL) {
        Log("CANCEL selected, closing\n");
        PostMenuKey();
    } else {
        return false;
    }
    return true;
}

void CReset::OnOk()
{
    Log("OK selected, closing\n");
    Pref* pref = Singleton<Pref>::Inst();
    bool layoutKept = pref->GetParkingMode() == Pref::DEF_MODE && pref->GetVideoSize() == Pref::DEF_VIDEO_SIZE
        && pref->GetLongTimeRecord() == Pref::DEF_LONGTIME_RECORD;
    if (!layoutKept) {
        // The recording layout changes: the format applies the defaults.
        Close(WND::MENU_FORMAT, FormatRequest::USE_DEFAULT | _wnd);
        return;
    }
    bool nightvisionKept = pref->GetNightvision() == Pref::DEF_NIGHTVISION;
    pref->LoadDefault();
    if (nightvisionKept) {
        SendMessage(WND::CMAIN_DVR, WM::APPLY_USER_PREF, 0, 0);
        Close(WND::SYSTEM);
    } else {
        Close(WND::RESTART);
    }
}

} // namespace vk
