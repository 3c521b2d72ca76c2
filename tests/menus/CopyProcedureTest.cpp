// Copies of recordings to a backup medium, every medium a loop-device image:
// from a card laid out by cardform to a USB stick, and the drivers' own path,
// from the internal eMMC to an SD card that is formatted first when blank.
// What the window is told and shows, the card log, and the copies read back
// from the target's image with mtools, fsck.fat and ffprobe.

#include "MenuWindows.h"
#include "tests/runmode/Harness.h"

#include "dashrec/core/Pref.h"
#include "dashrec/dvr/FileLists.h"
#include "dashrec/menus/CCopyMenu.h"
#include "dashrec/menus/CCopyProcedure.h"
#include "dashrec/menus/CFormatDialog.h"
#include "dashrec/menus/CFormatProcedure.h"
#include "dashrec/menus/CopyList.h"

#include <algorithm>
#include <chrono>
#include <sys/stat.h>
#include <thread>

namespace {

using namespace menutest;
using vk::CopyList;
namespace LISTTYPE = vk::LISTTYPE;
namespace LISTMEDIA = vk::LISTMEDIA;

const char* const NEWEST_F = "NORM251210-120000F.MP4";
const char* const NEWEST_R = "NORM251210-120000R.MP4";
const char* const EVENT_F = "EVEN251210-115700F.MP4";
const char* const EVENT_R = "EVEN251210-115700R.MP4";
// Ten minutes older than the newest: outside the last five minutes.
const char* const OLDER_F = "NORM251210-115000F.MP4";
const std::vector<std::string> RECORDINGS = { NEWEST_F, NEWEST_R, EVENT_F, EVENT_R, OLDER_F };
// What the last five minutes take, in the order they are copied.
const char* const LAST_FIVE_MINUTES[] = { NEWEST_F, NEWEST_R, EVENT_F, EVENT_R };

std::string FolderOf(const std::string& name)
{
    return name.compare(0, 4, "NORM") == 0 ? "NORMAL" : "EVENT";
}

class Copies : public MenuWindows {
protected:
    void SetUp() override
    {
        MenuWindows::SetUp();
        window = Use<vk::CCopyProcedure>(WND::COPY_PROCEDURE);
        ASSERT_EQ(Shell("ffmpeg -v error -f lavfi -i testsrc=size=320x240:rate=10 -t 1 -c:v libx264 "
                        "-movflags +faststart -y /tmp/clip.mp4"),
            0);
    }

