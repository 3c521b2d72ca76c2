// The windows of the normal run mode, created once and kept for the life of
// the process.

#include "dashrec/dvr/CLiveview.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/dvr/Dummy.h"
#include "dashrec/menus/CMemory.h"
#include "dashrec/menus/CMenu.h"
#include "dashrec/menus/CMenuAdas.h"
#include "dashrec/menus/CMenuNormal.h"
#include "dashrec/menus/CMenuParking.h"
#include "dashrec/menus/CMenuSystem.h"
#include "dashrec/menus/CMessageBox.h"
#include "dashrec/menus/CardWarnings.h"
#include "dashrec/menus/FormatChain.h"
#include "dashrec/menus/FormatDialogs.h"
#include "dashrec/menus/RecordingScreens.h"

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
    { WND::MAINMENU, Make<CMenu> },
    { WND::MESSAGE_BOX, Make<CMessageBox> },
    { WND::RECORDING, Make<CMenuRecording> },
    { WND::NORMAL_RECORDING, Make<CMenuNormal> },
    { WND::NORMAL_GSENSOR, Make<CNormalGsensor> },
    { WND::VIDEO_SIZE, Make<CVideoSize> },
    { WND::EV, Make<CEV> },
    { WND::NIGHTVISION, Make<CNightVision> },
    { WND::LONGTIME, Make<CLongtime> },
    { WND::SYSTEM, Make<CMenuSystem> },
    { WND::MEMORY, Make<CMemory> },
    { WND::FORCE_FORMAT, Make<CForcedFormat> },
    { WND::MENU_FORMAT, Make<CMenuFormat> },
    { WND::FORMATTING, Make<CFormatting> },
    { WND::FORMAT_SUCCESS, Make<CSuccess> },
    { WND::RESTART, Make<CRestart> },
    { WND::CHANGE_STORAGE, Make<CChangeStorage> },
    { WND::SD_WRITE_ERROR, Make<SDWriteError> },
    { WND::SD_EXCHANGE, Make<SDExchange> },
    { WND::PARKING, Make<CMenuParking> },
    { WND::ADAS, Make<CMenuAdas> },
    { WND::ADAS_CALIBRATION, Make<CAdasCalibration> },
};

} // namespace

void CMainDvr::RegisterDVRHandler()
{
    for (const WindowEntry& window : WINDOWS)
        if (_messageHandlers.find(window.id) == _messageHandlers.end())
            RegisterHandler(window.id, window.make(window.id));
}

} // namespace vk
