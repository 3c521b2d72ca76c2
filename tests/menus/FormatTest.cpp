// Formatting the recording medium: the dialogs, the progress screen with each
// request, the markers and preferences it leaves for the launcher, the done
// and restart screens.

#include "dashrec/core/Pref.h"
#include "dashrec/devices/LED.h"
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

} // namespace
} // namespace menutest
