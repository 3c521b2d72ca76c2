// The windows of the normal run mode, created once and kept for the life of
// the process.

#include "dashrec/dvr/CLiveview.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/dvr/Dummy.h"
#include "dashrec/menus/CListPage.h"
#include "dashrec/menus/CMenuPlayback.h"
#include "dashrec/menus/CPlayer.h"

#include <memory>

namespace vk {

namespace {

template <typename Window>
std::shared_ptr<MessageHandler> Make(WND::ID id)
{
    return std::make_shared<Window>(id);
}

template <STR::ID title, const char* folder>
std::shared_ptr<MessageHandler> MakeListPage(WND::ID id)
{
    return std::make_shared<CListPage>(id, title, folder);
}

const char NORMAL[] = "NORMAL";
const char EVENT[] = "EVENT";
const char MANUAL[] = "MANUAL";
const char PARKING[] = "PARKING";

struct WindowEntry {
    WND::ID id;
    std::shared_ptr<MessageHandler> (*make)(WND::ID id);
};

const WindowEntry WINDOWS[] = {
    { WND::DUMMY, Make<Dummy> },
    { WND::LIVEVIEW, Make<CLiveview> },
    { WND::SELECT_FILE, Make<CMenuPlayback> },
    { WND::COPY_PLAYER, Make<CCopyPlayer> },
    { WND::PLAYBACK, Make<CMenuPlayback> },
    { WND::NORMAL_LIST, MakeListPage<STR::NORMAL_REC, NORMAL> },
    { WND::EVENT_LIST, MakeListPage<STR::EVENT_REC, EVENT> },
    { WND::MANUAL_LIST, MakeListPage<STR::MANUAL_REC, MANUAL> },
    { WND::PARKING_LIST, MakeListPage<STR::PARKING_REC, PARKING> },
    { WND::PLAYER, Make<CPlayer> },
};

} // namespace

void CMainDvr::RegisterDVRHandler()
{
    for (const WindowEntry& window : WINDOWS)
        if (_messageHandlers.find(window.id) == _messageHandlers.end())
            RegisterHandler(window.id, window.make(window.id));
}

} // namespace vk
