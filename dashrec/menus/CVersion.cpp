#include "dashrec/menus/CVersion.h"

#include "dashrec/assist/SpeedCam.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/devices/Micom.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/menus/EmmcInfo.h"
#include "dashrec/ui/Resource.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace vk {

namespace {

const int PIECE_SIZE = 32;

const char* Text(int id)
{
    return Resource::Inst()->GetString(id);
}

Pref* Prefs()
{
    return Singleton<Pref>::Inst();
}

// Formats one 32-character piece of a line.
void Piece(char (&piece)[PIECE_SIZE], const char* expr, const char* format, const char* a, const char* b)
{
    if (std::snprintf(piece, sizeof(piece), format, a, b) >= static_cast<int>(sizeof(piece)))
        VK_ASSERT_REPORT(expr);
}

const STR::ID VIDEO_SIZE_TEXT[] = { STR::WQHD, STR::FHD, STR::HD };
const STR::ID EV_TEXT[] = { STR::EV_1, STR::EV_2, STR::EV_3 };
const STR::ID TRUCK_VOLTAGE_TEXT[] = { STR::V22_0, STR::V23_6, STR::V24_0, STR::V24_4, STR::V24_8 };
const STR::ID CAR_VOLTAGE_TEXT[] = { STR::V11_0, STR::V11_8, STR::V12_0, STR::V12_2, STR::V12_4 };
const STR::ID TEMPERATURE_TEXT[] = { STR::T60, STR::T70, STR::T75, STR::T80 };
const STR::ID OFFTIMER_TEXT[] = { STR::H3, STR::H6, STR::H12, STR::H24, STR::H48 };

} // namespace

std::string ModelVersion()
{
    char line[2 * CVersion::STR_SIZE]; // longer than a page line, so that the page's check still sees an overlong one
    std::snprintf(line, sizeof(line), "%s (%s-%d%s)", Text(STR::MODEL_NAME), DASHREC_VERSION,
        Singleton<Micom>::Inst()->GetVersion(), DASHREC_VERSION_SUFFIX);
    return line;
}

CVersion::CVersion(WND::ID wnd) : SettingsWindow(wnd, "CVersion", { STR::HOME, STR::MENU_RETURN }, WATCHES_USB)
{
    for (int line = 0; line < LINES; ++line) {
        obj_text* label = TextComponent(ID_LABEL + line);
        if (label == nullptr)
            VK_ASSERT_REPORT("label != nullptr");
        label->text_ptr = _label[line];
    }
}

void CVersion::OnInit(ipc_msg_t& msg)
{
    SetCaller(WND::ID(msg.param1));
    Log("OnInit, _caller:%d\n", _caller);
    // The card check takes three touches within one visit.
    _powerkey_count = 0;
    FillLines();
    Paint();
}

void CVersion::SetLine(int line, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(_label[line], STR_SIZE, format, args);
    va_end(args);
    if (n >= STR_SIZE) {
        std::string expr = "strlen(_label[" + std::to_string(line) + "]) < STR_SIZE";
        VK_ASSERT_REPORT(expr.c_str());
    }
}

void CVersion::FillLines()
{
    SetLine(0, "%s", ModelVersion().c_str());
    StorageLine();
    ResolutionLine();
    ImageLine();
    ParkingLine();
    SetLine(5, "%s DB : %s", Text(STR::SAFETY), Singleton<SpeedCam>::Inst()->Version());
}

void CVersion::StorageLine()
{
    EmmcInfo emmc;
    const char* read = emmc.Size();
    char* end = nullptr;
    long size = std::strtol(read, &end, 10);
    // A size that could not be read ("N/A", "ERR") is shown as read, never as a class.
    const char* sizeClass = end == read ? read : size < 65 ? "64GB" : size <= 128 ? "128GB" : "256GB";
    unsigned life = emmc.LifeTimeDecimal();
    if (life <= 1)
        SetLine(1, "eMMC : %s", sizeClass);
    else
        SetLine(1, "eMMC : %s (%d/%d)", sizeClass, static_cast<int>(life), static_cast<int>(EmmcInfo::LIFE_MAX));
}

void CVersion::ResolutionLine()
{
    bool longtime = Prefs()->GetLongTimeRecord() == RECORDING::LONGTIME_RECORD::ON;
    STR::ID front = longtime ? STR::HD : VIDEO_SIZE_TEXT[Prefs()->GetVideoSize()];
    char tmp1[PIECE_SIZE];
    char tmp2[PIECE_SIZE];
    Piece(tmp1, "strlen(tmp1) < sizeof(tmp1)", "%s : %s", Text(STR::FRONT_VIEW), Text(front));
    Piece(tmp2, "strlen(tmp2) < sizeof(tmp2)", "%s : %s", Text(STR::REAR_VIEW), Text(STR::FHD));
    SetLine(2, "%s, %s", tmp1, tmp2);
}

void CVersion::ImageLine()
{
    bool nightvision = Prefs()->GetNightvision() == RECORDING::NIGHTVISION::ON;
    char tmp1[PIECE_SIZE];
    char tmp2[PIECE_SIZE];
    Piece(tmp1, "strlen(tmp1) < sizeof(tmp1)", "%s : %s ", Text(STR::NIGHTVISION), Text(nightvision ? STR::ON : STR::OFF));
    Piece(tmp2, "strlen(tmp2) < sizeof(tmp2)", " %s : %s", Text(STR::EV), Text(EV_TEXT[Prefs()->GetEV()]));
    SetLine(3, "%s, %s", tmp1, tmp2);
}

void CVersion::ParkingLine()
{
    const STR::ID* voltages = Singleton<Micom>::Inst()->IsTruck() ? TRUCK_VOLTAGE_TEXT : CAR_VOLTAGE_TEXT;
    SetLine(4, "%s : %s, %s, %s", Text(STR::PARKING_MODE), Text(voltages[Prefs()->GetVoltage()]),
        Text(TEMPERATURE_TEXT[Prefs()->GetTemperature()]), Text(OFFTIMER_TEXT[Prefs()->GetOffTimer()]));
}

void CVersion::OnButton(ipc_msg_t& msg)
{
    SettingsWindow::OnButton(msg);
    if (msg.param1 != PARAM1::TOUCH)
        return;
    // Touches anywhere on the page count towards the card check.
    ++_powerkey_count;
    if (_powerkey_count < FORMAT_TOUCHES || !Singleton<CMainDvr>::Inst()->IsSdCardOn())
        return;
    _powerkey_count = 0;
    std::system("touch /tmp/verify");
    Close(WND::MENU_FORMAT);
}

} // namespace vk