    // The recording medium (`medium` as card.sh names it), laid out by
    // cardform with `layout` and mounted, whose pool files became the
    // recordings, each beginning with a real clip.
    void MakeRecordingMedium(const std::string& medium, const std::string& layout, const std::string& partition)
    {
        std::string image = "/tmp/" + medium + ".img";
        ASSERT_EQ(Shell(CardTool() + " make " + image + " 1024 && " + CardTool() + " attach " + medium + " " + image), 0);
        ASSERT_EQ(Shell(Env("DASHREC_BINARY_DIR") + "/cardform/cardform " + layout + " > /tmp/cardform.txt 2>&1"), 0)
            << ReadFile("/tmp/cardform.txt");
        ASSERT_EQ(Shell("mount " + partition + " /mnt/extsd"), 0);
        for (const std::string& name : RECORDINGS) {
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

    // A backup medium ("sd" or "usb") of `mib` MiB with one FAT partition, as its format leaves it.
    void MakeFatMedium(const std::string& medium, int mib)
    {
        std::string image = "/tmp/" + medium + ".img";
        ASSERT_EQ(Shell(CardTool() + " make " + image + " " + std::to_string(mib)), 0);
        ASSERT_EQ(Shell("python3 -c \"import struct,sys; f=open('" + image + "','r+b'); "
                        "f.seek(446); f.write(struct.pack('<B3sB3sII', 0, b'\\\\0'*3, 0x0C, b'\\\\0'*3, 2048, "
                        + std::to_string(mib * 2048 - 2048) + ")); f.seek(510); f.write(b'\\\\x55\\\\xaa')\""),
            0);
        ASSERT_EQ(Shell(CardTool() + " attach " + medium + " " + image + " && mkfs.vfat -n BACKUP " + Partition(medium)
                      + " > /dev/null"),
            0);
    }

    static std::string Partition(const std::string& medium) { return medium == "usb" ? "/dev/sda1" : "/dev/mmcblk1p1"; }

    // Opens the copy window from the recent-files window for this list and medium.
    void Start(LISTTYPE::VALUE kind, LISTMEDIA::VALUE media)
    {
        CopyList::Inst()->SetListType(kind);
        CopyList::Inst()->SetListMedia(media);
        Open(WND::COPY_PROCEDURE, WND::COPY_RECENT);
    }

    // Runs one copy until the window has closed back.
    void Copy(LISTTYPE::VALUE kind, LISTMEDIA::VALUE media)
    {
        Start(kind, media);
        ASSERT_TRUE(PumpUntil(Is(WND::COPY_RECENT, WM::INIT), 120000));
    }

    // Starts the last five minutes' copy with the copy program held at the
    // first recording until "/tmp/go" is there.
    void StartHeldAtTheFirstFile(LISTMEDIA::VALUE media)
    {
        ASSERT_EQ(Shell("mkdir -p /tmp/held && printf '#!/bin/sh\\ncase \"$2\" in *.MP4) while [ ! -e /tmp/go ]; do "
                        "sleep 0.05; done;; esac\\nexec /bin/cp \"$@\"\\n' > /tmp/held/cp && chmod +x /tmp/held/cp"),
            0);
        setenv("PATH", ("/tmp/held:" + Env("PATH")).c_str(), 1);
        Start(LISTTYPE::LAST_5_MINUTES_LIST, media);
        ASSERT_TRUE(PumpUntil(Is(WND::COPY_PROCEDURE, WM::COPY_PROGRESSES), 60000));
    }

    void LetGoUntilClosed()
    {
        ASSERT_EQ(Shell("touch /tmp/go"), 0);
        ASSERT_TRUE(PumpUntil(Is(WND::COPY_RECENT, WM::INIT), 60000));
    }

    // The worker's reports other than its progress, as {cmd, param1, param2}.
    std::vector<std::vector<int>> Reports() const
    {
        std::vector<std::vector<int>> reports;
        for (const ipc_msg_t& msg : seen)
            if (msg.wnd == WND::COPY_PROCEDURE && msg.cmd >= WM::COPY_BEGINS && msg.cmd <= WM::COPY_USER_STOPS
                && msg.cmd != WM::COPY_PROGRESSES)
                reports.push_back({ msg.cmd, msg.param1, msg.param2 });
        return reports;
    }

    // The counts of the progress reports; coalesced, so only their order is fixed.
    std::vector<int> Progress() const
    {
        std::vector<int> counts;
        for (const ipc_msg_t& msg : seen)
            if (msg.wnd == WND::COPY_PROCEDURE && msg.cmd == WM::COPY_PROGRESSES)
                counts.push_back(msg.param1);
        return counts;
    }

    std::string Shown(int id)
    {
        const char* text = static_cast<obj_text*>(vk::Resource::Inst()->GetStateComponent(WND::COPY_PROCEDURE, id))->text_ptr;
        return text != nullptr ? text : "";
    }

    std::string Text(int id) { return vk::Resource::Inst()->GetString(id); }

    // Reads a recording back from the medium's image.
    int FromMedium(const std::string& medium, const std::string& name, const std::string& to)
    {
        return Shell("MTOOLS_SKIP_CHECK=1 mcopy -n -i " + Partition(medium) + " '::/" + FolderOf(name) + "/" + name + "' "
            + to);
    }

    // Every copy on the medium is its recording byte for byte.
    void ExpectCopied(const std::string& medium)
    {
        EXPECT_EQ(Shell("fsck.fat -n " + Partition(medium) + " > /tmp/fsck.txt 2>&1"), 0) << ReadFile("/tmp/fsck.txt");
        for (const char* name : LAST_FIVE_MINUTES) {
            ASSERT_EQ(FromMedium(medium, name, "/tmp/copy.mp4"), 0) << name;
            EXPECT_EQ(Shell("cmp -s /tmp/copy.mp4 /mnt/extsd/" + FolderOf(name) + "/" + name), 0) << name;
        }
        EXPECT_EQ(Shell("ffprobe -v error -select_streams v:0 -show_entries stream=codec_name -of csv=p=0 /tmp/copy.mp4 "
                        "| grep -qx h264"),
            0)
            << "the copy is still a recording";
        EXPECT_NE(FromMedium(medium, OLDER_F, "/tmp/older.mp4"), 0) << "ten minutes older: not copied";
    }

    // A medium too small for the last five minutes gets nothing, and says why.
    void ExpectNothingCopiedWithoutRoom(const std::string& medium, LISTMEDIA::VALUE media)
    {
        MakeFatMedium(medium, 120);
        Copy(LISTTYPE::LAST_5_MINUTES_LIST, media);
        const std::vector<std::vector<int>> expected = {
            { WM::COPY_NOT_ENOUGHT_SPACE, 0, 0 },
            { WM::COPY_PROCEDURE_ENDS, 0, 0 },
        };
        EXPECT_EQ(Reports(), expected);
        EXPECT_EQ(Shown(1001), Text(STR::SD_NOT_ENOUGH_SPACE));
        EXPECT_NE(FromMedium(medium, NEWEST_F, "/tmp/copy.mp4"), 0);
        EXPECT_EQ(Shell("fsck.fat -n " + Partition(medium) + " > /tmp/fsck.txt 2>&1"), 0) << ReadFile("/tmp/fsck.txt");
    }

    vk::CCopyProcedure* window = nullptr;
};

class CopyToStick : public Copies {
protected:
    void SetUp() override
    {
        Copies::SetUp();
        MakeRecordingMedium("sd", "/dev/mmcblk1 hd hd 30 30", "/dev/mmcblk1p1");
    }
};

TEST_F(CopyToStick, TheLastFiveMinutesReachTheStickWholeWithTheProgressShown)
{
    MakeFatMedium("usb", 400);
    // The second file of the list is on the stick already, whole.
    ASSERT_EQ(Shell("MTOOLS_SKIP_CHECK=1 mmd -i /dev/sda1 ::/NORMAL && MTOOLS_SKIP_CHECK=1 mcopy -i /dev/sda1 /mnt/extsd/NORMAL/"
                    + std::string(NEWEST_R) + " ::/NORMAL/"),
        0);
    CopyList::Inst()->SetListType(LISTTYPE::LAST_5_MINUTES_LIST);
    CopyList::Inst()->SetListMedia(LISTMEDIA::USB);
    // The log is read from standard output, so nothing stops the test while it is taken.
    ::testing::internal::CaptureStdout();
    dvr->SetPage(WND::COPY_PROCEDURE, WND::COPY_RECENT);
    bool started = PumpUntil(Is(WND::COPY_PROCEDURE, WM::INIT), 5000);
    std::string preparing = Shown(1001);
    bool copying = PumpUntil(Is(WND::COPY_PROCEDURE, WM::COPY_PROGRESSES), 120000);
    std::string progress = Shown(1001);
    Screenshot("copy_progress");
    bool ended = PumpUntil(Is(WND::COPY_PROCEDURE, WM::COPY_ENDS), 120000);
    std::string done = Shown(1001);
    Screenshot("copy_done");
    bool closed = PumpUntil(Is(WND::COPY_RECENT, WM::INIT), 10000);
    std::fflush(stdout);
    std::string out = ::testing::internal::GetCapturedStdout();
    ASSERT_TRUE(started && copying && ended && closed) << out;
    EXPECT_EQ(preparing, Text(STR::PREPARING));
    EXPECT_EQ(progress.rfind(Text(STR::COPYING) + " (", 0), 0u) << progress;
    EXPECT_EQ(progress.substr(progress.size() - 3), "/4)") << progress;
    EXPECT_EQ(done, Text(STR::COPY_DONE));

    const std::vector<std::vector<int>> expected = {
        { WM::COPY_BEGINS, 0, 4 },
        { WM::COPY_CLOSING, 0, 0 },
        { WM::COPY_ENDS, 4, 4 },
        { WM::COPY_PROCEDURE_ENDS, 0, 0 },
    };
    EXPECT_EQ(Reports(), expected);
    std::vector<int> counts = Progress();
    ASSERT_FALSE(counts.empty());
    EXPECT_TRUE(std::is_sorted(counts.begin(), counts.end())) << "progress never goes back";
    EXPECT_EQ(vk::Resource::Inst()->GetStateComponent(WND::COPY_PROCEDURE, 998)->area.w, 234) << "a full bar";
    EXPECT_NE(out.find("copy(1/4):NORM251210-120000F.MP4(26)"), std::string::npos) << out;
    EXPECT_NE(out.find("copy(2/4):NORM251210-120000R.MP4(26)"), std::string::npos);
    EXPECT_NE(out.find("}already exists, next file"), std::string::npos) << "in the card log, stamped";
    EXPECT_NE(out.find("copy(4/4):EVEN251210-115700R.MP4(26)"), std::string::npos);

    ExpectCopied("usb");
    EXPECT_EQ(Shell("MTOOLS_SKIP_CHECK=1 mdir -i /dev/sda1 ::/TMP.DM1 > /dev/null"), 0) << "the card log goes along";
}

TEST_F(CopyToStick, AFullStickGetsNothing)
{
    ExpectNothingCopiedWithoutRoom("usb", LISTMEDIA::USB);
}

TEST_F(CopyToStick, AMissingStickFailsWithoutCopyingIntoTheMountPoint)
{
    Copy(LISTTYPE::LAST_5_MINUTES_LIST, LISTMEDIA::USB);
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
    MakeFatMedium("usb", 400);
    StartHeldAtTheFirstFile(LISTMEDIA::USB);
    Press(PARAM1::KEY_OK);
    EXPECT_EQ(Shown(1001), Text(STR::COPY_CANCEL));
    LetGoUntilClosed();

    const std::vector<std::vector<int>> expected = {
        { WM::COPY_BEGINS, 0, 4 },
        { WM::COPY_USER_STOPS, 0, 0 },
        { WM::COPY_PROCEDURE_ENDS, 0, 0 },
    };
    EXPECT_EQ(Reports(), expected);
    EXPECT_EQ(Progress().back(), 1);
    EXPECT_EQ(FromMedium("usb", NEWEST_F, "/tmp/copy.mp4"), 0) << "the file being copied is finished";
    EXPECT_NE(FromMedium("usb", NEWEST_R, "/tmp/copy.mp4"), 0);
    EXPECT_NE(Shell("MTOOLS_SKIP_CHECK=1 mdir -i /dev/sda1 ::/TMP.DM1 > /dev/null 2>&1"), 0) << "no card log";
    EXPECT_NE(ReadFile(Env("DASHREC_HOST_DIR") + "/shims.log").find("umount /dev/sda1"), std::string::npos);
}

// Anything the copy program prints fails the copy at once; names reach it as
// arguments, so a name that reads as a command is only a name.
TEST_F(CopyToStick, OutputOfTheCopyFailsItAndNamesAreNeverCommands)
{
    MakeFatMedium("usb", 400);
    const char* const strange = "NORM$(touch pwn)1F.MP4";
    ASSERT_EQ(Shell("cd /mnt/extsd/NORMAL && pool=$(ls -a | grep 'F.TMP$' | head -1) && mv \"$pool\" 'NORM$(touch pwn)1F.MP4'"),
        0);
    vk::Singleton<vk::FileLists>::Inst()->SetReload();
    vk::Singleton<vk::FileLists>::Inst()->Open();
    Copy(LISTTYPE::NORMAL_RECORD_LIST, LISTMEDIA::USB);
    EXPECT_EQ(Reports().back(), (std::vector<int> { WM::COPY_PROCEDURE_ENDS, 0, 0 }));
    EXPECT_EQ(Reports()[Reports().size() - 2][0], WM::COPY_ENDS);
    EXPECT_EQ(FromMedium("usb", strange, "/tmp/strange.mp4"), 0);
    struct stat info {};
    EXPECT_NE(stat("pwn", &info), 0);

    ASSERT_EQ(Shell("mkdir -p /tmp/noisy && printf '#!/bin/sh\\necho \"cp: warning\"\\nexec /bin/cp \"$@\"\\n' "
                    "> /tmp/noisy/cp && chmod +x /tmp/noisy/cp"),
        0);
    setenv("PATH", ("/tmp/noisy:" + Env("PATH")).c_str(), 1);
    ASSERT_EQ(Shell("MTOOLS_SKIP_CHECK=1 mdeltree -i /dev/sda1 ::/NORMAL"), 0);
    seen.clear();
    Copy(LISTTYPE::NORMAL_RECORD_LIST, LISTMEDIA::USB);
    const std::vector<std::vector<int>> failed = {
        { WM::COPY_BEGINS, 0, 4 },
        { WM::COPY_FAILURE, 0, 0 },
        { WM::COPY_PROCEDURE_ENDS, 0, 0 },
    };
    EXPECT_EQ(Reports(), failed);
    EXPECT_EQ(Shown(150), Text(STR::COPY_FAILURE));
}

// The internal eMMC records; the SD card is the backup medium. The card log
// lives on the eMMC and goes along with each copy.
class CopyToCard : public Copies {
protected:
    void SetUp() override
    {
        Copies::SetUp();
        vk::Singleton<vk::Pref>::Inst()->SetInternalStorageRecording();
        MakeRecordingMedium("emmc", "/dev/mmcblk0p1 hd hd 30 30 emmc", "/dev/mmcblk0p1");
        vk::Singleton<vk::SDDebug>::Inst()->Resume();
    }

    // The card log copied along, as text: the ring's bytes with the log's substitution undone.
    std::string CardLogOnCard()
    {
        Shell("MTOOLS_SKIP_CHECK=1 mcopy -n -i /dev/mmcblk1p1 ::/TMP.DM1 /tmp/log.dm1 && python3 -c 'import sys; "
              "d = open(\"/tmp/log.dm1\", \"rb\").read(); "
              "sys.stdout.write(bytes(((b - 91) * 23) & 0xFF for b in d if b).decode(\"latin-1\"))' > /tmp/log.txt");
        return ReadFile("/tmp/log.txt");
    }

    // Done when the worker has unmounted the card; what it reports after that is what is left.
    bool CardUnmounted()
    {
        return runmode::WaitUntil(
            [this] {
                return ReadFile(Env("DASHREC_HOST_DIR") + "/shims.log").find("umount /dev/mmcblk1p1") != std::string::npos
                    && Shell("[ ! -e \"$DASHREC_HOST_DIR/card/mounts/_tmp_sd\" ]") == 0;
            },
            120000);
    }
};

// As a driver backs up: the recent-files item finds a blank card, the card
// is formatted, and the copy follows on its own.
TEST_F(CopyToCard, TheLastFiveMinutesReachABlankCardAfterItsFormatWhole)
{
    Use<vk::CRecent>(WND::COPY_RECENT);
    Use<vk::CSDFormat>(WND::SD_FORMAT_DIALOG);
    Use<vk::CFormatProcedure>(WND::SD_FORMAT_PROCEDURE);
    ASSERT_EQ(Shell(CardTool() + " make /tmp/sd.img 600 && " + CardTool() + " attach sd /tmp/sd.img"), 0);
    Open(WND::COPY_RECENT, WND::BACKUP_FILE);
    Choose(2); // LAST_5_MINUTES
    EXPECT_EQ(ClosedTo(WND::COPY_RECENT), std::make_pair(int(WND::SD_FORMAT_DIALOG), int(WND::COPY_RECENT)));
    ASSERT_TRUE(PumpUntil(Is(WND::SD_FORMAT_DIALOG, WM::INIT), 3000));
    Choose(3); // OK
    ASSERT_TRUE(PumpUntil(Is(WND::SD_FORMAT_PROCEDURE, WM::SD_FORMAT_ENDS), 60000));
    ASSERT_TRUE(PumpUntil(Is(WND::COPY_PROCEDURE, WM::COPY_ENDS), 120000));
    Screenshot("copy_to_card_done");
    ASSERT_TRUE(PumpUntil(Is(WND::COPY_RECENT, WM::INIT), 10000));
    EXPECT_EQ(Reports().front(), (std::vector<int> { WM::COPY_BEGINS, 0, 4 }));
    EXPECT_EQ(Reports().back(), (std::vector<int> { WM::COPY_PROCEDURE_ENDS, 0, 0 }));

    ExpectCopied("sd");
    std::string log = CardLogOnCard();
    EXPECT_NE(log.find("copy(4/4):EVEN251210-115700R.MP4"), std::string::npos) << log;
    EXPECT_NE(log.find("cp success, next file"), std::string::npos) << "the copy's own lines are in the card log";
}

TEST_F(CopyToCard, ACardWithoutRoomGetsNothing)
{
    ExpectNothingCopiedWithoutRoom("sd", LISTMEDIA::SDCARD);
}

// A card pulled while the first file is copied fails the copy: nothing looks
// done, and nothing lands in the board's memory under the bare mount point.
TEST_F(CopyToCard, ACardPulledDuringTheCopyFailsIt)
{
    MakeFatMedium("sd", 600);
    StartHeldAtTheFirstFile(LISTMEDIA::SDCARD);
    ASSERT_EQ(Shell(CardTool() + " detach sd"), 0);
    LetGoUntilClosed();
    const std::vector<std::vector<int>> expected = {
        { WM::COPY_BEGINS, 0, 4 },
        { WM::COPY_FAILURE, 0, 0 },
        { WM::COPY_PROCEDURE_ENDS, 0, 0 },
    };
    EXPECT_EQ(Reports(), expected);
    EXPECT_EQ(Shown(150), Text(STR::COPY_FAILURE));
    EXPECT_EQ(Shell("[ -z \"$(find /tmp/sd -type f 2>/dev/null)\" ]"), 0) << "nothing in the board's memory";
}

// From the last files on, nobody reads the bus until the copy has ended, so
// that every report of the end meets a full bus, for longer than the worker
// pauses before its last one: the window still learns how it ended, and closes.
TEST_F(CopyToCard, AFullBusStillEndsTheCopyAndClosesItsWindow)
{
    MakeFatMedium("sd", 600);
    Start(LISTTYPE::LAST_5_MINUTES_LIST, LISTMEDIA::SDCARD);
    ASSERT_TRUE(PumpUntil(Is(WND::COPY_PROCEDURE, WM::COPY_CLOSING), 120000));
    const int filler = 0x5E18; // no window's command
    while (vk::UIQueue::Inst()->SendMessage(WND::INVALID, filler, 0, 0, nullptr) >= 0) {
    }
    ASSERT_TRUE(CardUnmounted());
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));

    ASSERT_TRUE(PumpUntil(Is(WND::COPY_RECENT, WM::INIT), 10000)) << "the window closed";
    std::vector<std::vector<int>> reports = Reports();
    ASSERT_GE(reports.size(), 2u);
    EXPECT_EQ(reports[reports.size() - 2], (std::vector<int> { WM::COPY_ENDS, 4, 4 }));
    EXPECT_EQ(reports.back(), (std::vector<int> { WM::COPY_PROCEDURE_ENDS, 0, 0 }));
    EXPECT_EQ(Shown(1001), Text(STR::COPY_DONE));
    ExpectCopied("sd");
}

} // namespace
