// The recording medium's choice in the memory menu and its confirmation, and
// the warnings about an SD card that cannot be written or is worn out.

#include "dashrec/core/Pref.h"
#include "dashrec/devices/LED.h"
#include "dashrec/menus/FormatRequest.h"
#include "tests/menus/MenuBus.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace menutest {
namespace {

using vk::Pref;
using vk::Singleton;
namespace STR = vk::STR;
namespace STORAGE = vk::RECORDING::STORAGE;
namespace FormatRequest = vk::FormatRequest;

const int BIG_CARD_MIB = 8300;

Pref* Prefs()
{
    return Singleton<Pref>::Inst();
}

std::pair<int, int> Page(int wnd, int param)
{
    return { wnd, param };
}

class Memory : public MenuBus {
protected:
    bool ButtonFocused(int index)
    {
        return Object(WND::MEMORY, index)->IsFocused();
    }
};

TEST_F(Memory, MenuShowsTheMediumInUseAndHandsAChangedChoiceToTheConfirmation)
{
    UseEmmc();
    Open(WND::MEMORY, WND::MAINMENU);
    EXPECT_FALSE(ButtonFocused(2));
    EXPECT_FALSE(ButtonFocused(3));
    EXPECT_TRUE(Object(WND::MEMORY, 4)->IsShown());

    // No card, then one of 8192 MiB: the choice stays.
    Select(STR::CHANGE_DEVICE);
    InsertCard(8192);
    Select(STR::CHANGE_DEVICE);
    EXPECT_EQ(boxes, std::vector<int>({ STR::NO_SD_CARD, STR::USE_16GB_OR_MORE }));
    EXPECT_EQ(Prefs()->GetTempStorage(), STORAGE::INTERNAL);

    RemoveCard();
    InsertCard(BIG_CARD_MIB);
    pages.clear();
    Select(STR::CHANGE_DEVICE);
    EXPECT_EQ(Prefs()->GetTempStorage(), STORAGE::SDCARD);
    EXPECT_EQ(Remaining(WND::MEMORY, TIMER::WAITING_FOR_RENDER), 500);
    // Keys are dead until the new choice has been drawn.
    Select(STR::STORAGE_FORMAT);
    EXPECT_TRUE(pages.empty());
    Fire(WND::MEMORY, TIMER::WAITING_FOR_RENDER);
    EXPECT_EQ(pages.back(), Page(WND::CHANGE_STORAGE, WND::MEMORY));
    EXPECT_EQ(dvr->CurrentWindow(), WND::CHANGE_STORAGE);

    // Back out: the pending choice returns to the medium in use.
    Key(PARAM1::KEY_MENU);
    EXPECT_EQ(pages.back(), Page(WND::MEMORY, WND::CHANGE_STORAGE));
    EXPECT_EQ(Prefs()->GetTempStorage(), STORAGE::INTERNAL);

    Select(STR::STORAGE_FORMAT);
    EXPECT_EQ(pages.back(), Page(WND::MENU_FORMAT, FormatRequest::USE_CURRENT | WND::MEMORY));
}

TEST_F(Memory, WithTheCardRecordingBothMediumButtonsTakeTheFocusLookAndTheCardFormatIsHidden)
{
    InsertCard(BIG_CARD_MIB);
    Open(WND::MEMORY, WND::MAINMENU);
    EXPECT_TRUE(ButtonFocused(2));
    EXPECT_TRUE(ButtonFocused(3));
    EXPECT_FALSE(Object(WND::MEMORY, 4)->IsShown());
}

TEST_F(Memory, ConfirmingAMediumWithoutLayoutFormatsItFirst)
{
    UseEmmc();
    InsertCard(BIG_CARD_MIB);
    Prefs()->SetTempStorage(STORAGE::SDCARD);
    Open(WND::CHANGE_STORAGE, WND::MEMORY);
    Select(STR::OK);
    EXPECT_FALSE(Prefs()->IsInternalStorageUsed());
    EXPECT_EQ(pages.back(), Page(WND::FORMATTING, FormatRequest::USE_CURRENT));
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(Exists("/tmp/blk1"));
}

TEST_F(Memory, ConfirmingALaidOutMediumSavesItAndRestarts)
{
    UseEmmc(true);
    Prefs()->SetSdCardRecording();
    Prefs()->SetTempStorage(STORAGE::INTERNAL);
    Open(WND::CHANGE_STORAGE, WND::MEMORY);
    Select(STR::OK);
    EXPECT_EQ(boxes, std::vector<int>({ STR::RESTART_AFTER_CHANGE }));
    EXPECT_EQ(pages.back(), Page(WND::MESSAGE_BOX, WND::RESTART));
    Prefs()->Load();
    EXPECT_TRUE(Prefs()->IsInternalStorageUsed());
}

TEST_F(Memory, CancelRestoresTheChoiceAndACardThatIsGoneIsReported)
{
    UseEmmc();
    Prefs()->SetTempStorage(STORAGE::SDCARD);
    Open(WND::CHANGE_STORAGE, WND::MEMORY);
    Select(STR::OK);
    EXPECT_EQ(boxes, std::vector<int>({ STR::NO_SD_CARD }));
    EXPECT_TRUE(Prefs()->IsInternalStorageUsed());
    Select(STR::CANCEL);
    EXPECT_EQ(Prefs()->GetTempStorage(), STORAGE::INTERNAL);
    EXPECT_EQ(pages.back(), Page(WND::MEMORY, WND::CHANGE_STORAGE));
}

TEST_F(Memory, WriteErrorAsksForANewCardEveryTenSecondsUntilItIsRemoved)
{
    InsertCard(BIG_CARD_MIB);
    Open(WND::SD_WRITE_ERROR, 0);
    EXPECT_TRUE(Singleton<vk::LED>::Inst()->State() & vk::LED::ERROR);
    for (int tick = 0; tick < 11; ++tick)
        Fire(WND::SD_WRITE_ERROR, TIMER::FORMAT_CHEKC_CARD);
    EXPECT_TRUE(Played("V_change_sd_card", 2)); // ticks 0 and 10
    EXPECT_EQ(Remaining(WND::SD_WRITE_ERROR, TIMER::FORMAT_CHEKC_CARD), 1000);
    EXPECT_TRUE(pages.empty());

    RemoveCard();
    Fire(WND::SD_WRITE_ERROR, TIMER::FORMAT_CHEKC_CARD);
    EXPECT_EQ(pages.back(), Page(WND::LIVEVIEW, 0));
    EXPECT_EQ(Remaining(WND::SD_WRITE_ERROR, TIMER::FORMAT_CHEKC_CARD), -1);
}

TEST_F(Memory, WriteErrorPowersOffInParkingModeAndOkFormats)
{
    InsertCard(BIG_CARD_MIB);
    dvr->SetParkingMode();
    Open(WND::SD_WRITE_ERROR, 0);
    // A timer of another window is not this warning's tick.
    Post(WND::LIVEVIEW, WM::TIMER, TIMER::FORMAT_CHEKC_CARD);
    Fire(WND::SD_WRITE_ERROR, TIMER::FORMAT_CHEKC_CARD);
    EXPECT_EQ(std::count_if(seen.begin(), seen.end(), Is(WND::CMAIN_DVR, WM::SHUTDOWN)), 1);
    Key(PARAM1::KEY_OK);
    EXPECT_EQ(pages.back(), Page(WND::FORMATTING, FormatRequest::USE_CURRENT));
}

TEST_F(Memory, StoragePageSwitchesThePendingMediumWithTheMenusChecks)
{
    UseEmmc();
    Open(WND::STORAGE, WND::MEMORY);
    EXPECT_EQ(TextId(WND::STORAGE, 11), STR::INTERNAL_MEMORY);
    Select(STR::LEFT);
    EXPECT_EQ(boxes, std::vector<int>({ STR::NO_SD_CARD }));

    InsertCard(BIG_CARD_MIB);
    pages.clear();
    Select(STR::RIGHT);
    EXPECT_EQ(Prefs()->GetTempStorage(), STORAGE::SDCARD);
    EXPECT_EQ(TextId(WND::STORAGE, 11), STR::SD_CARD);
    Select(STR::LEFT);
    EXPECT_EQ(Prefs()->GetTempStorage(), STORAGE::SDCARD) << "keys are dead until the choice is drawn";
    Fire(WND::STORAGE, TIMER::WAITING_FOR_RENDER);
    EXPECT_EQ(pages.back(), Page(WND::CHANGE_STORAGE, WND::STORAGE));
}

TEST_F(Memory, BootingCountPageCountsThisStartAndOkResetsTheCount)
{
    Prefs()->ResetBootingCount();
    Prefs()->IncreaseBootingCount();
    Prefs()->IncreaseBootingCount();
    Open(WND::BOOTING_COUNT_TEST, 0);
    auto text = [this](int id) {
        return std::string(static_cast<obj_text*>(Object(WND::BOOTING_COUNT_TEST, id))->text_ptr);
    };
    EXPECT_NE(text(1000).find(" (v1.1.4-"), std::string::npos) << text(1000);
    EXPECT_EQ(text(1001), "Booting Count = 2");
    Prefs()->Load();
    EXPECT_EQ(Prefs()->GetBootingCount(), 3) << "this start, saved";
    for (int tick = 0; tick < 10; ++tick)
        Fire(WND::BOOTING_COUNT_TEST, TIMER::FORMAT_CHEKC_CARD);
    EXPECT_TRUE(pages.empty());
    Fire(WND::BOOTING_COUNT_TEST, TIMER::FORMAT_CHEKC_CARD);
    EXPECT_EQ(pages.back(), Page(WND::LIVEVIEW, 0));

    Open(WND::BOOTING_COUNT_TEST, 0);
    Select(STR::OK);
    EXPECT_EQ(pages.back(), Page(WND::LIVEVIEW, 0));
    Prefs()->Load();
    EXPECT_EQ(Prefs()->GetBootingCount(), 0);
}

TEST_F(Memory, ReplacementWarningEndsAfterElevenTicksOrOnOk)
{
    InsertCard(BIG_CARD_MIB);
    Open(WND::SD_EXCHANGE, 0);
    for (int tick = 0; tick < 10; ++tick)
        Fire(WND::SD_EXCHANGE, TIMER::FORMAT_CHEKC_CARD);
    EXPECT_TRUE(pages.empty());
    Fire(WND::SD_EXCHANGE, TIMER::FORMAT_CHEKC_CARD);
    EXPECT_EQ(pages.back(), Page(WND::LIVEVIEW, 0));
    EXPECT_TRUE(Played("V_change_sd_card", 2));

    pages.clear();
    Open(WND::SD_EXCHANGE, 0);
    Select(STR::OK_ENG);
    EXPECT_EQ(pages.back(), Page(WND::LIVEVIEW, 0));
}

} // namespace
} // namespace menutest
