// The main menu from the real live view, with the engine replaying
// pre-encoded video and a card laid out by cardform: MENU in the live view
// stops the recording and opens the menu, MENU in the menu saves and brings
// the live view back, which starts recording again.

#include "tests/menus/MenuFixture.h"

#include "dashrec/dvr/FileLists.h"

namespace menutest {
namespace {

class FromLiveview : public MenuTest {
protected:
    void SetUp() override
    {
        runmode::PrepareBoard();
        runmode::InsertCard("wqhd fhd 30 30 sd sd mstar");
        runmode::MountCard();
        pref = Singleton<vk::Pref>::Inst();
        pref->SetBootMessage(false);
        pref->SetBootAnnounce(false);
        pref->TurnOnPower();
        dvr = runmode::InitializeRecorder();
        Singleton<vk::UITimer>::Inst()->Start();
        menu = Make<vk::CMenu>(WND::MAINMENU);
        dvr->RegisterDVRHandler();
        Open(WND::LIVEVIEW, WND::INVALID);
    }

    void TearDown() override
    {
        // Leave no recording running behind the end of the process.
        Post(dvr->CurrentWindow(), WM::CLOSE, WND::DUMMY);
        PumpFor(300);
        dvr->Finalize();
    }
};

TEST_F(FromLiveview, MenuKeyOpensTheMenuAndBringsTheRecordingLiveViewBack)
{
    // Recording, and past the seconds after the start in which MENU is ignored.
    ASSERT_TRUE(PumpUntil([this](const ipc_msg_t&) {
        return SeenCount(Is(WND::LIVEVIEW, WM::START_NORMAL_MODE)) > 0
            && SeenCount(Is(WND::LIVEVIEW, WM::TIMER, TIMER::PREVENT_TO_OPEN_MENU)) > 0;
    }, 15000));
    Singleton<vk::FileLists>::Inst()->Open();
    pref->SetVolume(vk::SYSTEM::VOLUME::LEVEL_1);

    Key(PARAM1::KEY_MENU);
    ASSERT_TRUE(Reached(WND::MAINMENU));
    EXPECT_EQ(SeenCount(Is(WND::LIVEVIEW, WM::CLOSE, WND::MAINMENU)), 1u);
    EXPECT_EQ(SeenCount(Is(WND::LIVEVIEW, WM::STOP_NORMAL_MODE)), 1u) << "no recording while the menu is open";
    EXPECT_TRUE(Singleton<vk::FileLists>::Inst()->NeedReload()) << "the lists are read again";
    Screenshot("main_menu_from_liveview");

    testing::internal::CaptureStdout();
    Key(PARAM1::KEY_MENU);
    ASSERT_TRUE(Reached(WND::LIVEVIEW));
    EXPECT_EQ(runmode::Count(testing::internal::GetCapturedStdout(), "[Pref]Save "), 1u);
    size_t starts = SeenCount(Is(WND::LIVEVIEW, WM::START_NORMAL_MODE));
    EXPECT_TRUE(PumpUntil(Is(WND::LIVEVIEW, WM::START_NORMAL_MODE), 10000)) << "the live view records again";
    EXPECT_EQ(SeenCount(Is(WND::LIVEVIEW, WM::START_NORMAL_MODE)), starts + 1);
}

} // namespace
} // namespace menutest
