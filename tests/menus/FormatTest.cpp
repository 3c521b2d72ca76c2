// Formatting the recording medium: the dialogs, the progress screen with each
// request, the markers and preferences it leaves for the launcher, the done
// and restart screens.

#include "dashrec/core/Pref.h"
#include "dashrec/devices/LED.h"
#include "dashrec/menus/FormatDialogs.h"
#include "dashrec/menus/FormatRequest.h"
#include "dashrec/ui/Resource.h"
#include "host/display/LcdShot.h"
#include "tests/menus/MenuBus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace menutest {
namespace {

using vk::Pref;
using vk::Singleton;
namespace STR = vk::STR;
namespace RECORDING = vk::RECORDING;
namespace FormatRequest = vk::FormatRequest;

const int PHONE_APP_REQUEST = 999;
const int BIG_CARD_MIB = 8300;
const char* const MARKERS[] = { "/tmp/format", "/tmp/blk1", "/tmp/fwqhd", "/tmp/ffhd", "/tmp/fhd", "/tmp/rfhd",
                                "/tmp/p30", "/tmp/k30", "/tmp/k0" };

Pref* Prefs()
{
    return Singleton<Pref>::Inst();
}

class Format : public MenuBus {
protected:
    // Settings in use: parking on, HD. Kept for the next start: parking off, full HD.
    void PendChanges()
    {
        Pref* pref = Prefs();
        pref->SetParkingModeOn();
        pref->SetVideoSize(RECORDING::VIDEO_SIZE::HD);
        pref->SetTempParkingMode(vk::PARKING::MODE::OFF);
        pref->SetTempVideoSize(RECORDING::VIDEO_SIZE::FHD);
    }

    std::vector<std::string> Markers() const
    {
        std::vector<std::string> found;
        for (const char* marker : MARKERS)
            if (Exists(marker))
                found.push_back(marker);
        return found;
    }

    bool Paged(int wnd, int param) const
    {
        return std::find(pages.begin(), pages.end(), std::make_pair(wnd, param)) != pages.end();
    }
};

struct RequestCase {
    const char* name;
    int request; // the INIT's param1 of the formatting screen
    bool viaDialog;
    bool sdCard;
    bool parking;
    RECORDING::VIDEO_SIZE::VALUE videoSize;
    std::vector<std::string> markers;
    const char* log;
};

void PrintTo(const RequestCase& c, std::ostream* os)
{
    *os << c.name;
}

class FormatRequestTest : public Format, public ::testing::WithParamInterface<RequestCase> {};

TEST_P(FormatRequestTest, SettlesSettingsAndLeavesMarkers)
{
    const RequestCase& c = GetParam();
    if (c.sdCard)
        InsertCard(BIG_CARD_MIB);
    else
        UseEmmc();
    PendChanges();

    testing::internal::CaptureStdout();
    if (c.viaDialog) {
        Open(WND::MENU_FORMAT, c.request | WND::MEMORY);
        Select(STR::OK);
    } else {
        Open(WND::FORMATTING, c.request);
    }
    std::string out = testing::internal::GetCapturedStdout();

    EXPECT_EQ(dvr->CurrentWindow(), WND::FORMATTING);
    if (c.viaDialog) {
        EXPECT_TRUE(Paged(WND::FORMATTING, c.request));
    }
    EXPECT_EQ(Markers(), c.markers);
    EXPECT_NE(out.find(c.log), std::string::npos) << out;
    EXPECT_NE(out.find("[CFormatting]OnSuccess"), std::string::npos);
    long long progress = Remaining(WND::FORMATTING, TIMER::CLOSE_PAGE);
    EXPECT_GT(progress, 0);
    EXPECT_LE(progress, 10000);
    EXPECT_TRUE(Singleton<vk::LED>::Inst()->State() & vk::LED::FORMAT);
    EXPECT_TRUE(Played("V_format_begins", 1));
    EXPECT_EQ(TextId(WND::FORMATTING, 1000), c.sdCard ? STR::FORMATTING_SD : STR::FORMATTING_INTERNAL_MEMORY);

    // What the restart will find: the settings were saved.
    Prefs()->Load();
    EXPECT_EQ(Prefs()->IsParkingModeOn(), c.parking);
    EXPECT_EQ(Prefs()->GetVideoSize(), c.videoSize);
    EXPECT_EQ(Prefs()->IsInternalStorageUsed(), !c.sdCard);
}

INSTANTIATE_TEST_SUITE_P(Requests, FormatRequestTest, ::testing::Values(
    RequestCase { "Temp", FormatRequest::USE_TEMP, true, true, false, RECORDING::VIDEO_SIZE::FHD,
                  { "/tmp/format", "/tmp/blk1", "/tmp/ffhd", "/tmp/rfhd", "/tmp/p30", "/tmp/k0" }, "[FORMAT]Use temp value" },
    RequestCase { "Default", FormatRequest::USE_DEFAULT, true, false, true, RECORDING::VIDEO_SIZE::WQHD,
                  { "/tmp/format", "/tmp/fwqhd", "/tmp/rfhd", "/tmp/p30", "/tmp/k30" }, "[FORMAT]Use default value" },
    RequestCase { "Current", FormatRequest::USE_CURRENT, true, true, true, RECORDING::VIDEO_SIZE::HD,
                  { "/tmp/format", "/tmp/blk1", "/tmp/fhd", "/tmp/rfhd", "/tmp/p30", "/tmp/k30" }, "[FORMAT]Use current setting" },
    RequestCase { "PhoneApp", PHONE_APP_REQUEST, false, false, true, RECORDING::VIDEO_SIZE::HD,
                  { "/tmp/format", "/tmp/fhd", "/tmp/rfhd", "/tmp/p30", "/tmp/k30" }, "[FORMAT]Use current setting" }),
    [](const ::testing::TestParamInfo<RequestCase>& info) { return std::string(info.param.name); });


TEST_F(Format, DialogShowsTheMediumItFormatsAndIsDrawn)
{
    InsertCard(BIG_CARD_MIB);
    testing::internal::CaptureStdout();
    Open(WND::MENU_FORMAT, FormatRequest::USE_CURRENT | WND::MEMORY);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("[CMenuFormat]OnInit, _caller:2600, _format:0x00F30000"), std::string::npos);
    EXPECT_EQ(TextId(WND::MENU_FORMAT, 1000), STR::FORMAT_SD);
    EXPECT_EQ(TextId(WND::MENU_FORMAT, 1001), STR::SD_ALL_FILE_DELETE);
    EXPECT_EQ(TextId(WND::MENU_FORMAT, 1002), STR::RESTART_AFTER_FORMAT);
    EXPECT_EQ(Remaining(WND::MENU_FORMAT, TIMER::FORMAT_CHEKC_CARD), 1000);

