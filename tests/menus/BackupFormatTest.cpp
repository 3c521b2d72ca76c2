// The backup media's format windows: the question per caller, where each key
// leads, and the format itself on a loop-device SD card judged by fsck.fat.

#include "MenuWindows.h"

#include "dashrec/core/Pref.h"
#include "dashrec/menus/CFormatDialog.h"
#include "dashrec/menus/CFormatProcedure.h"

namespace {

using namespace menutest;

class BackupFormat : public MenuWindows {
protected:
    void SetUp() override
    {
        MenuWindows::SetUp();
        Use<vk::CSDFormat>(WND::SD_FORMAT_DIALOG);
        Use<vk::CUSBFormat>(WND::USB_FORMAT_DIALOG);
        Use<vk::CFormatProcedure>(WND::SD_FORMAT_PROCEDURE);
        Use<vk::CUSBFormatProcedure>(WND::USB_FORMAT_PROCEDURE);
    }

    void Insert(const char* medium, const char* image)
    {
        ASSERT_EQ(Shell(CardTool() + " make " + image + " 600"), 0);
        ASSERT_EQ(Shell(CardTool() + " attach " + medium + " " + image), 0);
    }
};

TEST_F(BackupFormat, TheQuestionDependsOnWhoAsks)
{
    const struct {
        WND::ID dialog;
        WND::ID caller;
        int lines[3];
    } cases[] = {
        { WND::SD_FORMAT_DIALOG, WND::MEMORY, { STR::FORMAT_SD_TO_FAT32, STR::MEMROY_ALL_FILE_DELETE, STR::FORMAT_SD_CARD } },
        { WND::SD_FORMAT_DIALOG, WND::COPY_RECENT, { STR::SD_COPY_AFTER_FORMAT, STR::SD_ALL_FILE_DELETE, STR::PROCEED_TO_COPY } },
        { WND::USB_FORMAT_DIALOG, WND::BACKUP_FILE,
            { STR::USB_COPY_AFTER_FORMAT, STR::USB_ALL_FILE_DELETE, STR::PROCEED_TO_COPY_TO_USB } },
    };
    for (const auto& c : cases) {
        Open(c.dialog, c.caller);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(TextId(c.dialog, 1000 + i), c.lines[i]) << c.dialog << " from " << c.caller;
    }
    Screenshot("usb_format_dialog");
}

// Buttons in order: HOME, MENU_RETURN, CANCEL, OK.
TEST_F(BackupFormat, EachButtonOfTheDialogsLeadsWhereItSays)
{
    Insert("sd", "/tmp/sd.img");
    // Where OK leads is what counts here, not a format.
    for (WND::ID procedure : { WND::SD_FORMAT_PROCEDURE, WND::USB_FORMAT_PROCEDURE })
        dvr->RegisterHandler(procedure, std::make_shared<Listener>(procedure));
    const struct {
        WND::ID dialog;
        int button;
        bool formatNeeded;
        std::pair<int, int> closedTo;
    } cases[] = {
        { WND::SD_FORMAT_DIALOG, 3, false, { WND::SD_FORMAT_PROCEDURE, WND::COPY_FOLDER } },
        { WND::SD_FORMAT_DIALOG, 2, false, { WND::COPY_FOLDER, WND::SD_FORMAT_DIALOG } },
        { WND::SD_FORMAT_DIALOG, 1, false, { WND::PREVIOUS_MENU, WND::SD_FORMAT_DIALOG } },
        { WND::SD_FORMAT_DIALOG, 0, false, { WND::LIVEVIEW, WND::SD_FORMAT_DIALOG } },
        { WND::SD_FORMAT_DIALOG, 0, true, { WND::MENU_FORMAT, 0xF103E9 } },
        { WND::USB_FORMAT_DIALOG, 0, true, { WND::LIVEVIEW, WND::USB_FORMAT_DIALOG } },
        { WND::USB_FORMAT_DIALOG, 2, false, { WND::COPY_FOLDER, WND::USB_FORMAT_DIALOG } },
        // No stick: the box over the main menu.
        { WND::USB_FORMAT_DIALOG, 3, false, { WND::MESSAGE_BOX, WND::MAINMENU } },
    };
    vk::Pref* pref = vk::Singleton<vk::Pref>::Inst();
    // The settings need a format when the parking mode differs from the one the medium was laid out for.
    pref->SetTempParkingMode(vk::PARKING::MODE::OFF);
    for (const auto& c : cases) {
        if (c.formatNeeded)
            pref->SetParkingModeOn();
        else
            pref->SetParkingModeOff();
        dvr->SetPage(WND::COPY_FOLDER, 0);
        Open(c.dialog, WND::COPY_FOLDER);
        seen.clear();
        Choose(c.button);
        EXPECT_EQ(ClosedTo(c.dialog), c.closedTo) << c.dialog << " button " << c.button;
    }
}

TEST_F(BackupFormat, OkWithoutTheCardShowsTheBoxOverTheMainMenu)
{
    Open(WND::SD_FORMAT_DIALOG, WND::MEMORY);
    seen.clear();
    Choose(3);
    EXPECT_EQ(ClosedTo(WND::SD_FORMAT_DIALOG), std::make_pair(int(WND::MESSAGE_BOX), int(WND::MAINMENU)));
}

// A failed format shows its text and returns to whoever opened the dialog.
TEST_F(BackupFormat, AFailedFormatReturnsToTheCaller)
{
    const struct {
        WND::ID procedure;
        WND::ID caller;
        int failure;
    } cases[] = {
        { WND::SD_FORMAT_PROCEDURE, WND::MEMORY, STR::SD_FORMAT_FAILURE },
        { WND::SD_FORMAT_PROCEDURE, WND::COPY_RECENT, STR::SD_FORMAT_FAILURE },
        { WND::USB_FORMAT_PROCEDURE, WND::BACKUP_FILE, STR::USB_FORMAT_FAILURE },
    };
    for (const auto& c : cases) {
        seen.clear();
        Open(c.procedure, c.caller);
        ASSERT_TRUE(PumpUntil(Is(c.procedure, WM::SD_FORMAT_FAILURE), 5000)) << "no medium: the layout tool fails";
        EXPECT_EQ(TextId(c.procedure, 1000), c.failure);
        ASSERT_TRUE(PumpUntil(Is(c.caller, WM::INIT), 5000));
        EXPECT_EQ(ClosedTo(c.procedure), std::make_pair(int(c.caller), int(c.procedure)));
    }
}

TEST_F(BackupFormat, AFormatForACopyFormatsTheCardAndHandsOverToTheCopy)
{
    Insert("sd", "/tmp/sd.img");
    Open(WND::SD_FORMAT_PROCEDURE, WND::COPY_RECENT);
    EXPECT_EQ(TextId(WND::SD_FORMAT_PROCEDURE, 1000), STR::FORMATTING_SD);
    ASSERT_TRUE(PumpUntil(Is(WND::SD_FORMAT_PROCEDURE, WM::SD_FORMAT_BEGINS), 5000));
    Screenshot("sd_formatting");
    for (int key : { PARAM1::KEY_OK, PARAM1::KEY_MENU, PARAM1::KEY_DOWN })
        Press(key);
    PumpFor(100);
    EXPECT_EQ(ClosedTo(WND::SD_FORMAT_PROCEDURE).first, 0) << "keys do nothing while the card is formatted";

    ASSERT_TRUE(PumpUntil(Is(WND::SD_FORMAT_PROCEDURE, WM::SD_FORMAT_ENDS), 60000));
    EXPECT_EQ(TextId(WND::SD_FORMAT_PROCEDURE, 1000), STR::SD_FORMAT_DONE);
    ASSERT_TRUE(PumpUntil(Is(WND::COPY_PROCEDURE, WM::INIT), 5000));
    EXPECT_EQ(ClosedTo(WND::SD_FORMAT_PROCEDURE), std::make_pair(int(WND::COPY_PROCEDURE), int(WND::COPY_RECENT)));
    EXPECT_EQ(seen.back().param1, WND::COPY_RECENT) << "the copy's caller is the backup window";
    EXPECT_EQ(Shell("fsck.fat -n /dev/mmcblk1p1 > /tmp/fsck.txt 2>&1"), 0) << ReadFile("/tmp/fsck.txt");
    EXPECT_EQ(Shell("MTOOLS_SKIP_CHECK=1 mlabel -s -i /dev/mmcblk1p1 | grep -q BACKUP"), 0);
}

} // namespace
