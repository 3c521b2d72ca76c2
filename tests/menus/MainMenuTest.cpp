// The main menu, the message box and the settings pattern, driven through the
// bus: where each item leads, the storage checks, the box's two seconds, the
// way back to the live view with its save and format request, the time-out.

#include "tests/menus/MenuFixture.h"

#include "dashrec/dvr/FileLists.h"

namespace menutest {
namespace {

using runmode::Count;

enum MainButton { RETURN, PLAYBACK, BACKUP, MEMORY, RECORDING, PARKING, SYSTEM };

class MainMenu : public MenuTest {
protected:
    void SetUp() override
    {
        MenuTest::SetUp();
        Open(WND::LIVEVIEW, WND::INVALID);
        Open(WND::MAINMENU, WND::LIVEVIEW);
    }
};

TEST_F(MainMenu, ItemsLeadToTheirScreens)
{
    struct Case {
        MainButton button;
        int target;
    } const cases[] = {
        { MEMORY, WND::MEMORY },
        { RECORDING, WND::NORMAL_RECORDING },
        { PARKING, WND::PARKING },
        { SYSTEM, WND::SYSTEM },
        { RETURN, WND::LIVEVIEW }, // through KEY_MENU without a second click
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Leads(c.button), c.target) << "button " << c.button;
        EXPECT_EQ(LastClose(WND::MAINMENU).param2, WND::MAINMENU);
        Open(WND::MAINMENU, WND::LIVEVIEW);
    }
    EXPECT_EQ(SeenCount(Is(WND::MAINMENU, WM::BUTTON, PARAM1::KEY_MENU)), 1u);
}

TEST_F(MainMenu, PlaybackAndBackupNeedTheirStorageOrShowABoxForTwoSeconds)
{
    struct Case {
        const char* name;
        bool internal;
        bool card;
        MainButton button;
        int opened;   // the screen asked for, 0: a box instead
        STR::ID text; // of the box
    } const cases[] = {
        { "playback, card medium, no card", false, false, PLAYBACK, 0, STR::NO_SD_CARD },
        { "playback, card medium, card in", false, true, PLAYBACK, WND::PLAYBACK, STR::EMPTY },
        { "playback, internal medium", true, false, PLAYBACK, WND::PLAYBACK, STR::EMPTY },
        { "backup, card medium, card in", false, true, BACKUP, 0, STR::NO_USB_MEMORY },
        { "backup, internal medium, no card", true, false, BACKUP, 0, STR::NO_USB_MEMORY },
        { "backup, internal medium, card in", true, true, BACKUP, WND::BACKUP_FILE, STR::EMPTY },
    };
    auto text = static_cast<obj_text*>(vk::Resource::Inst()->GetStateComponent(WND::MESSAGE_BOX, 1000));
    for (const Case& c : cases) {
        if (c.card)
            runmode::InsertCard("");
        c.internal ? pref->SetInternalStorageRecording() : pref->SetSdCardRecording();
        seen.clear();
        if (c.opened != 0) {
            EXPECT_EQ(Leads(c.button), c.opened) << c.name;
        } else {
            Choose(c.button);
            ASSERT_TRUE(Reached(WND::MESSAGE_BOX)) << c.name;
            EXPECT_EQ(text->text_id, c.text) << c.name;
            long long left = Singleton<vk::UITimer>::Inst()->Remaining(WND::MESSAGE_BOX, TIMER::CLOSE_PAGE);
            EXPECT_GT(left, 1000) << c.name;
            EXPECT_LE(left, +vk::CMessageBox::SHOW_MS) << c.name;
            // Keys are ignored while the box is up; it returns when its timer fires.
            Key(PARAM1::KEY_DOWN);
            Key(PARAM1::KEY_OK);
            EXPECT_EQ(dvr->CurrentWindow(), WND::MESSAGE_BOX) << c.name;
            ASSERT_TRUE(Reached(WND::MAINMENU)) << c.name;
            EXPECT_EQ(SeenCount(Is(WND::MESSAGE_BOX, WM::TIMER, TIMER::CLOSE_PAGE)), 1u) << c.name;
            EXPECT_EQ(menu->GetButtonsFocused(), unsigned(c.button)) << c.name << ": focus kept";
        }
        Open(WND::MAINMENU, WND::LIVEVIEW);
        if (c.card)
            runmode::RemoveCard();
    }
}

TEST_F(MainMenu, OpeningFromTheLiveViewMarksTheFileListsStale)
{
    Singleton<vk::FileLists>::Inst()->Open();
    ASSERT_FALSE(Singleton<vk::FileLists>::Inst()->NeedReload());
    Open(WND::MAINMENU, WND::SYSTEM);
    EXPECT_FALSE(Singleton<vk::FileLists>::Inst()->NeedReload());
    Open(WND::MAINMENU, WND::LIVEVIEW);
    EXPECT_TRUE(Singleton<vk::FileLists>::Inst()->NeedReload());
    auto version = static_cast<obj_text*>(vk::Resource::Inst()->GetStateComponent(WND::MAINMENU, 160));
    EXPECT_STREQ(version->text_ptr, vk::Resource::Inst()->GetVersion());
}

// Settings change in memory in the screens and are written once, whenever
// the menus close to the live view: by MENU from the main menu, by HOME from
// a settings screen, or by the 30 s time-out wherever the driver is. A power
// cut after that loses nothing.
TEST_F(MainMenu, SettingsAreSavedWheneverTheMenusCloseToTheLiveView)
{
    enum Way { MENU_FROM_MAIN, HOME_FROM_SYSTEM, TIME_OUT_IN_MAIN, TIME_OUT_IN_SYSTEM };
    const struct {
        const char* name;
        Way way;
    } cases[] = {
        { "MENU in the main menu", MENU_FROM_MAIN },
        { "HOME in the system menu", HOME_FROM_SYSTEM },
        { "time-out in the main menu", TIME_OUT_IN_MAIN },
        { "time-out in the system menu", TIME_OUT_IN_SYSTEM },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int volume = pref->GetVolume();
        EXPECT_EQ(Leads(SYSTEM), WND::SYSTEM);
        Choose(3); // VOLUME
        int stepped = (volume + 1) % 4;
        EXPECT_EQ(pref->GetVolume(), stepped);
        testing::internal::CaptureStdout();
        if (c.way == MENU_FROM_MAIN || c.way == TIME_OUT_IN_MAIN) {
            Key(PARAM1::KEY_MENU);
            ASSERT_TRUE(Reached(WND::MAINMENU));
        }
        if (c.way == TIME_OUT_IN_MAIN || c.way == TIME_OUT_IN_SYSTEM) {
            long long left = runmode::Armed(TIMER::CMAIN_DVR_SHOW_MENU);
            EXPECT_GT(left, 20000);
            EXPECT_LE(left, +vk::CMainDvr::MENU_SHOW_TIME_COUNTER);
            runmode::FireTimer(TIMER::CMAIN_DVR_SHOW_MENU);
        } else if (c.way == MENU_FROM_MAIN) {
            Key(PARAM1::KEY_MENU);
        } else {
            Choose(0); // HOME
        }
        ASSERT_TRUE(Reached(WND::LIVEVIEW));
        std::string log = testing::internal::GetCapturedStdout();
        EXPECT_EQ(Count(log, "[Pref]Save "), 1u);
        EXPECT_EQ(dvr->CurrentWindow(), WND::LIVEVIEW);
        pref->Init(); // what the EEPROM holds
        EXPECT_EQ(pref->GetVolume(), stepped);
        Open(WND::MAINMENU, WND::LIVEVIEW);
    }
}

// A message box over the live view is no way out of the menus: nothing is written.
TEST_F(MainMenu, TheLiveViewBackFromABoxOutsideTheMenusDoesNotSave)
{
    Key(PARAM1::KEY_MENU);
    ASSERT_TRUE(Reached(WND::LIVEVIEW));
    testing::internal::CaptureStdout();
    dvr->SetMessageBox(STR::NO_SD_CARD, WND::LIVEVIEW);
    ASSERT_TRUE(Reached(WND::MESSAGE_BOX));
    Singleton<vk::UITimer>::Inst()->Kill(WND::MESSAGE_BOX, TIMER::CLOSE_PAGE);
    Post(WND::MESSAGE_BOX, WM::TIMER, TIMER::CLOSE_PAGE);
    ASSERT_TRUE(Reached(WND::LIVEVIEW));
    EXPECT_EQ(Count(testing::internal::GetCapturedStdout(), "[Pref]Save "), 0u);
}

TEST_F(MainMenu, LeavingToAnotherScreenDoesNotSave)
{
    testing::internal::CaptureStdout();
    EXPECT_EQ(Leads(SYSTEM), WND::SYSTEM);
    Choose(2); // VOICE_GUIDANCE
    Key(PARAM1::KEY_MENU);
    ASSERT_TRUE(Reached(WND::MAINMENU));
    EXPECT_EQ(Count(testing::internal::GetCapturedStdout(), "[Pref]Save "), 0u);
}

// Pending values that need a format send the way home through the format
// dialog, with the live view as the caller.
TEST_F(MainMenu, PendingValuesThatNeedAFormatAskForItOnTheWayHome)
{
    pref->SetTempVideoSize(pref->GetVideoSize() == vk::RECORDING::VIDEO_SIZE::HD ? vk::RECORDING::VIDEO_SIZE::FHD
                                                                                  : vk::RECORDING::VIDEO_SIZE::HD);
    ASSERT_TRUE(pref->FormatNeeded());
    Key(PARAM1::KEY_MENU);
    ASSERT_TRUE(Handled([&] { return LastClose(WND::MAINMENU).cmd == WM::CLOSE; }));
    EXPECT_EQ(LastClose(WND::MAINMENU).param1, WND::MENU_FORMAT);
    EXPECT_EQ(LastClose(WND::MAINMENU).param2, 0xF103E9);
    ASSERT_TRUE(Reached(WND::MENU_FORMAT));

    Open(WND::SYSTEM, WND::MAINMENU);
    EXPECT_EQ(Leads(0), WND::MENU_FORMAT); // HOME
    EXPECT_EQ(LastClose(WND::SYSTEM).param2, 0xF103E9);

    pref->SetTempVideoSize(pref->GetVideoSize());
    Open(WND::SYSTEM, WND::MAINMENU);
    EXPECT_EQ(Leads(0), WND::LIVEVIEW);
}

TEST_F(MainMenu, TheMenuRefusesNothingTheBoxAndTheSettingsRefuseOtherWindows)
{
    Key(PARAM1::KEY_DOWN);
    Post(WND::PLAYBACK, WM::BUTTON, PARAM1::KEY_DOWN); // the loop passes only its own
    ipc_msg_t stray = runmode::Message(WND::PLAYBACK, WM::BUTTON, PARAM1::KEY_DOWN);
    menu->OnMessage(stray);
    PumpFor(60);
    EXPECT_EQ(menu->GetButtonsFocused(), 2u);

    Open(WND::SYSTEM, WND::MAINMENU);
    testing::internal::CaptureStdout();
    ipc_msg_t toOther = runmode::Message(WND::PLAYBACK, WM::BUTTON, PARAM1::KEY_DOWN);
    windows.at(WND::SYSTEM)->OnMessage(toOther);
    windows.at(WND::MESSAGE_BOX)->OnMessage(toOther);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("[CMenuSystem]A message from WND:2300. REGECTEDn"), std::string::npos) << out;
    EXPECT_NE(out.find("[CMessageBox]A message from WND:2300. REGECTEDn"), std::string::npos) << out;
    EXPECT_EQ(windows.at(WND::SYSTEM)->GetButtonsFocused(), 0u);
}

TEST_F(MainMenu, Screens)
{
    Key(PARAM1::KEY_DOWN);
    Screenshot("main_menu");
    Choose(PLAYBACK); // no card: the box over the menu
    ASSERT_TRUE(Reached(WND::MESSAGE_BOX));
    PumpFor(50);
    Screenshot("message_box", false);
}

} // namespace
} // namespace menutest
