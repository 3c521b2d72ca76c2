// Copies of recordings from a card laid out by cardform to a USB stick, both
// loop-device images: the progress the window is told and shows, the log, and
// the copies read back from the stick's image with mtools and ffprobe.

#include "MenuWindows.h"

#include "dashrec/dvr/FileLists.h"
#include "dashrec/menus/CCopyProcedure.h"
#include "dashrec/menus/CopyList.h"

#include <sys/stat.h>

namespace {

using namespace menutest;
using vk::CopyList;
namespace LISTTYPE = vk::LISTTYPE;

const char* const NEWEST_F = "NORM251210-120000F.MP4";
const char* const NEWEST_R = "NORM251210-120000R.MP4";
const char* const EVENT_F = "EVEN251210-115700F.MP4";
const char* const EVENT_R = "EVEN251210-115700R.MP4";
// Ten minutes older than the newest: outside the last five minutes.
const char* const OLDER_F = "NORM251210-115000F.MP4";
const int FILE_MIB = 26;

std::string FolderOf(const std::string& name)
{
    return name.compare(0, 4, "NORM") == 0 ? "NORMAL" : "EVENT";
}

std::string OnStick(const std::string& name)
{
    return "::/" + FolderOf(name) + "/" + name;
}

class CopyToStick : public MenuWindows {
protected:
    void SetUp() override
    {
        MenuWindows::SetUp();
        window = Use<vk::CCopyProcedure>(WND::COPY_PROCEDURE);
        ASSERT_EQ(Shell("ffmpeg -v error -f lavfi -i testsrc=size=320x240:rate=10 -t 1 -c:v libx264 "
                        "-movflags +faststart -y /tmp/clip.mp4"),
            0);
        MakeCard({ NEWEST_F, NEWEST_R, EVENT_F, EVENT_R, OLDER_F });
    }

    // A card laid out by cardform and mounted, whose pool files became these
    // recordings, each beginning with a real clip.
    void MakeCard(const std::vector<std::string>& recordings)
    {
        ASSERT_EQ(Shell(CardTool() + " make /tmp/sd.img 1024 && " + CardTool() + " attach sd /tmp/sd.img"), 0);
        ASSERT_EQ(Shell(Env("DASHREC_BINARY_DIR") + "/cardform/cardform /dev/mmcblk1 hd hd 30 30 > /tmp/cardform.txt 2>&1"), 0)
            << ReadFile("/tmp/cardform.txt");
        ASSERT_EQ(Shell("mount /dev/mmcblk1p1 /mnt/extsd"), 0);
        for (const std::string& name : recordings) {
            std::string folder = "/mnt/extsd/" + FolderOf(name);
            std::string camera = name.substr(17, 1);
            ASSERT_EQ(Shell("cd " + folder + " && pool=$(ls -a | grep '" + camera + ".TMP$' | head -1) && mv \"$pool\" '"
                            + name + "' && dd if=/tmp/clip.mp4 of='" + name + "' conv=notrunc status=none"),
                0)
                << name;
        }
        vk::Singleton<vk::FileLists>::Inst()->SetReload();
        vk::Singleton<vk::FileLists>::Inst()->Open();
    }

    // A stick of `mib` MiB with one FAT partition, as the stick's format leaves it.
    void MakeStick(int mib)
    {
        ASSERT_EQ(Shell(CardTool() + " make /tmp/usb.img " + std::to_string(mib)), 0);
        ASSERT_EQ(Shell("python3 -c \"import struct,sys; f=open('/tmp/usb.img','r+b'); "
                        "f.seek(446); f.write(struct.pack('<B3sB3sII', 0, b'\\\\0'*3, 0x0C, b'\\\\0'*3, 2048, "
                        + std::to_string(mib * 2048 - 2048) + ")); f.seek(510); f.write(b'\\\\x55\\\\xaa')\""),
            0);
        ASSERT_EQ(Shell(CardTool() + " attach usb /tmp/usb.img && mkfs.vfat -n BACKUP /dev/sda1 > /dev/null"), 0);
    }

