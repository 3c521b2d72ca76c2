// The recorder on a card laid out by cardform: file names, the pre-allocated
// file pool, and the card still sound afterwards.

#include "dashrec/core/FatAttributes.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/SystemClock.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/dvr/EngineCallbacks.h"
#include "dashrec/dvr/FileLoop.h"
#include "dashrec/dvr/RecContoller.h"
#include "dashrec/ui/MessageHandler.h"
#include "dashrec/ui/Resource.h"
#include "dashrec/ui/UITimer.h"
#include "tests/ui/UiTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

using vk::Singleton;

class Window : public vk::MessageHandler {
public:
    explicit Window(vk::WND::ID id) : MessageHandler(id, 0) {}
    void OnMessage(ipc_msg_t& msg) override { last = msg; }
    void OnInit(ipc_msg_t&) override {}
    ipc_msg_t last {};
};

std::string Source()
{
    return std::getenv("DASHREC_SOURCE_DIR");
}

int Shell(const std::string& command)
{
    return std::system(command.c_str());
}

void SetClock(int year, int month, int day, int hour, int min, int sec, long usec = 0)
{
    std::tm tm {};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = min;
    tm.tm_sec = sec;
    tm.tm_isdst = -1;
    timeval tv { std::mktime(&tm), usec };
    ASSERT_EQ(vk::SystemClock::Set(tv), 0);
}

bool Hidden(const std::string& path)
{
    int fd = open(path.c_str(), O_RDONLY);
    uint32_t attributes = 0;
    bool ok = fd >= 0 && vk::FatAttributes::Get(fd, attributes) == 0;
    if (fd >= 0)
        close(fd);
    return !ok || (attributes & vk::FatAttributes::HIDDEN) != 0;
}

const char SCREENS[] = "<screens>\n"
                       "<state id=\"1001\" x=\"0\" y=\"0\" w=\"480\" h=\"320\"></state>\n"
                       "<state id=\"1100\" x=\"0\" y=\"0\" w=\"480\" h=\"320\"></state>\n"
                       "<state id=\"3000\" x=\"0\" y=\"0\" w=\"480\" h=\"320\"></state>\n"
                       "</screens>\n";

// One card for the whole binary: cardform is slow enough to do once.
class Recorder : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::string card = Source() + "/host/card/card.sh";
        ASSERT_EQ(Shell(card + " make /tmp/sd.img 8192"), 0);
        ASSERT_EQ(Shell(card + " attach sd /tmp/sd.img"), 0);
        ASSERT_EQ(Shell(std::string(CARDFORM) + " /dev/mmcblk1 wqhd fhd 30 30 sd sd mstar > /tmp/cardform.txt"), 0);
        ASSERT_EQ(Shell("mkdir -p /mnt/extsd && mount /dev/mmcblk1p1 /mnt/extsd/"), 0);
        Singleton<vk::Pref>::Inst()->SetSdCardRecording();
        Singleton<vk::FileLoop>::Inst()->Init();
        Singleton<vk::FileLoop>::Inst()->Mount();

        // The windows' screens are not built yet: pages of their own for the ids used here.
        std::ifstream langFile(uitest::BinaryDir() + "/rsc/_lang.ini");
        std::string lang((std::istreambuf_iterator<char>(langFile)), std::istreambuf_iterator<char>());
        uitest::UseOwnResources("recorder-" + std::to_string(getpid()), SCREENS, lang);
        Singleton<vk::Resource>::Inst()->Init(480, 320, true);
        vk::UIQueue::Inst()->Init();
        Singleton<vk::UITimer>::Inst()->Init(10);
        vk::CMainDvr* dvr = Singleton<vk::CMainDvr>::Inst();
        dvr->RegisterHandler(vk::WND::LIVEVIEW, std::make_shared<Window>(vk::WND::LIVEVIEW));
        dvr->RegisterHandler(vk::WND::MAINMENU, std::make_shared<Window>(vk::WND::MAINMENU));
        dvr->RegisterHandler(vk::WND::MESSAGE_BOX, messageBox);
        dvr->SetPage(vk::WND::LIVEVIEW, 0);
    }

    static void TearDownTestSuite()
    {
        Singleton<vk::Resource>::Inst()->Finalize();
        vk::UIQueue::Inst()->Finalize();
    }

    static std::shared_ptr<Window> messageBox;
};

