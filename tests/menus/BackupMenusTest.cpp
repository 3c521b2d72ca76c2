// The backup menus that start a copy to the SD card: the first one waiting
// for the file lists, which list each item asks for, and where a missing,
// blank or FAT card leads.

#include "MenuWindows.h"

#include "dashrec/core/Pref.h"
#include "dashrec/dvr/FileLists.h"
#include "dashrec/menus/CBackupFile.h"
#include "dashrec/menus/CCopyMenu.h"
#include "dashrec/menus/CopyList.h"

namespace {

using namespace menutest;
using vk::CopyList;
namespace LISTTYPE = vk::LISTTYPE;

class BackupMenus : public MenuWindows {
protected:
    void SetUp() override
    {
        MenuWindows::SetUp();
        Use<vk::CRecent>(WND::COPY_RECENT);
        Use<vk::CFolder>(WND::COPY_FOLDER);
        pref = vk::Singleton<vk::Pref>::Inst();
        pref->SetInternalStorageRecording();
        pref->SetParkingModeOff();
        pref->SetTempParkingMode(vk::PARKING::MODE::OFF);
    }

    // A backup card: blank, or with one FAT32 partition entry written through
    // the card's own device, so that no stale cache of the device hides it.
    void InsertCard(bool fat)
    {
        ASSERT_EQ(Shell(CardTool() + " make /tmp/sd.img 600 && " + CardTool() + " attach sd /tmp/sd.img"), 0);
        if (fat) {
            ASSERT_EQ(Shell("python3 -c \"f=open('/dev/mmcblk1','r+b'); f.seek(450); f.write(bytes([0x0C])); "
                            "f.seek(454); f.write((2048).to_bytes(4,'little')+(1226752).to_bytes(4,'little')); "
                            "f.seek(510); f.write(bytes([0x55,0xAA]))\""),
                0);
        }
    }

    // Recordings the file lists find: names only, no card needed.
    void Record(const std::string& folder, int moments)
    {
        for (int i = 0; i < moments; ++i)
            for (const char* camera : { "F", "R" })
                ASSERT_EQ(Shell("mkdir -p /mnt/extsd/" + folder + " && touch /mnt/extsd/" + folder + "/NORM251210-12000"
                              + std::to_string(i) + camera + ".MP4"),
                    0);
        vk::Singleton<vk::FileLists>::Inst()->SetReload();
        vk::Singleton<vk::FileLists>::Inst()->Open();
    }