    std::string dir = std::string(std::getenv("DASHREC_BINARY_DIR")) + "/screenshots/menus";
    Shell("mkdir -p " + dir);
    Key(PARAM1::KEY_DOWN); // from HOME to the return button
    Key(PARAM1::KEY_DOWN);
    Key(PARAM1::KEY_DOWN); // OK
    EXPECT_TRUE(host::SaveLcdPng(Singleton<vk::Resource>::Inst()->GetHandle(), (dir + "/format_dialog.png").c_str()));

    // The internal memory names itself instead.
    RemoveCard();
    UseEmmc();
    Open(WND::MENU_FORMAT, FormatRequest::USE_CURRENT | WND::MEMORY);
    EXPECT_EQ(TextId(WND::MENU_FORMAT, 1000), STR::FORMAT_INTERNAL_MEMORY);
    EXPECT_EQ(TextId(WND::MENU_FORMAT, 1001), STR::MEMROY_ALL_FILE_DELETE);
    EXPECT_TRUE(host::SaveLcdPng(Singleton<vk::Resource>::Inst()->GetHandle(), (dir + "/format_dialog_memory.png").c_str()));
}

TEST_F(Format, DialogRefusesASmallCardFollowsARemovedOneAndLeavesByItsItems)
{
    InsertCard(8192); // not more than 8192 MiB
    Open(WND::MENU_FORMAT, FormatRequest::USE_CURRENT | WND::MEMORY);
    Select(STR::OK);
    EXPECT_EQ(boxes, std::vector<int>({ STR::USE_16GB_OR_MORE }));
    EXPECT_EQ(dvr->CurrentWindow(), WND::MENU_FORMAT);
    EXPECT_FALSE(Exists("/tmp/format"));

    // Back from the box the dialog still carries its request.
    UseEmmc();
    Open(WND::MENU_FORMAT, WND::MESSAGE_BOX);
    Select(STR::OK);
    EXPECT_EQ(pages.back(), std::make_pair(int(WND::FORMATTING), int(FormatRequest::USE_CURRENT)));
    Prefs()->SetSdCardRecording();

    // A card that goes away closes the dialog to its caller within a tick.
    Open(WND::MENU_FORMAT, FormatRequest::USE_CURRENT | WND::MEMORY);
    Fire(WND::MENU_FORMAT, TIMER::FORMAT_CHEKC_CARD);
    EXPECT_EQ(Remaining(WND::MENU_FORMAT, TIMER::FORMAT_CHEKC_CARD), 1000);
    RemoveCard();
    size_t before = pages.size();
    Select(STR::OK); // no card: nothing
    EXPECT_EQ(pages.size(), before);
    Fire(WND::MENU_FORMAT, TIMER::FORMAT_CHEKC_CARD);
    EXPECT_EQ(pages.back(), std::make_pair(int(WND::MEMORY), int(WND::MENU_FORMAT)));

    Prefs()->SetInternalStorageRecording();
    Open(WND::MENU_FORMAT, FormatRequest::USE_CURRENT | WND::MEMORY);
    Select(STR::CANCEL);
    EXPECT_EQ(pages.back(), std::make_pair(int(WND::MEMORY), int(WND::MENU_FORMAT)));
    Open(WND::MENU_FORMAT, FormatRequest::USE_CURRENT | WND::MEMORY);
    Key(PARAM1::KEY_MENU);
    EXPECT_EQ(pages.back(), std::make_pair(int(WND::LIVEVIEW), int(WND::MENU_FORMAT)));
    Open(WND::MENU_FORMAT, FormatRequest::USE_CURRENT | WND::MEMORY);
    Select(STR::HOME);
    EXPECT_EQ(pages.back(), std::make_pair(int(WND::LIVEVIEW), int(WND::MENU_FORMAT)));

    // HOME with pending settings that need a format opens the dialog again with them.
    Prefs()->SetTempVideoSize(RECORDING::VIDEO_SIZE::HD);
    Select(STR::HOME);
    EXPECT_EQ(pages.back(), std::make_pair(int(WND::MENU_FORMAT), FormatRequest::TEMP_FROM_LIVEVIEW));
    EXPECT_EQ(dvr->CurrentWindow(), WND::MENU_FORMAT);
    Select(STR::CANCEL);
    EXPECT_EQ(pages.back(), std::make_pair(int(WND::LIVEVIEW), int(WND::MENU_FORMAT)));
}