std::shared_ptr<Window> Recorder::messageBox = std::make_shared<Window>(vk::WND::MESSAGE_BOX);

TEST_F(Recorder, NamesPairFrontAndRearWithinThreeSecondsAndClaimFiles)
{
    struct {
        int sec;
        CameraPosition cam;
        RecordType type;
        const char* expected;
    } const cases[] = {
        { 0, Front, Normal, "/mnt/extsd/NORMAL/NORM210315-083000F.MP4" },
        { 2, Rear, Normal, "/mnt/extsd/NORMAL/NORM210315-083000R.MP4" },
        { 0, Front, Event, "/mnt/extsd/EVENT/EVEN210315-083000F.MP4" },
        { 4, Rear, Event, "/mnt/extsd/EVENT/EVEN210315-083004R.MP4" },
        // The clock set back: the name stands on the card already, the stamp moves on.
        { 0, Front, Normal, "/mnt/extsd/NORMAL/NORM210315-083001F.MP4" },
    };
    for (const auto& c : cases) {
        // Half a second in, so that the time the test itself takes changes no whole second.
        SetClock(2021, 3, 15, 8, 30, c.sec, c.sec == 0 ? 0 : 500000);
        std::string name = vk::CallbackRecordFile(c.cam, c.type);
        EXPECT_EQ(name, c.expected);
        EXPECT_EQ(access(name.c_str(), F_OK), 0) << name << " was not claimed";
        EXPECT_FALSE(Hidden(name)) << name;
    }

    // An event while parking lands among the events, named as one.
    Singleton<vk::RecContoller>::Inst()->ParkingModeEntered();
    SetClock(2021, 3, 15, 9, 0, 0);
    EXPECT_STREQ(vk::CallbackRecordFile(Front, Event), "/mnt/extsd/EVENT/EVEN210315-090000F.MP4");
    Singleton<vk::RecContoller>::Inst()->ParkingModeExited();

    // Without files to claim the engine gets the dummy name, and the next claim still works.
    vk::FileLoop* loop = Singleton<vk::FileLoop>::Inst();
    loop->Unmount();
    SetClock(2021, 3, 15, 9, 10, 0);
    EXPECT_STREQ(vk::CallbackRecordFile(Front, Manual), "duskmoth_open_refuse");
    loop->Mount();
    EXPECT_STREQ(vk::CallbackRecordFile(Front, Manual), "/mnt/extsd/MANUAL/MANU210315-091000F.MP4");
}

TEST_F(Recorder, MessageBoxGetsItsTextAndTheCurrentWindowIsAskedToOpenIt)
{
    vk::CMainDvr* dvr = Singleton<vk::CMainDvr>::Inst();
    dvr->SetMessageBox(42, vk::WND::MAINMENU);
    EXPECT_EQ(messageBox->last.cmd, vk::WM::SET_MESSAGE);
    EXPECT_EQ(messageBox->last.param1, 42);
    ipc_msg_t msg {};
    do {
        ASSERT_GT(vk::UIQueue::Inst()->RecvMessage(msg, 200), 0);
    } while (msg.cmd != vk::WM::CLOSE);
    EXPECT_EQ(msg.wnd, vk::WND::LIVEVIEW);
    EXPECT_EQ(msg.param1, vk::WND::MESSAGE_BOX);
    EXPECT_EQ(msg.param2, vk::WND::MAINMENU);
}

TEST_F(Recorder, OutsideTheLiveViewTheDummyNameIsHandedOut)
{
    vk::CMainDvr* dvr = Singleton<vk::CMainDvr>::Inst();
    dvr->SetPage(vk::WND::MAINMENU, 0);
    EXPECT_STREQ(vk::CallbackRecordFile(Front, Normal), "duskmoth_open_refuse");
    dvr->SetPage(vk::WND::SD_EXCHANGE, 0);
    EXPECT_EQ(dvr->CurrentWindow(), vk::WND::MAINMENU) << "a window not registered must not become current";
    dvr->SetPage(vk::WND::PREVIOUS_MENU, 0);
    EXPECT_EQ(dvr->CurrentWindow(), vk::WND::LIVEVIEW);
    EXPECT_EQ(dvr->GetMenuDepth(), 1);
}

