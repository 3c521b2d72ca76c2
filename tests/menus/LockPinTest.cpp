// The menu lock: a new PIN entered twice, the stored PIN to switch the lock
// off and to open the locked menu, and the pad itself.

#include "tests/menus/MenuFixture.h"

#include "dashrec/menus/CLockPin.h"

namespace menutest {
namespace {

using vk::CLockPin;
namespace SYSTEM = vk::SYSTEM;

class LockPin : public MenuTest {
protected:
    void SetUp() override
    {
        MenuTest::SetUp();
        Make<vk::CSecurity>(WND::SECURITY);
        Make<vk::CPw1>(WND::PW_1);
        Make<vk::CPw2>(WND::PW_2);
        Make<vk::ConfirmPw>(WND::CONFIRM_PW);
        Make<vk::CMenuPw>(WND::MENU_PW);
        Open(WND::MAINMENU, WND::LIVEVIEW);
    }

    // Types digits on the current pad: buttons 2 to 10 carry 1 to 9, button 11 carries 0.
    void Type(const std::string& digits)
    {
        for (char d : digits)
            Choose(d == '0' ? 11u : unsigned(1 + d - '0'));
    }

    // The pad's answer to a complete code, after its 500 ms.
    bool Answered(WND::ID pad)
    {
        return Handled([&] { return dvr->CurrentWindow() != pad && opened == dvr->CurrentWindow(); });
    }

    obj_common* Component(WND::ID pad, int id) { return vk::Resource::Inst()->GetStateComponent(pad, id); }
    int BoxText() { return static_cast<obj_text*>(Component(WND::MESSAGE_BOX, 1000))->text_id; }
};

TEST_F(LockPin, ANewPinEnteredTwiceSwitchesTheLockOn)
{
    Open(WND::SECURITY, WND::SYSTEM);
    Choose(2); // LEFT: shows ON and goes to the new PIN
    auto value = static_cast<obj_text*>(Component(WND::SECURITY, 11));
    EXPECT_EQ(value->text_id, STR::ON);
    ASSERT_TRUE(Answered(WND::SECURITY));
    ASSERT_EQ(dvr->CurrentWindow(), WND::PW_1);
    Type("1234");
    Key(PARAM1::KEY_OK); // ignored once four digits are in
    EXPECT_STREQ(pref->GetTempLockPinBuffer1(), "1234");
    ASSERT_TRUE(Answered(WND::PW_1));
    ASSERT_EQ(dvr->CurrentWindow(), WND::PW_2);
    Type("1234");
    ASSERT_TRUE(Answered(WND::PW_2));
    EXPECT_EQ(dvr->CurrentWindow(), WND::MESSAGE_BOX);
    EXPECT_EQ(BoxText(), STR::PW_HAS_BEEN_SET);
    EXPECT_TRUE(pref->GetSecurity());
    EXPECT_TRUE(pref->DoesLockPinMatch("1234"));
    ASSERT_TRUE(Answered(WND::MESSAGE_BOX));
    EXPECT_EQ(dvr->CurrentWindow(), WND::SECURITY);
    EXPECT_EQ(value->text_id, STR::ON);
}

TEST_F(LockPin, TwoDifferentEntriesLeaveTheLockOff)
{
    Open(WND::PW_1, WND::SECURITY);
    Type("1234");
    ASSERT_TRUE(Answered(WND::PW_1));
    Type("4321");
    ASSERT_TRUE(Answered(WND::PW_2));
    EXPECT_EQ(BoxText(), STR::PW_NOT_MATCH);
    EXPECT_FALSE(pref->GetSecurity());
}

TEST_F(LockPin, TheStoredPinSwitchesTheLockOffAndAWrongOneDoesNot)
{
    pref->SetSecurity(SYSTEM::SECURITY::ON, "2580");
    for (const char* pin : { "2581", "2580" }) {
        Open(WND::SECURITY, WND::SYSTEM);
        Choose(3); // RIGHT: shows OFF and asks for the PIN
        ASSERT_TRUE(Answered(WND::SECURITY));
        ASSERT_EQ(dvr->CurrentWindow(), WND::CONFIRM_PW);
        Type(pin);
        ASSERT_TRUE(Answered(WND::CONFIRM_PW));
        bool right = std::string(pin) == "2580";
        EXPECT_EQ(dvr->CurrentWindow(), right ? WND::SECURITY : WND::MESSAGE_BOX) << pin;
        EXPECT_EQ(pref->GetSecurity(), !right) << pin;
    }
}

TEST_F(LockPin, TheStoredPinOpensTheLockedMenu)
{
    pref->SetSecurity(SYSTEM::SECURITY::ON, "7294");
    Open(WND::MENU_PW, WND::LIVEVIEW);
    Type("7294");
    ASSERT_TRUE(Answered(WND::MENU_PW));
    EXPECT_EQ(dvr->CurrentWindow(), WND::MAINMENU);

    pref->SetSecurity(SYSTEM::SECURITY::ON, "1111");
    Open(WND::MENU_PW, WND::LIVEVIEW);
    Type("7294"); // the factory PIN opens only while it is the stored one
    ASSERT_TRUE(Answered(WND::MENU_PW));
    EXPECT_EQ(BoxText(), STR::PW_NOT_MATCH);
    ASSERT_TRUE(Answered(WND::MESSAGE_BOX));
    EXPECT_EQ(dvr->CurrentWindow(), WND::LIVEVIEW);
}

// The last digit stands in clear for a second; the fourth one moves on after
// 500 ms even while it is still shown.
TEST_F(LockPin, PadShowsTheLastDigitAndMovesOnBeforeItHides)
{
    Open(WND::PW_1, WND::SECURITY);
    Choose(1); // BACKSPACE on an empty pad
    EXPECT_STREQ(pref->GetTempLockPinBuffer1(), "");
    Type("58");
    EXPECT_TRUE(Component(WND::PW_1, 201)->IsShown());
    EXPECT_FALSE(Component(WND::PW_1, 101)->IsShown());
    EXPECT_FALSE(Component(WND::PW_1, 200)->IsShown());
    EXPECT_STREQ(static_cast<obj_text*>(Component(WND::PW_1, 201))->text_ptr, "8");
    ASSERT_TRUE(PumpUntil(Is(WND::PW_1, WM::TIMER, TIMER::WAITING_FOR_DIGIT)));
    EXPECT_FALSE(Component(WND::PW_1, 201)->IsShown());
    EXPECT_TRUE(Component(WND::PW_1, 101)->IsShown());
    Choose(1); // BACKSPACE
    EXPECT_STREQ(pref->GetTempLockPinBuffer1(), "5");
    Type("123");
    size_t fourth = seen.size();
    ASSERT_TRUE(Answered(WND::PW_1));
    EXPECT_EQ(dvr->CurrentWindow(), WND::PW_2);
    for (size_t i = fourth; i < seen.size() && !Is(WND::PW_1, WM::CLOSE)(seen[i]); ++i)
        EXPECT_FALSE(Is(WND::PW_1, WM::TIMER, TIMER::WAITING_FOR_DIGIT)(seen[i])) << "the last digit was still shown";
    Key(PARAM1::KEY_MENU);
    EXPECT_TRUE(Reached(WND::PW_1)) << "MENU leaves the pad unchanged";
}

TEST_F(LockPin, Screens)
{
    pref->SetLanguage(SYSTEM::LANGUAGE::ENGLISH);
    Open(WND::PW_1, WND::SECURITY);
    Type("47");
    Screenshot("lock_pin");
}

} // namespace
} // namespace menutest
