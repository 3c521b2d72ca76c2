// The windows of the normal run mode, created once and kept for the life of
// the process.

#include "dashrec/dvr/ApMode.h"
#include "dashrec/dvr/CLiveview.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/dvr/Dummy.h"
#include "dashrec/menus/CDate.h"
#include "dashrec/menus/CLockPin.h"
#include "dashrec/menus/CMemory.h"
#include "dashrec/menus/CMenu.h"
#include "dashrec/menus/CMenuAdas.h"
#include "dashrec/menus/CMenuNormal.h"
#include "dashrec/menus/CMenuParking.h"
#include "dashrec/menus/CMenuSystem.h"
#include "dashrec/menus/CMessageBox.h"
#include "dashrec/menus/CReset.h"
#include "dashrec/menus/CVersion.h"
#include "dashrec/menus/CardWarnings.h"
#include "dashrec/menus/FormatChain.h"
#include "dashrec/menus/FormatDialogs.h"
#include "dashrec/menus/ParkingScreens.h"
#include "dashrec/menus/RecordingScreens.h"
#include "dashrec/menus/SystemScreens.h"
#include "dashrec/menus/CBackupFile.h"
#include "dashrec/menus/CCopyMenu.h"
#include "dashrec/menus/CCopyProcedure.h"
#include "dashrec/menus/CFormatDialog.h"
#include "dashrec/menus/CFormatProcedure.h"
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
    { WND::APMODE, Make<ApMode> },
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
    { WND::LCD_DISPLAY, Make<CDisplay> },
    { WND::DATE_TIME, Make<CDate> },
    { WND::VOLUME, Make<CVolume> },
    { WND::LANGUAGE, Make<CLanguage> },
    { WND::RESET, Make<CReset> },
    { WND::VERSION, Make<CVersion> },
    { WND::SETTINGS, Make<CSettings> },
    { WND::SOUND, Make<CSound> },
    { WND::VOICE, Make<CVoice> },
    { WND::SECURITY, Make<CSecurity> },
    { WND::PW_1, Make<CPw1> },
    { WND::PW_2, Make<CPw2> },
    { WND::MENU_PW, Make<CMenuPw> },
    { WND::CONFIRM_PW, Make<ConfirmPw> },
    { WND::MEMORY, Make<CMemory> },
    { WND::FORCE_FORMAT, Make<CForcedFormat> },
    { WND::MENU_FORMAT, Make<CMenuFormat> },
    { WND::FORMATTING, Make<CFormatting> },
    { WND::FORMAT_SUCCESS, Make<CSuccess> },
    { WND::RESTART, Make<CRestart> },
    { WND::CHANGE_STORAGE, Make<CChangeStorage> },
    { WND::SD_WRITE_ERROR, Make<SDWriteError> },
    { WND::SD_EXCHANGE, Make<SDExchange> },
    { WND::BACKUP_FILE, Make<CBackupFile> },
    { WND::COPY_RECENT, Make<CRecent> },
    { WND::COPY_FOLDER, Make<CFolder> },
    { WND::COPY_PROCEDURE, Make<CCopyProcedure> },
    { WND::SD_FORMAT_PROCEDURE, Make<CFormatProcedure> },
    { WND::SD_FORMAT_DIALOG, Make<CSDFormat> },
    { WND::USB_FORMAT_PROCEDURE, Make<CUSBFormatProcedure> },
    { WND::USB_FORMAT_DIALOG, Make<CUSBFormat> },
    { WND::SELECT_FILE, Make<CMenuPlayback> },
    { WND::COPY_PLAYER, Make<CCopyPlayer> },
    { WND::PLAYBACK, Make<CMenuPlayback> },
    { WND::NORMAL_LIST, MakeListPage<STR::NORMAL_REC, NORMAL> },
    { WND::EVENT_LIST, MakeListPage<STR::EVENT_REC, EVENT> },
    { WND::MANUAL_LIST, MakeListPage<STR::MANUAL_REC, MANUAL> },
    { WND::PARKING_LIST, MakeListPage<STR::PARKING_REC, PARKING> },
    { WND::PLAYER, Make<CPlayer> },
    { WND::PARKING, Make<CMenuParking> },
    { WND::MODE, Make<CParkingMode> },
    { WND::PARKING_GSENSOR, Make<CParkingGsensor> },
    { WND::MOTION, Make<CParkingMotion> },
    { WND::MANAGE, Make<CMenuManage> },
    { WND::VOLTAGE, Make<CVoltage> },
    { WND::TEMPERATURE, Make<CTemperature> },
    { WND::OFFTIMER, Make<COffTimer> },
    { WND::STORAGE, Make<CStorage> },
    { WND::LDWS_MODE, Make<CLdwsMode> },
    { WND::FCWS_MODE, Make<CFcwsMode> },
    { WND::BOOTING_COUNT_TEST, Make<BootingCountTest> },
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