TEST_F(Recorder, PoolReusesTheOldestRecordingOnceAllFreeFilesAreUsedAndTheCardStaysSound)
{
    vk::FileLoop* loop = Singleton<vk::FileLoop>::Inst();
    const vk::FileLoop::FileList& list = loop->List(vk::FileLoop::MANUAL, vk::FileLoop::REAR);
    size_t files = list.size();
    ASSERT_GT(files, 1u);
    std::string firstFree = list.front()->name;
    char name[128];
    for (size_t i = 0; i < files; ++i) {
        std::snprintf(name, sizeof(name), "/mnt/extsd/MANUAL/MANU210316-%06zuR.MP4", i);
        ASSERT_TRUE(loop->SetManualRear(name)) << name;
    }
    EXPECT_NE(access(firstFree.c_str(), F_OK), 0);
    std::string oldest = list.front()->name;
    EXPECT_EQ(oldest, "/mnt/extsd/MANUAL/MANU210316-000000R.MP4");
    ASSERT_TRUE(loop->SetManualRear("/mnt/extsd/MANUAL/MANU210317-000000R.MP4"));
    EXPECT_NE(access(oldest.c_str(), F_OK), 0) << "the oldest recording is reused";
    EXPECT_EQ(list.back()->name, std::string("/mnt/extsd/MANUAL/MANU210317-000000R.MP4"));
    EXPECT_FALSE(loop->SetManualRear("/mnt/extsd/MANUAL/MANU210317-000000R.MP4")) << "a name that exists";

    // A file deleted behind the pool's back is dropped and the next one taken.
    std::string head = list.front()->name;
    ASSERT_EQ(unlink(head.c_str()), 0);
    ASSERT_TRUE(loop->SetManualRear("/mnt/extsd/MANUAL/MANU210318-000000R.MP4"));
    EXPECT_EQ(list.size(), files - 1);
    // Put it back so the card keeps its layout.
    ASSERT_EQ(Shell("rm -f " + head), 0);

    loop->Unmount();
    loop->Mount();
    EXPECT_EQ(list.size(), files - 1) << "a second mount starts from empty lists";
}

TEST(RecorderAudit, ClaimsLeaveACardThatCardauditAccepts)
{
    std::string card = Source() + "/host/card/card.sh";
    ASSERT_EQ(Shell(card + " make /tmp/sd.img 8192"), 0);
    ASSERT_EQ(Shell(card + " attach sd /tmp/sd.img"), 0);
    ASSERT_EQ(Shell(std::string(CARDFORM) + " /dev/mmcblk1 wqhd fhd 30 30 sd sd mstar > /tmp/cardform.txt"), 0);
    ASSERT_EQ(Shell("mkdir -p /mnt/extsd && mount /dev/mmcblk1p1 /mnt/extsd/"), 0);
    vk::FileLoop* loop = Singleton<vk::FileLoop>::Inst();
    loop->Init();
    loop->Mount();
    ASSERT_TRUE(loop->SetNormalFront("/mnt/extsd/NORMAL/NORM210315-083000F.MP4"));
    ASSERT_TRUE(loop->SetNormalRear("/mnt/extsd/NORMAL/NORM210315-083000R.MP4"));
    ASSERT_TRUE(loop->SetParkingFront("/mnt/extsd/PARKING/PARK210315-083000F.MP4"));
    ASSERT_EQ(Shell("umount /mnt/extsd"), 0);
    EXPECT_EQ(Shell(std::string(CARDAUDIT) + " /dev/mmcblk1 wqhd fhd 30 30 sd mstar > /tmp/audit.txt"), 0);
    EXPECT_EQ(Shell("grep -q '^ *Verify OK$' /tmp/audit.txt"), 0);
    EXPECT_EQ(Shell("export MTOOLS_SKIP_CHECK=1; mdir -a -i /dev/mmcblk1p1 ::/NORMAL | grep -q 'NORM21~1\\|NORM210315-083000F'"), 0);
}

} // namespace
