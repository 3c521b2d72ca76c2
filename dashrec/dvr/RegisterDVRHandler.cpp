// The windows of the normal run mode, created once and kept for the life of
// the process.

#include "dashrec/dvr/CLiveview.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/dvr/Dummy.h"
#include "dashrec/menus/CCopyMenu.h"
#include "dashrec/menus/CCopyProcedure.h"
#include "dashrec/menus/CFormatDialog.h"
#include "dashrec/menus/CFormatProcedure.h"

#include <memory>

namespace vk {

namespace {

template <typename Window>
std::shared_ptr<MessageHandler> Make(WND::ID id)
{
    return std::make_shared<Window>(id);
}

struct WindowEntry {
    WND::ID id;
    std::shared_ptr<MessageHandler> (*make)(WND::ID id);
};

const WindowEntry WINDOWS[] = {
    { WND::DUMMY, Make<Dummy> },
    { WND::LIVEVIEW, Make<CLiveview> },
    { WND::COPY_RECENT, Make<CRecent> },
    { WND::COPY_FOLDER, Make<CFolder> },
    { WND::COPY_PROCEDURE, Make<CCopyProcedure> },
    { WND::SD_FORMAT_PROCEDURE, Make<CFormatProcedure> },
    { WND::SD_FORMAT_DIALOG, Make<CSDFormat> },
    { WND::USB_FORMAT_PROCEDURE, Make<CUSBFormatProcedure> },
    { WND::USB_FORMAT_DIALOG, Make<CUSBFormat> },
};

} // namespace

void CMainDvr::RegisterDVRHandler()
{
    for (const WindowEntry& window : WINDOWS)
        if (_messageHandlers.find(window.id) == _messageHandlers.end())
            RegisterHandler(window.id, window.make(window.id));
}

} // namespace vk