TEST_F(Format, ForcedDialogFormatsTheMemoryWithCurrentSettingsAndArmsTheParkingShutdownOncePerRun)
{
    UseEmmc();
    dvr->SetParkingMode();
    Open(WND::FORCE_FORMAT, 0);
    EXPECT_EQ(TextId(WND::FORCE_FORMAT, 1000), STR::FORMAT_REQUIRED_FOR_RECORDING);
    EXPECT_EQ(TextId(WND::FORCE_FORMAT, 1001), STR::MEMROY_ALL_FILE_DELETE);
    Key(PARAM1::KEY_MENU); // no way out but formatting
    EXPECT_TRUE(pages.empty());

    Fire(WND::FORCE_FORMAT, TIMER::FORMAT_CHEKC_CARD);
    EXPECT_EQ(Remaining(WND::FORCE_FORMAT, TIMER::NO_SDCARD_IN_PARKING_MODE), 60000);
    Fire(WND::FORCE_FORMAT, TIMER::NO_SDCARD_IN_PARKING_MODE);
    EXPECT_EQ(std::count_if(seen.begin(), seen.end(), Is(WND::CMAIN_DVR, WM::SHUTDOWN, 0)), 1);
    // A second showing in the same run arms nothing.
    Open(WND::FORCE_FORMAT, 0);
    Fire(WND::FORCE_FORMAT, TIMER::FORMAT_CHEKC_CARD);
    EXPECT_EQ(Remaining(WND::FORCE_FORMAT, TIMER::NO_SDCARD_IN_PARKING_MODE), -1);

    Prefs()->SetParkingModeOn();
    Select(STR::OK_ENG);
    EXPECT_EQ(pages.back(), std::make_pair(int(WND::FORMATTING), int(FormatRequest::USE_CURRENT)));
    EXPECT_EQ(Markers(), std::vector<std::string>({ "/tmp/format", "/tmp/fwqhd", "/tmp/rfhd", "/tmp/p30", "/tmp/k30" }));
}

TEST_F(Format, ForcedDialogClosesToTheLiveViewWhenTheCardGoes)
{
    InsertCard(BIG_CARD_MIB);
    Open(WND::FORCE_FORMAT, 0);
    RemoveCard();
    Fire(WND::FORCE_FORMAT, TIMER::FORMAT_CHEKC_CARD);
    EXPECT_EQ(pages.back(), std::make_pair(int(WND::LIVEVIEW), int(WND::FORCE_FORMAT)));
    EXPECT_EQ(Remaining(WND::FORCE_FORMAT, TIMER::NO_SDCARD_IN_PARKING_MODE), -1);
}

