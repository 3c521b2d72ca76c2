#pragma once
// The backup menus that start a copy to the SD card: the recent recordings
// (`CRecent`) and a whole folder (`CFolder`). Each item names a kind of copy
// list; a card that is not FAT is offered a format first.

#include "dashrec/menus/CopyList.h"
#include "dashrec/ui/MessageHandler.h"

#include <vector>

namespace vk {

class CCopyMenu : public MessageHandler {
public:
    struct Item {
        STR::ID text;
        LISTTYPE::VALUE kind;
        const char* name;   // in the log lines
        const char* folder; // must hold recordings; nullptr for none
    };
    struct Kind {
        const char* tag;
        std::vector<Item> items;
    };

    static const int BT_SDCARD = 6;
    static const int BT_USB = 7;

    void OnMessage(ipc_msg_t& msg) override;
    void OnInit(ipc_msg_t& msg) override;
    void OnButton(ipc_msg_t& msg) override;

protected:
    CCopyMenu(WND::ID wnd, const Kind& kind);

    virtual void HideSelectStorage();

private:
    void StartCopy(const Item& item);
    void OnStorageChoice();

    const Kind& _kind;
};

class CRecent : public CCopyMenu {
public:
    explicit CRecent(WND::ID wnd);
};

class CFolder : public CCopyMenu {
public:
    explicit CFolder(WND::ID wnd);

    void OnInit(ipc_msg_t& msg) override;
    void UpdateSubText() override;

protected:
    void HideSelectStorage() override;

private:
    static const int FOLDERS = 4;
    static const int PARKING_ITEM = 5;

    char _sub[FOLDERS][16] = {};
};

} // namespace vk
