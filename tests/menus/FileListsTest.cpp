// The recording file lists over a card laid out by cardform, with recordings
// placed by renaming pre-allocated files as the loop recorder does: what is
// listed and in which order, paging, front/rear pairs, the file to play, and
// selecting pairs for a copy against the target's room.

#include "CardRecordings.h"

#include "dashrec/core/Pref.h"
#include "dashrec/dvr/FileLists.h"
#include "dashrec/menus/CopyFile.h"
#include "dashrec/menus/CopyList.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <vector>

using vk::FileLists;
using vk::Playfile;

namespace {

// Newest first as listed: the newest moment has only its rear file, the
// oldest only its front file.
const std::vector<std::string> NORMAL_LISTED = {
    "NORM261210-100600R.MP4",                           // page 1
    "NORM261210-100500F.MP4", "NORM261210-100500R.MP4", //
    "NORM261210-100400F.MP4", "NORM261210-100400R.MP4", //
    "NORM261210-100300F.MP4", "NORM261210-100300R.MP4", // page 2
    "NORM261210-100200F.MP4", "NORM261210-100200R.MP4", //
    "NORM261210-100100F.MP4", "NORM261210-100100R.MP4", // page 3
    "NORM261210-100000F.MP4",
};

// Names in NORMAL that are no recording of the folder.
const std::vector<std::string> NORMAL_NOT_LISTED = {
    "NORM261210-10070F.MP4",   // 21 characters
    "NORM261210-1007000F.MP4", // 23 characters
    "EVEN261210-100700F.MP4",  // another folder's prefix
    "NORM261210-100700X.MP4",  // no camera
    "NORM261210-100700F.TMP",
};

int SizeMib(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_size >> 20) : -1;
}

std::vector<std::string> PageNames(Playfile& list)
{
    std::vector<std::string> names;
    char name[32];
    for (int button = 0; button < Playfile::FILES_IN_PAGE && list.GetFileName(button, name); button++)
        names.push_back(name);
    return names;
}

std::string Pair(Playfile& list, int button)
{
    char name[32] = "unset";
    bool found = list.GetPairFileName(button, name);
    EXPECT_EQ(found, name[0] != '\0');
    return name;
}

class FileListsOnCard : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(card::LayOut());
        vk::Pref::Inst()->SetSdCardRecording();
        std::vector<std::string> normal = NORMAL_LISTED;
        normal.insert(normal.end(), NORMAL_NOT_LISTED.begin(), NORMAL_NOT_LISTED.end());
        ASSERT_TRUE(card::Place("NORMAL", normal));
        ASSERT_TRUE(card::Place("MANUAL", {"MANU261210-090000R.MP4", "MANU261210-090000F.MP4"}));
        lists = FileLists::Inst();
        lists->SetReload();
        lists->Open();
        normalList = &lists->GetList("NORMAL");
    }

    FileLists* lists = nullptr;
    Playfile* normalList = nullptr;
};

TEST_F(FileListsOnCard, ListsTheFolderNewestFirstFrontBeforeRearFiveToAPage)
{
    EXPECT_EQ(lists->GetSize("NORMAL"), NORMAL_LISTED.size());
    EXPECT_EQ(lists->GetSize("EVENT"), 0u) << "free files only";
    EXPECT_EQ(lists->GetSize("PARKING"), 0u);
    ASSERT_EQ(lists->GetSize("MANUAL"), 2u);
    EXPECT_EQ(PageNames(lists->GetList("MANUAL")),
              (std::vector<std::string>{"MANU261210-090000F.MP4", "MANU261210-090000R.MP4"}));

    normalList->SelectOrder(Playfile::ASCENDING);
    std::vector<std::string> listed;
    int current = 0;
    int last = 0;
    for (int page = 1; page <= 3; page++) {
        normalList->GetPage(current, last);
        EXPECT_EQ(current, page);
        EXPECT_EQ(last, 3);
        std::vector<std::string> names = PageNames(*normalList);
        EXPECT_EQ(names.size(), page < 3 ? 5u : 2u);
        listed.insert(listed.end(), names.begin(), names.end());
        normalList->SetFocus(4);
        normalList->GoToNextPage(1);
        EXPECT_EQ(normalList->GetFocus(), 0);
    }
    EXPECT_EQ(listed, NORMAL_LISTED);
    EXPECT_EQ(normalList->CurrentPage(), 1) << "past the last page comes the first";
    normalList->GoToPrevPage(1);
    EXPECT_EQ(normalList->CurrentPage(), 3) << "before the first page comes the last";
    char name[32] = "unset";
    EXPECT_FALSE(normalList->GetFileName(2, name));
    EXPECT_STREQ(name, "");

    // Pre-allocated files are of one size per camera; every entry carries its camera's.
    vk::Playfile::CopyFiles copies;
    normalList->GetFiles(copies);
    ASSERT_EQ(copies.size(), NORMAL_LISTED.size());
    for (const auto& copy : copies) {
        EXPECT_EQ(copy->size, SizeMib("/mnt/extsd/NORMAL/" + *copy->name)) << *copy->name;
        EXPECT_GT(copy->size, 0);
    }
}