TEST_F(Format, ProgressDoneAndRestartLeadToTheExit)
{
    InsertCard(BIG_CARD_MIB);
    Prefs()->SetBootStatus(vk::SYSTEM::BOOT_MODE::MESSAGE_ONLY);
    Open(WND::FORMATTING, FormatRequest::USE_CURRENT);
    Key(PARAM1::KEY_MENU); // no key acts
    EXPECT_TRUE(pages.empty());
    Fire(WND::FORMATTING, TIMER::CLOSE_PAGE);
    EXPECT_EQ(dvr->CurrentWindow(), WND::FORMAT_SUCCESS);
    EXPECT_TRUE(Played("V_format_ends", 1));
    EXPECT_EQ(TextId(WND::FORMAT_SUCCESS, 1000), STR::SD_FORMAT_DONE);
    EXPECT_EQ(Remaining(WND::FORMAT_SUCCESS, TIMER::FORMAT_SUCCESS), 5000);
    Fire(WND::FORMAT_SUCCESS, TIMER::FORMAT_SUCCESS);
    EXPECT_EQ(dvr->CurrentWindow(), WND::RESTART);
    EXPECT_EQ(Remaining(WND::RESTART, TIMER::RESTART), 1000);
    Prefs()->Load();
    EXPECT_EQ(Prefs()->GetBootMode(), vk::SYSTEM::BOOT_MODE::MESSAGE_ONLY);

    int status = runmode::RunInChild([&] {
        ipc_msg_t timer = runmode::Message(WND::RESTART, WM::TIMER, TIMER::RESTART);
        dvr->OnDefault(timer);
    });
    EXPECT_EQ(status, 0);
    EXPECT_NE(ReadFile("/tmp/child.log").find("[Restart]====================== RESTART"), std::string::npos);
}

// Markers of an earlier request go first; a marker that cannot be made fails
// the request as a whole: no half request is left for the launcher, the
// screen says so and the done screen is skipped.
TEST_F(Format, StaleMarkersGoFirstAndAMarkerThatCannotBeMadeShowsTheFailure)
{
    UseEmmc();
    Prefs()->SetVideoSize(RECORDING::VIDEO_SIZE::WQHD);
    Prefs()->SetParkingModeOn();
    ASSERT_EQ(Shell("touch /tmp/blk1 /tmp/ffhd /tmp/k0 /tmp/pr"), 0);
    Open(WND::FORMATTING, FormatRequest::USE_CURRENT);
    EXPECT_EQ(Markers(), std::vector<std::string>({ "/tmp/format", "/tmp/fwqhd", "/tmp/rfhd", "/tmp/p30", "/tmp/k30" }));
    EXPECT_TRUE(Exists("/tmp/pr")) << "not a format marker";
    Fire(WND::FORMATTING, TIMER::CLOSE_PAGE);
    EXPECT_EQ(dvr->CurrentWindow(), WND::FORMAT_SUCCESS);

    ASSERT_EQ(Shell("rm -f /tmp/p30 && mkdir /tmp/p30"), 0); // where the frame-rate marker goes
    Prefs()->SetLanguage(vk::SYSTEM::LANGUAGE::ENGLISH);
    testing::internal::CaptureStdout();
    Open(WND::FORMATTING, FormatRequest::USE_CURRENT);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("[CFormatting]/tmp/p30 can not be written"), std::string::npos) << out;
    EXPECT_EQ(TextId(WND::FORMATTING, 1000), STR::SD_FORMAT_FAILURE);
    for (const char* marker : { "/tmp/format", "/tmp/fwqhd", "/tmp/rfhd", "/tmp/k30" })
        EXPECT_FALSE(Exists(marker)) << marker;
    std::string dir = std::string(std::getenv("DASHREC_BINARY_DIR")) + "/screenshots/menus";
    Shell("mkdir -p " + dir);
    EXPECT_TRUE(host::SaveLcdPng(Singleton<vk::Resource>::Inst()->GetHandle(), (dir + "/formatting_failed.png").c_str()));
    Fire(WND::FORMATTING, TIMER::CLOSE_PAGE);
    EXPECT_EQ(dvr->CurrentWindow(), WND::RESTART);
}

TEST_F(Format, AMessageForAnotherWindowIsRefused)
{
    UseEmmc();
    vk::CMenuFormat dialog(WND::MENU_FORMAT);
    ipc_msg_t stray = runmode::Message(WND::MEMORY, WM::BUTTON, PARAM1::KEY_MENU);
    testing::internal::CaptureStdout();
    dialog.OnMessage(stray);
    Settle();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("[CMenuFormat]A message from WND:2600. REGECTEDn"), std::string::npos) << out;
    EXPECT_TRUE(pages.empty());
}

} // namespace
} // namespace menutest