    // Runs one copy to the stick from the recent-files window until it has closed back.
    void Copy(LISTTYPE::VALUE kind)
    {
        CopyList::Inst()->SetListType(kind);
        CopyList::Inst()->SetListMedia(vk::LISTMEDIA::USB);
        Open(WND::COPY_PROCEDURE, WND::COPY_RECENT);
        ASSERT_TRUE(PumpUntil(Is(WND::COPY_RECENT, WM::INIT), 120000));
    }

    // The copy window's messages from its worker, as {cmd, param1, param2}.
    std::vector<std::vector<int>> Reports() const
    {
        std::vector<std::vector<int>> reports;
        for (const ipc_msg_t& msg : seen)
            if (msg.wnd == WND::COPY_PROCEDURE && msg.cmd >= WM::COPY_BEGINS && msg.cmd <= WM::COPY_USER_STOPS)
                reports.push_back({ msg.cmd, msg.param1, msg.param2 });
        return reports;
    }

    std::string Shown(int id)
    {
        const char* text = static_cast<obj_text*>(vk::Resource::Inst()->GetStateComponent(WND::COPY_PROCEDURE, id))->text_ptr;
        return text != nullptr ? text : "";
    }

    std::string Text(int id)
    {
        return vk::Resource::Inst()->GetString(id);
    }

    // Reads a file back from the stick's image.
    int FromStick(const std::string& name, const std::string& to)
    {
        return Shell("MTOOLS_SKIP_CHECK=1 mcopy -n -i /dev/sda1 '" + OnStick(name) + "' " + to);
    }