    vk::Pref* pref = nullptr;
};

TEST_F(BackupMenus, TheFirstMenuWaitsForTheListsThenOpensACopyMenuOnlyWithACardToCopyTo)
{
    Use<vk::CBackupFile>(WND::BACKUP_FILE);
    auto shown = [](int id) { return vk::Resource::Inst()->GetStateComponent(WND::BACKUP_FILE, id)->IsShown(); };
    vk::Singleton<vk::FileLists>::Inst()->SetReload();
    Open(WND::BACKUP_FILE, WND::MAINMENU);
    EXPECT_FALSE(shown(5)) << "the USB format item";
    seen.clear();
    Press(PARAM1::KEY_MENU);
    ASSERT_TRUE(PumpUntil(Is(WND::BACKUP_FILE, WM::UPDATE), 5000));
    EXPECT_EQ(ClosedTo(WND::BACKUP_FILE).first, 0) << "keys wait for the lists";
    for (int id = 2000; id <= 2008; id++)
        EXPECT_FALSE(shown(id)) << "clock frame " << id;

    seen.clear();
    Choose(2);
    EXPECT_EQ(ClosedTo(WND::BACKUP_FILE), std::make_pair(int(WND::MESSAGE_BOX), int(WND::MAINMENU))) << "no card";

    InsertCard(true);
    const struct {
        int button;
        WND::ID menu;
    } items[] = {
        { 2, WND::COPY_RECENT },
        { 3, WND::COPY_FOLDER },
        { 4, WND::SELECT_FILE },
    };
    for (const auto& item : items) {
        Open(WND::BACKUP_FILE, WND::MAINMENU);
        seen.clear();
        Choose(item.button);
        EXPECT_EQ(ClosedTo(WND::BACKUP_FILE), std::make_pair(int(item.menu), int(WND::BACKUP_FILE)));
    }
    Open(WND::BACKUP_FILE, WND::MAINMENU);
    Screenshot("backup_file");
    seen.clear();
    Press(PARAM1::KEY_MENU);
    ASSERT_TRUE(PumpUntil(Is(WND::BACKUP_FILE, WM::CLOSE), 1000));
    EXPECT_EQ(ClosedTo(WND::BACKUP_FILE), std::make_pair(int(WND::PREVIOUS_MENU), int(WND::BACKUP_FILE)));
}

TEST_F(BackupMenus, EachRecentItemAsksForItsListOnAFatCard)
{
    InsertCard(true);
    const struct {
        int button;
        LISTTYPE::VALUE kind;
    } items[] = {
        { 2, LISTTYPE::LAST_5_MINUTES_LIST },
        { 3, LISTTYPE::LAST_15_MINUTES_LIST },
        { 4, LISTTYPE::LAST_30_MINUTES_LIST },
        { 5, LISTTYPE::SD_CAPACITY_LIST },
    };
    for (const auto& item : items) {
        CopyList::Inst()->SetListType(LISTTYPE::PLAYBACK_FILE_LIST);
        CopyList::Inst()->SetListMedia(vk::LISTMEDIA::USB);
        Open(WND::COPY_RECENT, WND::BACKUP_FILE);
        seen.clear();
        Choose(item.button);
        EXPECT_EQ(ClosedTo(WND::COPY_RECENT), std::make_pair(int(WND::COPY_PROCEDURE), int(WND::COPY_RECENT)));
        EXPECT_EQ(CopyList::Inst()->GetListType(), item.kind);
        EXPECT_EQ(CopyList::Inst()->GetListMedia(), vk::LISTMEDIA::SDCARD);
    }
    Open(WND::COPY_RECENT, WND::BACKUP_FILE);
    Screenshot("copy_recent");
}

TEST_F(BackupMenus, WithoutABackupCardTheBoxAndWithABlankOneTheFormatFirst)
{
    Open(WND::COPY_RECENT, WND::BACKUP_FILE);
    seen.clear();
    Choose(2);
    EXPECT_EQ(ClosedTo(WND::COPY_RECENT), std::make_pair(int(WND::MESSAGE_BOX), int(WND::MAINMENU))) << "no card";

    InsertCard(false);
    pref->SetSdCardRecording();
    Open(WND::COPY_RECENT, WND::BACKUP_FILE);
    seen.clear();
    Choose(2);
    EXPECT_EQ(ClosedTo(WND::COPY_RECENT), std::make_pair(int(WND::MESSAGE_BOX), int(WND::MAINMENU)))
        << "the card records: nothing to back up to";

    pref->SetInternalStorageRecording();
    Open(WND::COPY_RECENT, WND::BACKUP_FILE);
    seen.clear();
    Choose(2);
    EXPECT_EQ(ClosedTo(WND::COPY_RECENT), std::make_pair(int(WND::SD_FORMAT_DIALOG), int(WND::COPY_RECENT)));
}

TEST_F(BackupMenus, FoldersShowTheirCountsAndAnEmptyOneIsNotCopied)
{
    InsertCard(true);
    Record("NORMAL", 2);
    Open(WND::COPY_FOLDER, WND::BACKUP_FILE);
    auto sub = [](int i) {
        return std::string(static_cast<obj_text*>(
            vk::Resource::Inst()->GetStateComponent(WND::COPY_FOLDER, vk::MessageHandler::TXTSUB_OFFSET + i))
                               ->text_ptr);
    };
    EXPECT_EQ(sub(2), "4");
    EXPECT_EQ(sub(3), "0");
    EXPECT_FALSE(vk::Resource::Inst()->GetStateComponent(WND::COPY_FOLDER, 5)->IsShown()) << "parking mode is off";
    Screenshot("copy_folder");

    seen.clear();
    const SDL_Rect& event = vk::Resource::Inst()->GetStateComponent(WND::COPY_FOLDER, 3)->area;
    vk::UIQueue::Inst()->SendMessage(
        WND::COPY_FOLDER, WM::BUTTON, PARAM1::TOUCH, (event.x + 10) << 12 | (event.y + 10), nullptr);
    PumpFor(300);
    EXPECT_EQ(ClosedTo(WND::COPY_FOLDER).first, 0) << "the event folder is empty";

    Open(WND::COPY_FOLDER, WND::BACKUP_FILE);
    seen.clear();
    Choose(2);
    EXPECT_EQ(ClosedTo(WND::COPY_FOLDER), std::make_pair(int(WND::COPY_PROCEDURE), int(WND::COPY_FOLDER)));
    EXPECT_EQ(CopyList::Inst()->GetListType(), LISTTYPE::NORMAL_RECORD_LIST);

    pref->SetParkingModeOn();
    Open(WND::COPY_FOLDER, WND::BACKUP_FILE);
    EXPECT_TRUE(vk::Resource::Inst()->GetStateComponent(WND::COPY_FOLDER, 5)->IsShown());
}

} // namespace
