// The phone app's file lists on record folders in the sandbox's card mount:
// listing per folder and camera, and a delete that turns a recording back
// into a hidden free file for the loop recorder.

#include "CardHelpers.h"

#include "dashrec/core/FatAttributes.h"
#include "dashrec/core/Pref.h"
#include "dashrec/dvr/MobileList.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using vk::MobileList;

namespace {

void MakeFile(const std::string& folder, const std::string& name, size_t size)
{
    mkdir("/mnt/extsd", 0755);
    mkdir(("/mnt/extsd/" + folder).c_str(), 0755);
    std::ofstream(("/mnt/extsd/" + folder + "/" + name).c_str()) << std::string(size, 'x');
}

bool Exists(const std::string& path)
{
    return access(path.c_str(), F_OK) == 0;
}

std::string List(const char* cam, const char* folder)
{
    std::string out = "unset";
    MobileList::Inst()->GetList(cam, folder, out);
    return out;
}

class MobileListOnCard : public testing::Test {
protected:
    void SetUp() override
    {
        vk::Pref::Inst()->SetSdCardRecording();
        ASSERT_TRUE(media::Insert("sd", "/tmp/sd.img", 600));
        MakeFile("EVENT", "EVEN261210-100000R.MP4", 1000);
        MakeFile("EVENT", "EVEN261210-100100R.MP4", 1000);
        MakeFile("EVENT", ".EVEN90925-000041R.TMP", 1000);
        MakeFile("EVENT", ".EVEN90925-000040R.TMP", 1000);
        MakeFile("EVENT", "EVEN261210-100000F.MP4", 3000);
        MakeFile("EVENT", "README.TXT", 10);
        MakeFile("NORMAL", ".NORM90925-000001F.TMP", 3000);
        MakeFile("MANUAL", "MANU261210-100000F.MP4", 2000);
        MakeFile("MANUAL", "MANU261210-100100F.MP4", 2000);
        MakeFile("MANUAL", "MANU261210-100200F.MP4", 2000);
        mkdir("/mnt/extsd/PARKING", 0755);
        MobileList::Inst()->Clear();
    }
};

} // namespace

TEST_F(MobileListOnCard, ListsAreNewestFirstPerFolderAndCamera)
{
    EXPECT_EQ(List("R", "EVENT"), "EVEN261210-100100R.MP4,1000,EVEN261210-100000R.MP4,1000");
    EXPECT_EQ(List("F", "EVENT"), "EVEN261210-100000F.MP4,3000");
    EXPECT_EQ(List("F", "NORMAL"), "") << "free files only";
    EXPECT_EQ(List("R", "PARKING"), "");

    MakeFile("EVENT", "EVEN261210-100200R.MP4", 1000);
    EXPECT_EQ(List("R", "EVENT"), "EVEN261210-100100R.MP4,1000,EVEN261210-100000R.MP4,1000") << "no second scan";
    MobileList::Inst()->Clear();
    EXPECT_EQ(List("R", "EVENT").substr(0, 22), "EVEN261210-100200R.MP4");
}

TEST_F(MobileListOnCard, ADeletedRecordingBecomesTheFreeFileBeforeTheSmallest)
{
    List("R", "EVENT");
    EXPECT_TRUE(MobileList::Inst()->DeleteFile("EVEN261210-100000R.MP4"));
    EXPECT_FALSE(Exists("/mnt/extsd/EVENT/EVEN261210-100000R.MP4"));
    const std::string freed = "/mnt/extsd/EVENT/.EVEN90925-000039R.TMP";
    ASSERT_TRUE(Exists(freed));
    int fd = open(freed.c_str(), O_RDONLY);
    uint32_t attributes = 0;
    // Where this machine's mount keeps no attributes, the hidden bit cannot be seen.
    if (vk::FatAttributes::Get(fd, attributes) == 0) {
        EXPECT_NE(attributes & vk::FatAttributes::HIDDEN, 0u);
    }
    close(fd);
    EXPECT_EQ(List("R", "EVENT"), "EVEN261210-100100R.MP4,1000");

    EXPECT_FALSE(MobileList::Inst()->DeleteFile("EVEN261210-100000R.MP4")) << "no longer listed";
    EXPECT_FALSE(MobileList::Inst()->DeleteFile("EVEN261210-100000X.MP4"));
    EXPECT_FALSE(MobileList::Inst()->DeleteFile("../EVENT/EVEN61210-1000R.MP4"));
    EXPECT_TRUE(Exists("/mnt/extsd/EVENT/EVEN261210-100100R.MP4"));

    // No free file: the number is the count of recordings less one.
    List("F", "MANUAL");
    EXPECT_TRUE(MobileList::Inst()->DeleteFile("MANU261210-100100F.MP4"));
    EXPECT_TRUE(Exists("/mnt/extsd/MANUAL/.MANU90925-000002F.TMP"));
    EXPECT_EQ(List("F", "MANUAL"), "MANU261210-100200F.MP4,2000,MANU261210-100000F.MP4,2000");
}

// A free file the lists do not know of (made after the scan) holds the name
// the delete would take: the delete is refused rather than replacing it.
TEST_F(MobileListOnCard, ARenameOntoAnExistingNameIsRefused)
{
    List("F", "MANUAL");
    MakeFile("MANUAL", ".MANU90925-000002F.TMP", 7);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(MobileList::Inst()->DeleteFile("MANU261210-100100F.MP4"));
    EXPECT_NE(testing::internal::GetCapturedStdout().find(
                  "[MobileList]rename MANU261210-100100F.MP4: .MANU90925-000002F.TMP exists"),
              std::string::npos);
    EXPECT_TRUE(Exists("/mnt/extsd/MANUAL/MANU261210-100100F.MP4"));
    EXPECT_EQ(media::ReadFile("/mnt/extsd/MANUAL/.MANU90925-000002F.TMP"), "xxxxxxx");
    EXPECT_EQ(List("F", "MANUAL"), "MANU261210-100200F.MP4,2000,MANU261210-100100F.MP4,2000,MANU261210-100000F.MP4,2000");
}

TEST(MobileList, WithoutACardTheListsAreEmpty)
{
    vk::Pref::Inst()->SetSdCardRecording();
    MakeFile("EVENT", "EVEN261210-100000R.MP4", 1000);
    EXPECT_EQ(List("R", "EVENT"), "");
}