TEST_F(FileListsOnCard, PairsAreTheOtherCameraOfTheSameMoment)
{
    EXPECT_EQ(Pair(*normalList, 0), "") << "a rear file first in the list";
    EXPECT_EQ(Pair(*normalList, 1), "NORM261210-100500R.MP4");
    EXPECT_EQ(Pair(*normalList, 2), "NORM261210-100500F.MP4");
    normalList->GoToPrevPage(1);
    EXPECT_EQ(Pair(*normalList, 1), "") << "a front file last in the list";
    EXPECT_EQ(Pair(*normalList, 0), "NORM261210-100100F.MP4");
    normalList->GoToNextPage(1);

    // A rear file with its front twin: both are known, the rear plays first.
    lists->SetPlayFile("NORMAL", 2);
    EXPECT_FALSE(lists->IsPlayFileFront());
    char text[128];
    lists->GetPlayFile(text);
    EXPECT_STREQ(text, "/mnt/extsd/NORMAL/NORM261210-100500R.MP4");
    EXPECT_TRUE(lists->DoesPairFileExist());
    ASSERT_TRUE(lists->GetPairFile(text));
    EXPECT_STREQ(text, "NORM261210-100500F.MP4");
    lists->SwapFrontRearFile();
    EXPECT_TRUE(lists->IsPlayFileFront());
    lists->GetTitle(text);
    EXPECT_STREQ(text, "NORM261210-100500F.MP4");

    // A lone rear file.
    lists->SetPlayFile("NORMAL", 0);
    EXPECT_FALSE(lists->DoesPairFileExist());
    EXPECT_FALSE(lists->DoesFrontFileExist());
    EXPECT_FALSE(lists->GetPairFile(text));
    EXPECT_STREQ(text, "");
}

TEST_F(FileListsOnCard, ARescanOnlyWhenMarkedStaleAndAnUnreadableFolderListsNothing)
{
    ASSERT_TRUE(card::Place("EVENT", {"EVEN261210-110000F.MP4"}));
    ASSERT_EQ(std::rename("/mnt/extsd/MANUAL", "/mnt/extsd/MANUAL.OFF"), 0);
    lists->Open();
    EXPECT_EQ(lists->GetSize("EVENT"), 0u);
    EXPECT_EQ(lists->GetSize("MANUAL"), 2u);
    lists->SetReload();
    lists->Open();
    EXPECT_FALSE(lists->NeedReload());
    EXPECT_EQ(lists->GetSize("EVENT"), 1u);
    EXPECT_EQ(lists->GetSize("MANUAL"), 0u);
}

// Selecting for a copy to a USB stick of a given room (its free space less
// the 100 MiB margin).
class SelectForCopy : public FileListsOnCard {
protected:
    void SetUp() override
    {
        FileListsOnCard::SetUp();
        front = SizeMib("/mnt/extsd/NORMAL/NORM261210-100500F.MP4");
        rear = SizeMib("/mnt/extsd/NORMAL/NORM261210-100500R.MP4");
        vk::CopyList::Inst()->SetListMedia(vk::LISTMEDIA::USB);
    }

    void Room(int mib)
    {
        media::Run("umount /tmp/usb 2>/dev/null");
        ASSERT_EQ(media::Run("mkdir -p /tmp/usb && mount -t tmpfs -o size=" + std::to_string(mib + 100) +
                             "m usb /tmp/usb"),
                  0);
    }

    int front = 0;
    int rear = 0;
};

TEST_F(SelectForCopy, APairIsSelectedTogetherOrNotAtAll)
{
    struct Case {
        int room;
        int button;
        int result;
        int selected;
    };
    // Each case starts from the selection the one before left.
    const Case cases[] = {
        {front + rear, 1, 2, 2},      // front with its rear
        {front + rear, 2, -2, 0},     // from the rear: both go
        {front + rear - 1, 2, 0, 0},  // the rear fits, its front not
        {front - 1, 1, 0, 0},         // not even the front
        {rear, 0, 1, 1},              // a lone rear file
        {front + rear, 1, 0, 1},      // the rear selected before takes the room
    };
    for (const Case& c : cases) {
        Room(c.room);
        EXPECT_EQ(normalList->ChangeSelect(c.button), c.result) << "room " << c.room << " button " << c.button;
        EXPECT_EQ(normalList->GetSelectedFilesNumber(), c.selected) << "room " << c.room << " button " << c.button;
    }

    vk::Playfile::CopyFiles copies;
    normalList->GetSelectedFiles(copies);
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(*copies.front()->name, "NORM261210-100600R.MP4");
    EXPECT_EQ(copies.front()->size, rear);
    EXPECT_EQ(normalList->GetSelectedFilesNumber(), 0) << "taken for the copy";
}

} // namespace