    vk::CCopyProcedure* window = nullptr;
};

TEST_F(CopyToStick, TheLastFiveMinutesReachTheStickWholeWithTheProgressShown)
{
    MakeStick(400);
    // The second file of the list is on the stick already, whole.
    ASSERT_EQ(Shell("MTOOLS_SKIP_CHECK=1 mmd -i /dev/sda1 ::/NORMAL && MTOOLS_SKIP_CHECK=1 mcopy -i /dev/sda1 /mnt/extsd/NORMAL/"
                    + std::string(NEWEST_R) + " ::/NORMAL/"),
        0);
    CopyList::Inst()->SetListType(LISTTYPE::LAST_5_MINUTES_LIST);
    CopyList::Inst()->SetListMedia(vk::LISTMEDIA::USB);
    // The log is read from standard output, so nothing stops the test while it is taken.
    ::testing::internal::CaptureStdout();
    dvr->SetPage(WND::COPY_PROCEDURE, WND::COPY_RECENT);
    bool started = PumpUntil(Is(WND::COPY_PROCEDURE, WM::INIT), 5000);
    std::string preparing = Shown(1001);
    bool third = PumpUntil([](const ipc_msg_t& m) { return m.cmd == WM::COPY_PROGRESSES && m.param1 == 3; }, 120000);
    std::string copying = Shown(1001);
    Screenshot("copy_progress");
    bool ended = PumpUntil(Is(WND::COPY_PROCEDURE, WM::COPY_ENDS), 120000);
    std::string done = Shown(1001);
    Screenshot("copy_done");
    bool closed = PumpUntil(Is(WND::COPY_RECENT, WM::INIT), 10000);
    std::fflush(stdout);
    std::string out = ::testing::internal::GetCapturedStdout();
    ASSERT_TRUE(started && third && ended && closed) << out;
    EXPECT_EQ(preparing, Text(STR::PREPARING));
    EXPECT_EQ(copying, Text(STR::COPYING) + " (3/4)");
    EXPECT_EQ(done, Text(STR::COPY_DONE));

    const std::vector<std::vector<int>> expected = {
        { WM::COPY_BEGINS, 0, 4 },
        { WM::COPY_PROGRESSES, 1, 4 }, { WM::COPY_PROGRESSES, 1, 4 },
        { WM::COPY_PROGRESSES, 2, 4 }, { WM::COPY_PROGRESSES, 2, 4 },
        { WM::COPY_PROGRESSES, 3, 4 }, { WM::COPY_PROGRESSES, 3, 4 },
        { WM::COPY_PROGRESSES, 4, 4 }, { WM::COPY_PROGRESSES, 4, 4 },
        { WM::COPY_CLOSING, 0, 0 },
        { WM::COPY_ENDS, 4, 4 },
        { WM::COPY_PROCEDURE_ENDS, 0, 0 },
    };
    EXPECT_EQ(Reports(), expected);
    EXPECT_EQ(vk::Resource::Inst()->GetStateComponent(WND::COPY_PROCEDURE, 998)->area.w, 234) << "a full bar";
    EXPECT_NE(out.find("copy(1/4):NORM251210-120000F.MP4(26)"), std::string::npos) << out;
    EXPECT_NE(out.find("copy(2/4):NORM251210-120000R.MP4(26)"), std::string::npos);
    EXPECT_NE(out.find("already exists, next file"), std::string::npos);
    EXPECT_NE(out.find("copy(4/4):EVEN251210-115700R.MP4(26)"), std::string::npos);

    EXPECT_EQ(Shell("fsck.fat -n /dev/sda1 > /tmp/fsck.txt 2>&1"), 0) << ReadFile("/tmp/fsck.txt");
    for (const char* name : { NEWEST_F, NEWEST_R, EVENT_F, EVENT_R }) {
        ASSERT_EQ(FromStick(name, "/tmp/copy.mp4"), 0) << name;
        EXPECT_EQ(Shell("cmp -s /tmp/copy.mp4 /mnt/extsd/" + FolderOf(name) + "/" + name), 0) << name;
    }
    EXPECT_EQ(Shell("ffprobe -v error -select_streams v:0 -show_entries stream=codec_name -of csv=p=0 /tmp/copy.mp4 "
                    "| grep -qx h264"),
        0)
        << "the copy is still a recording";
    EXPECT_NE(FromStick(OLDER_F, "/tmp/older.mp4"), 0) << "ten minutes older: not copied";
    EXPECT_EQ(Shell("MTOOLS_SKIP_CHECK=1 mdir -i /dev/sda1 ::/TMP.DM1 > /dev/null"), 0) << "the card log goes along";
}

TEST_F(CopyToStick, AFullStickGetsNothing)
{
    MakeStick(120);
    Copy(LISTTYPE::LAST_5_MINUTES_LIST);
    const std::vector<std::vector<int>> expected = {
        { WM::COPY_NOT_ENOUGHT_SPACE, 0, 0 },
        { WM::COPY_PROCEDURE_ENDS, 0, 0 },
    };
    EXPECT_EQ(Reports(), expected);
    EXPECT_EQ(Shown(1001), Text(STR::SD_NOT_ENOUGH_SPACE));
    EXPECT_NE(FromStick(NEWEST_F, "/tmp/copy.mp4"), 0);
}

TEST_F(CopyToStick, AMissingStickFailsWithoutCopyingIntoTheMountPoint)
{
    Copy(LISTTYPE::LAST_5_MINUTES_LIST);
    const std::vector<std::vector<int>> expected = {
        { WM::COPY_FAILURE, 0, 0 },
        { WM::COPY_PROCEDURE_ENDS, 0, 0 },
    };
    EXPECT_EQ(Reports(), expected);
    EXPECT_EQ(Shown(150), Text(STR::COPY_FAILURE));
    struct stat info {};
    EXPECT_NE(stat("/tmp/usb/NORMAL", &info), 0) << "nothing was written into the bare mount point";
}

// The copy program holds recordings until the test lets them go, so the
// cancel comes while the first file is copied.
TEST_F(CopyToStick, CancelStopsAfterTheFileBeingCopiedAndStillUnmounts)
{
    MakeStick(400);
    ASSERT_EQ(Shell("mkdir -p /tmp/held && printf '#!/bin/sh\\ncase \"$2\" in *.MP4) while [ ! -e /tmp/go ]; do "
                    "sleep 0.05; done;; esac\\nexec /bin/cp \"$@\"\\n' > /tmp/held/cp && chmod +x /tmp/held/cp"),
        0);
    setenv("PATH", ("/tmp/held:" + Env("PATH")).c_str(), 1);
    CopyList::Inst()->SetListType(LISTTYPE::LAST_5_MINUTES_LIST);
    CopyList::Inst()->SetListMedia(vk::LISTMEDIA::USB);
    Open(WND::COPY_PROCEDURE, WND::COPY_RECENT);
    ASSERT_TRUE(PumpUntil(Is(WND::COPY_PROCEDURE, WM::COPY_PROGRESSES), 60000));
    Press(PARAM1::KEY_OK);
    EXPECT_EQ(Shown(1001), Text(STR::COPY_CANCEL));
    ASSERT_EQ(Shell("touch /tmp/go"), 0);
    ASSERT_TRUE(PumpUntil(Is(WND::COPY_RECENT, WM::INIT), 60000));

    const std::vector<std::vector<int>> expected = {
        { WM::COPY_BEGINS, 0, 4 },
        { WM::COPY_PROGRESSES, 1, 4 }, { WM::COPY_PROGRESSES, 1, 4 },
        { WM::COPY_USER_STOPS, 0, 0 },
        { WM::COPY_PROCEDURE_ENDS, 0, 0 },
    };
    EXPECT_EQ(Reports(), expected);
    EXPECT_EQ(FromStick(NEWEST_F, "/tmp/copy.mp4"), 0) << "the file being copied is finished";
    EXPECT_NE(FromStick(NEWEST_R, "/tmp/copy.mp4"), 0);
    EXPECT_NE(Shell("MTOOLS_SKIP_CHECK=1 mdir -i /dev/sda1 ::/TMP.DM1 > /dev/null 2>&1"), 0) << "no card log";
    EXPECT_NE(ReadFile(Env("DASHREC_HOST_DIR") + "/shims.log").find("umount /dev/sda1"), std::string::npos);
}

// Anything the copy program prints fails the copy at once; names reach it as
// arguments, so a name that reads as a command is only a name.
TEST_F(CopyToStick, OutputOfTheCopyFailsItAndNamesAreNeverCommands)
{
    MakeStick(400);
    const char* const strange = "NORM$(touch pwn)1F.MP4";
    ASSERT_EQ(Shell("cd /mnt/extsd/NORMAL && pool=$(ls -a | grep 'F.TMP$' | head -1) && mv \"$pool\" 'NORM$(touch pwn)1F.MP4'"),
        0);
    vk::Singleton<vk::FileLists>::Inst()->SetReload();
    vk::Singleton<vk::FileLists>::Inst()->Open();
    Copy(LISTTYPE::NORMAL_RECORD_LIST);
    EXPECT_EQ(Reports().back(), (std::vector<int> { WM::COPY_PROCEDURE_ENDS, 0, 0 }));
    EXPECT_EQ(Reports()[Reports().size() - 2][0], WM::COPY_ENDS);
    EXPECT_EQ(FromStick(strange, "/tmp/strange.mp4"), 0);
    struct stat info {};
    EXPECT_NE(stat("pwn", &info), 0);

    ASSERT_EQ(Shell("mkdir -p /tmp/noisy && printf '#!/bin/sh\\necho \"cp: warning\"\\nexec /bin/cp \"$@\"\\n' "
                    "> /tmp/noisy/cp && chmod +x /tmp/noisy/cp"),
        0);
    setenv("PATH", ("/tmp/noisy:" + Env("PATH")).c_str(), 1);
    ASSERT_EQ(Shell("MTOOLS_SKIP_CHECK=1 mdeltree -i /dev/sda1 ::/NORMAL"), 0);
    seen.clear();
    Copy(LISTTYPE::NORMAL_RECORD_LIST);
    const std::vector<std::vector<int>> failed = {
        { WM::COPY_BEGINS, 0, 4 },
        { WM::COPY_PROGRESSES, 1, 4 },
        { WM::COPY_FAILURE, 0, 0 },
        { WM::COPY_PROCEDURE_ENDS, 0, 0 },
    };
    EXPECT_EQ(Reports(), failed);
    EXPECT_EQ(Shown(150), Text(STR::COPY_FAILURE));
}

} // namespace
