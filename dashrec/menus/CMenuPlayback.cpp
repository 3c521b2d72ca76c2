#include "dashrec/menus/CMenuPlayback.h"

#include "dashrec/core/SDDebug.h"
#include "dashrec/dvr/FileLists.h"
#include "dashrec/menus/MenuHelpers.h"
#include "dashrec/ui/Resource.h"

#include <cstdio>

namespace vk {

namespace {

SDDebug* Log()
{
    return Singleton<SDDebug>::Inst();
}

// The folders in button order, with the list window each opens.
struct Folder {
    STR::ID text;
    const char* name;
    WND::ID list;
    const char* emptyLog;
};

const Folder FOLDERS[] = {
    { STR::NORMAL_REC, "NORMAL", WND::NORMAL_LIST, "[CMenuPlayback]NORMAL_RECORDING empty\n" },
    { STR::EVENT_REC, "EVENT", WND::EVENT_LIST, "[CMenuPlayback]EVENT_RECORDING empty\n" },
    { STR::MANUAL_REC, "MANUAL", WND::MANUAL_LIST, "[CMenuPlayback]MANUAL_RECORDING empty\n" },
    { STR::PARKING_REC, "PARKING", WND::PARKING_LIST, "[CMenuPlayback]PARKING_RECORDING empty\n" },
};

// The folder buttons follow HOME and MENU_RETURN.
constexpr int FIRST_FOLDER_BUTTON = 2;

} // namespace

CMenuPlayback::CMenuPlayback(WND::ID wnd)
    : FileListsMenu(wnd, 6, "[CMenuPlayback]", "[CMenuPlayback]KEY_MENU pressed, closing\n")
{
    for (STR::ID text : { STR::HOME, STR::MENU_RETURN })
        AddContent(text);
    for (const Folder& folder : FOLDERS)
        AddContent(folder.text);
    for (int i = 0; i < FOLDER_COUNT; i++) {
        int id = TXTSUB_OFFSET + FIRST_FOLDER_BUTTON + i;
        obj_common* sub = GetStateComponent(_wnd, id);
        if (sub == nullptr) {
            std::printf("id:%d, sub:%d\n", _wnd, id);
            VK_ASSERT(sub != nullptr);
        }
        menus::BindText(*this, id, _sub[i], "sub != nullptr");
    }
    SetStartPage();
}

void CMenuPlayback::OnInit(ipc_msg_t& msg)
{
    SetCaller(static_cast<WND::ID>(msg.param1));
    Log()->Print("[CMenuPlayback]OnInit, _caller[%d]\n", _caller);
    menus::BindText(*this, ID_VERSION, Resource::Inst()->GetVersion(), "version != nullptr");
    SendMessage(_wnd, WM::PAINT, 0, 0);
    if (LoadIfStale()) {
        for (char* sub : _sub)
            std::snprintf(sub, sizeof(_sub[0]), "0");
    }
}

void CMenuPlayback::UpdateSubText()
{
    FileLists* lists = Singleton<FileLists>::Inst();
    for (int i = 0; i < FOLDER_COUNT; i++)
        std::snprintf(_sub[i], sizeof(_sub[i]), "%zu", lists->GetSize(FOLDERS[i].name));
}

void CMenuPlayback::OnItem(STR::ID item)
{
    for (const Folder& folder : FOLDERS) {
        if (folder.text != item)
            continue;
        if (Singleton<FileLists>::Inst()->GetSize(folder.name) != 0)
            SendMessage(_wnd, WM::CLOSE, folder.list, _wnd);
        else
            Log()->Print("%s", folder.emptyLog);
        return;
    }
    VK_ASSERT(0 && "[CMenuPlayback]Invalid string id");
}

} // namespace vk
