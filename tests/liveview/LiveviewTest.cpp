// The live view driven through the bus with the engine replaying pre-encoded
// video and a card laid out by cardform: the recording modes, the special
// recordings, the keys, touch calibration and the screen. The test thread is
// the main loop: it receives every message, hands it on as the run mode would
// and keeps it, so the messages posted and the timers that fired are seen.

#include "bmworks/bmworks.h"
#include "dashrec/core/CMain.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Sound.h"
#include "dashrec/core/SystemClock.h"
#include "dashrec/devices/LED.h"
#include "dashrec/devices/Micom.h"
#include "dashrec/dvr/CLiveview.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/dvr/EngineCallbacks.h"
#include "dashrec/dvr/RecContoller.h"
#include "dashrec/ui/Resource.h"
#include "dashrec/ui/UITimer.h"
#include "host/display/LcdShot.h"
#include "host/soc/Vo.h"
#include "mpp_comm/soc_vi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using vk::CLiveview;
using vk::Singleton;
namespace WM = vk::WM;
namespace WND = vk::WND;
namespace TIMER = vk::TIMER;
namespace PARAM1 = vk::PARAM1;

std::string Source()
{
    return std::getenv("DASHREC_SOURCE_DIR");
}

int Shell(const std::string& command)
{
    return std::system(command.c_str());
}

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// Recordings of a folder that carry a name (claimed from the pool), per camera letter.
size_t Recordings(const std::string& folder, const std::string& prefix, char camera)
{
    size_t n = 0;
    DIR* dir = opendir(("/mnt/extsd/" + folder).c_str());
    if (dir == nullptr)
        return 0;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name.rfind(prefix, 0) == 0 && name.size() == 22 && name[17] == camera)
            ++n;
    }
    closedir(dir);
    return n;
}

// Sets the wall clock to a local time in December 2026 (the 13th, 20th and 27th are Sundays).
bool SetDecember2026(int mday, int hour, int min)
{
    std::tm local {};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 11;
    local.tm_mday = mday;
    local.tm_hour = hour;
    local.tm_min = min;
    local.tm_isdst = -1;
    return vk::SystemClock::Set(timeval { std::mktime(&local), 0 }) == 0;
}

long long NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

struct Seen {
    ipc_msg_t msg;
    long long at;
};

class Liveview : public ::testing::Test {
protected:
    void Boot(bool card = true, const char* rearStatus = "0")
    {
        if (card)
            InsertCard();
        ASSERT_EQ(Shell(std::string("mkdir -p /sys/devices/tp2825b && echo ") + rearStatus
                        + " > /sys/devices/tp2825b/status"),
                  0);
        std::string replay = std::string(std::getenv("DASHREC_BINARY_DIR")) + "/soc-replay";
        Shell("mkdir -p " + replay);
        setenv("DASHREC_SOC_VENC", "replay", 1);
        setenv("DASHREC_SOC_REPLAY_DIR", replay.c_str(), 1);
        ASSERT_EQ(chdir(std::getenv("DASHREC_BINARY_DIR")), 0);
        Singleton<vk::CMain>::Inst()->CheckParkingRecovery();
        Singleton<vk::SDDebug>::Inst()->Init();
        pref = Singleton<vk::Pref>::Inst();
        pref->Init();
        pref->SetSdCardRecording();
        pref->SetView(vk::SYSTEM::VIEW::FRONT);
        pref->SetBootMessage(false);
        pref->SetBootAnnounce(false); // as after a power-on: the first start is silent
        pref->TurnOnPower();
        Singleton<vk::Sound>::Inst()->Init();
        dvr = Singleton<vk::CMainDvr>::Inst();
        dvr->Initialize(true);
        Singleton<vk::UITimer>::Inst()->Start();
        view = std::make_shared<CLiveview>(WND::LIVEVIEW);
        dvr->RegisterHandler(WND::LIVEVIEW, view);
        dvr->RegisterDVRHandler();
        dvr->SetPage(WND::LIVEVIEW, 0);
        ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, WM::INIT), 2000));
    }

    void InsertCard()
    {
        std::string cardSh = Source() + "/host/card/card.sh";
        ASSERT_EQ(Shell(cardSh + " make /tmp/sd.img 8192"), 0);
        ASSERT_EQ(Shell(cardSh + " attach sd /tmp/sd.img"), 0);
        ASSERT_EQ(Shell(std::string(CARDFORM) + " /dev/mmcblk1 wqhd fhd 30 30 sd sd mstar > /tmp/cardform.txt"), 0);
        ASSERT_EQ(Shell("mkdir -p /mnt/extsd && mount /dev/mmcblk1p1 /mnt/extsd/"), 0);
    }

    void TearDown() override
    {
        if (dvr == nullptr)
            return;
        // Leave no recording running behind the end of the process.
        Post(WND::LIVEVIEW, WM::CLOSE, WND::DUMMY);
        PumpFor(300);
        dvr->Finalize();
    }

    static std::function<bool(const ipc_msg_t&)> Is(int wnd, int cmd, int param1 = -1)
    {
        return [=](const ipc_msg_t& m) { return m.wnd == wnd && m.cmd == cmd && (param1 < 0 || m.param1 == param1); };
    }

    static std::function<bool(const ipc_msg_t&)> Timer(int tid) { return Is(WND::LIVEVIEW, WM::TIMER, tid); }

    void Post(int wnd, int cmd, int param1 = 0, int param2 = 0, void* ptr = nullptr)
    {
        vk::UIQueue::Inst()->SendMessage(wnd, cmd, param1, param2, ptr);
    }

    // One message as the run mode's loop handles it; what only the run mode
    // itself would act on is kept and not acted on.
    void Dispatch(ipc_msg_t& msg)
    {
        if (msg.cmd == WM::CHANGE_PAGE)
            dvr->SetPage(WND::ID(msg.param1), msg.param2);
        else if (msg.wnd != WND::CMAIN_DVR && msg.cmd != WM::REBOOT && msg.cmd != WM::SHUTDOWN)
            dvr->OnDefault(msg);
    }

    // Handles messages until one that matches has been handled; false on time-out.
    bool PumpUntil(const std::function<bool(const ipc_msg_t&)>& done, int timeoutMs)
    {
        long long end = NowMs() + timeoutMs;
        while (NowMs() < end) {
            ipc_msg_t msg {};
            if (vk::UIQueue::Inst()->RecvMessage(msg, 20) <= 0)
                continue;
            Dispatch(msg);
            seen.push_back({ msg, NowMs() });
            if (done(msg))
                return true;
        }
        return false;
    }

    void PumpFor(int ms)
    {
        PumpUntil([](const ipc_msg_t&) { return false; }, ms);
    }

    size_t SeenCount(const std::function<bool(const ipc_msg_t&)>& match) const
    {
        return static_cast<size_t>(std::count_if(seen.begin(), seen.end(), [&](const Seen& s) { return match(s.msg); }));
    }

    void Button(int param1, int param2 = 0, void* ptr = nullptr)
    {
        Post(WND::LIVEVIEW, WM::BUTTON, param1, param2, ptr);
        PumpUntil(Is(WND::LIVEVIEW, WM::BUTTON, param1), 1000);
        PumpFor(100);
    }

    // Power on to continuous recording: the start delay, then the start itself.
    void StartNormal()
    {
        ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, WM::START_NORMAL_MODE), 8000));
        ASSERT_EQ(view->State(), CLiveview::NORMAL);
        ASSERT_TRUE(Running(Normal, true));
    }

    // Waits for the engine to run (or not run) a record type on every camera.
    bool Running(RecordType type, bool on, int timeoutMs = 3000)
    {
        BmWorks* engine = BmWorks::Inst();
        long long end = NowMs() + timeoutMs;
        do {
            bool front = engine->bmMux[Front].IsRunRecord(type);
            bool rear = engine->bmMux[Rear].IsRunRecord(type);
            if (on ? front && rear : !front && !rear)
                return true;
            PumpFor(50);
        } while (NowMs() < end);
        return false;
    }

    // Whether a clip was handed to the player exactly n times; the player runs
    // in the background, so a slow machine gets time to show the calls.
    bool PlayedTimes(const std::string& clip, size_t n)
    {
        std::string log = std::string(std::getenv("DASHREC_HOST_DIR")) + "/shims.log";
        PumpFor(300);
        for (int waited = 0; waited < 3000 && Count(ReadFile(log), clip) < n; waited += 100)
            PumpFor(100);
        return Count(ReadFile(log), clip) == n;
    }

    bool Led(uint32_t bits) const { return (Singleton<vk::LED>::Inst()->State() & bits) == bits; }
    obj_common* Object(int id) { return vk::Resource::Inst()->GetStateComponent(WND::LIVEVIEW, id); }
    bool Shown(int id) { return Object(id)->IsShown(); }
    std::string Text(int id) { return static_cast<obj_text*>(Object(id))->text_ptr; }

    // Milliseconds left of a timer of the live view; -1 when none is armed.
    static long long Left(TIMER::ID tid) { return Singleton<vk::UITimer>::Inst()->Remaining(WND::LIVEVIEW, tid); }

    // The length a timer was armed for by a message posted at `postedMs`: the
    // time since then counts back in, so a slow machine reads no less.
    static long long ArmedMs(TIMER::ID tid, long long postedMs)
    {
        long long left = Left(tid);
        return left < 0 ? -1 : left + (NowMs() - postedMs);
    }

    // The timer runs out now rather than after its real seconds.
    void Expire(TIMER::ID tid)
    {
        Singleton<vk::UITimer>::Inst()->Kill(WND::LIVEVIEW, tid);
        Post(WND::LIVEVIEW, WM::TIMER, tid);
        PumpUntil(Timer(tid), 1000);
    }

    // One overlay update now, and the repaint it asks for.
    void UpdateView()
    {
        Post(WND::LIVEVIEW, WM::TIMER, TIMER::UPDATE_VIEW);
        PumpUntil(Timer(TIMER::UPDATE_VIEW), 1000);
        PumpUntil(Is(WND::LIVEVIEW, WM::PAINT), 1000);
    }

    // Without a card the view opens on the no-card box; out of the way of what is looked at.
    void DismissNoCardBox()
    {
        Singleton<vk::UITimer>::Inst()->Kill(WND::LIVEVIEW, TIMER::SDCARD_REMOVED_WARNING);
        Expire(TIMER::HIDE_MESSAGE_BOX);
    }

    static std::string ScreenshotDir()
    {
        std::string dir = std::string(std::getenv("DASHREC_BINARY_DIR")) + "/screenshots/liveview";
        Shell("mkdir -p " + dir);
        return dir;
    }

    bool SaveScreen(const std::string& name)
    {
        return soc::VoSaveScreenPng((ScreenshotDir() + "/" + name).c_str(), vk::Resource::Inst()->GetHandle()->window);
    }

    vk::Pref* pref = nullptr;
    vk::CMainDvr* dvr = nullptr;
    std::shared_ptr<CLiveview> view;
    std::vector<Seen> seen;
};

TEST_F(Liveview, PowerOnIsIdleThenNormalOnBothCamerasSilentlyAfterTheStartDelay)
{
    // The start timer is armed while the run mode boots, which takes its while.
    long long opened = NowMs();
    Boot();
    EXPECT_EQ(view->State(), CLiveview::IDLE);
    EXPECT_FALSE(BmWorks::Inst()->IsRunRecord(Normal));
    StartNormal();
    EXPECT_GE(NowMs() - opened, 3400) << "the 3500 ms start delay";
    EXPECT_TRUE(Led(vk::LED::RECORDING));
    EXPECT_FALSE(Led(vk::LED::ERROR));
    EXPECT_TRUE(PlayedTimes("V_recording_begins", 0)) << "the first start after power-on is silent";
    auto paired = [](const ipc_msg_t&) { return Recordings("NORMAL", "NORM", 'F') > 0 && Recordings("NORMAL", "NORM", 'R') > 0; };
    EXPECT_TRUE(PumpUntil(paired, 10000))
        << "a front and a rear file claimed from the pool";

    // Leaving and re-entering continuous recording plays the prompt from now on.
    Post(WND::LIVEVIEW, WM::STOP_NORMAL_MODE);
    ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, WM::STOP_NORMAL_MODE), 1000));
    EXPECT_EQ(view->State(), CLiveview::IDLE);
    EXPECT_FALSE(Led(vk::LED::RECORDING));
    EXPECT_TRUE(Running(Normal, false));
    Post(WND::LIVEVIEW, WM::START_NORMAL_MODE);
    ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, WM::START_NORMAL_MODE), 1000));
    EXPECT_TRUE(PlayedTimes("V_recording_begins", 1));
}

TEST_F(Liveview, ShockStartsOneEventThatLastsItsTimerAndSignalsWithinASecondAreIgnored)
{
    Boot();
    StartNormal();
    Post(WND::LIVEVIEW, WM::GSENSOR_SIGNAL);
    ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, WM::START_EVENT_RECORD), 2000));
    long long eventStart = NowMs();
    uint64_t accepted = BmClock::Inst()->Msec(); // the signal was taken at or before this

    // Signals less than a second after the accepted one start nothing.
    for (int i = 0; i < 3; ++i) {
        Post(WND::LIVEVIEW, WM::GSENSOR_SIGNAL);
        ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, WM::GSENSOR_SIGNAL), 1000));
    }
    ASSERT_LT(BmClock::Inst()->Msec(), accepted + 1000) << "the machine was too slow to signal within the second";
    EXPECT_TRUE(view->Record().event);
    EXPECT_TRUE(Running(Event, true));
    EXPECT_TRUE(Led(vk::LED::EVENT_RECORDING));
    EXPECT_TRUE(Shown(CLiveview::MESSAGE_BOX));
    EXPECT_EQ(static_cast<obj_text*>(Object(CLiveview::MSG_1))->text_id, vk::STR::SHAKE_DETECTION);
    EXPECT_TRUE(PlayedTimes("S_eventrec", 1));
    EXPECT_EQ(SeenCount(Is(WND::LIVEVIEW, WM::START_EVENT_RECORD)), 1u);

    // One more than a second after it: a second request (refused while the first event runs).
    while (BmClock::Inst()->Msec() <= accepted + 1000)
        PumpFor(20);
    Post(WND::LIVEVIEW, WM::GSENSOR_SIGNAL);
    ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, WM::START_EVENT_RECORD), 1000));
    EXPECT_EQ(SeenCount(Is(WND::LIVEVIEW, WM::START_EVENT_RECORD)), 2u);
    EXPECT_TRUE(view->Record().event);

    // The event ends by its 20 s timer.
    ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, WM::STOP_EVENT_RECORD), 23000));
    long long lasted = NowMs() - eventStart;
    EXPECT_GE(lasted, 19500);
    EXPECT_LE(lasted, 22000);
    EXPECT_EQ(SeenCount(Timer(TIMER::EVENT_RECORD_END)), 1u);
    EXPECT_FALSE(view->Record().event);
    EXPECT_FALSE(Led(vk::LED::EVENT_RECORDING));
    EXPECT_TRUE(Led(vk::LED::RECORDING));
    EXPECT_GE(Recordings("EVENT", "EVEN", 'F'), 1u);
}

TEST_F(Liveview, EventStopsTheManualRecordingFirstAndStrayStopsAreIgnored)
{
    Boot();
    StartNormal();
    Post(WND::LIVEVIEW, WM::START_MANUAL_RECORD);
    ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, WM::START_MANUAL_RECORD), 1000));
    EXPECT_TRUE(view->Record().manual);
    EXPECT_TRUE(Running(Manual, true));
    EXPECT_TRUE(Led(vk::LED::MANUAL_RECORDING));

    Post(WND::LIVEVIEW, WM::START_EVENT_RECORD);
    ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, WM::STOP_MANUAL_RECORD), 1000));
    ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, WM::START_EVENT_RECORD), 1000));
    EXPECT_FALSE(view->Record().manual);
    EXPECT_TRUE(view->Record().event);
    EXPECT_TRUE(Running(Manual, false));
    EXPECT_TRUE(Running(Event, true));
    EXPECT_FALSE(Led(vk::LED::MANUAL_RECORDING));
    EXPECT_TRUE(Led(vk::LED::EVENT_RECORDING));

    // Stops queued twice for one recording: the second finds its flag clear.
    for (int cmd : { WM::STOP_EVENT_RECORD, WM::STOP_EVENT_RECORD, WM::STOP_MANUAL_RECORD }) {
        Post(WND::LIVEVIEW, cmd);
        ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, cmd), 1000));
    }
    EXPECT_FALSE(view->Record().event);
    EXPECT_FALSE(Led(vk::LED::EVENT_RECORDING | vk::LED::MANUAL_RECORDING));
    EXPECT_EQ(view->State(), CLiveview::NORMAL);
    EXPECT_TRUE(Running(Normal, true));
}

TEST_F(Liveview, MenuKeyFirstWakesHidesOrWaitsThenStopsRecordingAndOpensTheMenu)
{
    Boot();
    StartNormal();
    struct Step {
        const char* name;
        std::function<void()> setup;
        int opened; // the window asked for, 0: none
    } const steps[] = {
        { "within 2 s of the start", [] {}, 0 },
        { "LCD off",
          [this] {
              PumpUntil(Timer(TIMER::PREVENT_TO_OPEN_MENU), 3000);
              dvr->TurnOffLcd();
          },
          0 },
        { "clock shown", [this] { Post(WND::LIVEVIEW, WM::TIMER, TIMER::CHANGE_VIEW); PumpFor(100); }, 0 },
        { "security lock", [this] { pref->SetSecurity(vk::SYSTEM::SECURITY::ON, "1234"); }, WND::MENU_PW },
    };
    for (const Step& step : steps) {
        step.setup();
        size_t closes = SeenCount(Is(WND::LIVEVIEW, WM::CLOSE));
        Button(PARAM1::KEY_MENU);
        PumpFor(200);
        if (step.opened == 0) {
            EXPECT_EQ(SeenCount(Is(WND::LIVEVIEW, WM::CLOSE)), closes) << step.name;
            EXPECT_EQ(view->State(), CLiveview::NORMAL) << step.name;
        } else {
            EXPECT_EQ(SeenCount(Is(WND::LIVEVIEW, WM::STOP_NORMAL_MODE)), 1u) << step.name;
            EXPECT_EQ(SeenCount(Is(WND::LIVEVIEW, WM::CLOSE, step.opened)), 1u) << step.name;
            EXPECT_TRUE(Running(Normal, false)) << step.name;
        }
    }
    EXPECT_TRUE(dvr->IsLcdOn()) << "the key turned the LCD on";
    EXPECT_FALSE(Shown(CLiveview::CLOCK_BG)) << "the key hid the clock";

    // Without the lock the key opens the main menu, after the recordings stop.
    pref->SetSecurity(vk::SYSTEM::SECURITY::OFF, "1234");
    dvr->SetPage(WND::LIVEVIEW, 0);
    StartNormal();
    ASSERT_TRUE(PumpUntil(Timer(TIMER::PREVENT_TO_OPEN_MENU), 3000));
    Post(WND::LIVEVIEW, WM::START_MANUAL_RECORD);
    ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, WM::START_MANUAL_RECORD), 1000));
    Button(PARAM1::KEY_MENU);
    PumpFor(200);
    ASSERT_EQ(SeenCount(Is(WND::LIVEVIEW, WM::CLOSE, WND::MAINMENU)), 1u);
    EXPECT_GE(SeenCount(Is(WND::LIVEVIEW, WM::STOP_MANUAL_RECORD)), 1u);
    EXPECT_TRUE(Running(Normal, false));
    EXPECT_TRUE(Running(Manual, false));
    EXPECT_FALSE(Led(vk::LED::RECORDING | vk::LED::MANUAL_RECORDING));
    EXPECT_TRUE(Led(vk::LED::MENU));
}

TEST_F(Liveview, CloseToItselfIsRefusedAndCloseToTheBlankWindowLeavesTheLcdOff)
{
    Boot();
    StartNormal();
    Post(WND::LIVEVIEW, WM::CLOSE, WND::LIVEVIEW, WND::LIVEVIEW);
    PumpFor(300);
    EXPECT_EQ(SeenCount(Is(WND::LIVEVIEW, WM::CHANGE_PAGE)), 0u);
    EXPECT_EQ(view->State(), CLiveview::NORMAL);
    EXPECT_TRUE(Running(Normal, true));

    dvr->TurnOffLcd();
    Post(WND::LIVEVIEW, WM::CLOSE, WND::DUMMY, 0);
    ASSERT_TRUE(PumpUntil(Is(WND::DUMMY, WM::INIT), 1000));
    EXPECT_EQ(dvr->CurrentWindow(), WND::DUMMY);
    EXPECT_FALSE(dvr->IsLcdOn());
    EXPECT_EQ(view->State(), CLiveview::IDLE);
    EXPECT_TRUE(Running(Normal, false));
    EXPECT_FALSE(Led(vk::LED::RECORDING));

    // Keys are dead on the blank window.
    Post(WND::DUMMY, WM::BUTTON, PARAM1::KEY_MENU, 0);
    PumpFor(200);
    EXPECT_EQ(dvr->CurrentWindow(), WND::DUMMY);
}

TEST_F(Liveview, ViewKeyCyclesFrontRearBothOnlyWithARearCamera)
{
    Boot(false);
    struct {
        const char* status;
        int expected;
        const char* icon;
    } const presses[] = {
        { "0", 1, "live_ico_pip_r.png" },
        { "0", 2, "live_ico_pip.png" },
        { "0", 0, "live_ico_pip_f.png" },
        { "8", 0, "live_ico_pip_f.png" }, // no rear camera: nothing changes
    };
    for (const auto& p : presses) {
        Shell(std::string("echo ") + p.status + " > /sys/devices/tp2825b/status");
        Button(PARAM1::KEY_DOWN);
        EXPECT_EQ(pref->GetView(), p.expected) << p.icon;
        EXPECT_EQ(BmWorks::Inst()->GetVideoOutConfig(), p.expected) << p.icon;
        EXPECT_EQ(static_cast<obj_button*>(Object(CLiveview::BTN_VIEW))->image_normal,
                  vk::Resource::Inst()->GetSurface(p.icon));
    }
}

void* Reading(int x, int y)
{
    return reinterpret_cast<void*>(static_cast<uintptr_t>(x) << 16 | static_cast<uintptr_t>(y));
}

TEST_F(Liveview, SixPreTouchesEnterCalibrationAndANarrowOneStoresTheDefault)
{
    Boot(false);
    for (int i = 1; i <= 5; ++i)
        Button(PARAM1::TOUCH_PRE, 0, Reading(10, 10));
    EXPECT_FALSE(Shown(CLiveview::LCD_CAL_BG)) << "five pre-touches are not enough";
    ASSERT_TRUE(PumpUntil(Timer(TIMER::CONTINUOUS_TOUCH), 4000)) << "the pre-touch window runs out";
    struct {
        const char* name;
        std::vector<std::pair<int, int>> corners; // upper-left, upper-right, lower-left, lower-right, centre
        int startX, startY, endX, endY;
    } const cases[] = {
        { "wide", { { 400, 300 }, { 3600, 320 }, { 420, 3500 }, { 3620, 3480 }, { 2000, 1900 } },
          410 - 421, 310 - 722, 3610 + 421, 3490 + 722 },
        { "narrow", { { 400, 300 }, { 600, 320 }, { 420, 3500 }, { 620, 3480 }, { 500, 1900 } },
          vk::Pref::DEF_TOUCH_SENSOR_START_X, vk::Pref::DEF_TOUCH_SENSOR_START_Y, vk::Pref::DEF_TOUCH_SENSOR_END_X,
          vk::Pref::DEF_TOUCH_SENSOR_END_Y },
    };
    for (const auto& c : cases) {
        for (int i = 1; i <= 6; ++i)
            Button(PARAM1::TOUCH_PRE, 0, Reading(10, 10));
        ASSERT_TRUE(Shown(CLiveview::LCD_CAL_BG)) << "the sixth pre-touch enters calibration: " << c.name;
        ASSERT_TRUE(Shown(CLiveview::LCD_CAL_UL)) << c.name;
        for (const auto& corner : c.corners)
            Button(PARAM1::TOUCH_PRE, 0, Reading(corner.first, corner.second));
        EXPECT_FALSE(Shown(CLiveview::LCD_CAL_BG)) << c.name;
        int sx, sy, ex, ey;
        pref->GetLcdCalibrationData(&sx, &sy, &ex, &ey);
        EXPECT_EQ(sx, c.startX) << c.name;
        EXPECT_EQ(sy, c.startY) << c.name;
        EXPECT_EQ(ex, c.endX) << c.name;
        EXPECT_EQ(ey, c.endY) << c.name;
    }
}

TEST_F(Liveview, ParkingEntryPassesThroughIdleAndTheNoticeRecordsOnMotionAndLeavesWithTheAlarmSummary)
{
    Boot();
    StartNormal();
    dvr->SetParkingMode(); // ignition off
    Post(WND::LIVEVIEW, WM::START_PARKING_MODE);
    ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, WM::STOP_NORMAL_MODE), 1000));
    ASSERT_TRUE(PumpUntil(Timer(TIMER::START_PARKING_MODE), 1000));
    EXPECT_EQ(view->State(), CLiveview::IDLE);
    EXPECT_TRUE(Shown(CLiveview::MSG_1));
    EXPECT_EQ(static_cast<obj_text*>(Object(CLiveview::MSG_1))->text_id, vk::STR::ENTER_PARKING_MODE);
    long long notice = NowMs();
    ASSERT_TRUE(PumpUntil(Timer(TIMER::START_PARKING_MODE2), 3000));
    EXPECT_GE(NowMs() - notice, 1900) << "the 2 s notice";
    ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, WM::START_PARKING_MODE), 1000));
    EXPECT_EQ(view->State(), CLiveview::PARKING);
    EXPECT_TRUE(Led(vk::LED::PARKING_MODE));
    EXPECT_FALSE(Led(vk::LED::RECORDING));
    EXPECT_TRUE(vk::RecContoller::DoesLiveviewEnterParkingMode());
    EXPECT_FALSE(dvr->IsLcdOn());
    EXPECT_TRUE(PlayedTimes("V_parking_mode", 1));

    // A manual request as the mode turned to parking is ignored.
    Post(WND::LIVEVIEW, WM::START_MANUAL_RECORD);
    ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, WM::START_MANUAL_RECORD), 1000));
    EXPECT_FALSE(view->Record().manual);
    EXPECT_TRUE(Running(Manual, false));

    Post(WND::LIVEVIEW, WM::START_PARKING_RECORD);
    ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, WM::START_PARKING_RECORD), 1000));
    EXPECT_TRUE(view->Record().motion);
    EXPECT_TRUE(Running(Parking, true));
    EXPECT_TRUE(Led(vk::LED::PARKING_RECORDING));

    // Ignition on: out of parking, the alarm summary, and normal recording after 3 s.
    dvr->SetNormalMode();
    Post(WND::LIVEVIEW, WM::STOP_PARKING_MODE, 1);
    ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, WM::STOP_PARKING_MODE), 1000));
    EXPECT_EQ(view->State(), CLiveview::IDLE);
    EXPECT_TRUE(Shown(CLiveview::ALARM_BG));
    EXPECT_FALSE(vk::RecContoller::DoesLiveviewEnterParkingMode());
    EXPECT_FALSE(Led(vk::LED::PARKING_MODE));
    ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, WM::STOP_PARKING_RECORD), 1000));
    EXPECT_TRUE(Running(Parking, false));
    EXPECT_FALSE(Led(vk::LED::PARKING_RECORDING));
    StartNormal();
    EXPECT_GE(Recordings("PARKING", "PARK", 'F'), 1u);
}

TEST_F(Liveview, MotionStartsAParkingRecordingInAnyMode)
{
    Boot();
    struct {
        const char* name;
        bool normal;
    } const modes[] = { { "idle", false }, { "normal", true } };
    for (const auto& mode : modes) {
        if (mode.normal)
            StartNormal();
        ASSERT_EQ(view->State(), mode.normal ? CLiveview::NORMAL : CLiveview::IDLE) << mode.name;
        Post(WND::LIVEVIEW, WM::START_PARKING_RECORD);
        ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, WM::START_PARKING_RECORD), 1000)) << mode.name;
        EXPECT_TRUE(view->Record().motion) << mode.name;
        EXPECT_TRUE(Running(Parking, true)) << mode.name;
        Post(WND::LIVEVIEW, WM::STOP_PARKING_RECORD);
        ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, WM::STOP_PARKING_RECORD), 1000)) << mode.name;
        EXPECT_TRUE(Running(Parking, false)) << mode.name;
    }
}

TEST_F(Liveview, ParkingRecoveryStartEntersParkingSilently)
{
    ASSERT_EQ(Shell("echo 1234 > /tmp/pr"), 0);
    Boot();
    EXPECT_FALSE(Singleton<vk::CMain>::Inst()->IsParkingRecoveryMode()) << "the recovery is taken once";
    ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, WM::START_PARKING_MODE), 6000));
    EXPECT_EQ(view->State(), CLiveview::PARKING);
    EXPECT_TRUE(PlayedTimes("V_parking_mode", 0));
    EXPECT_TRUE(Led(vk::LED::PARKING_MODE));
}

// After a recording error the engine has paused every recording; the live
// view starts them again and its state, LEDs and files follow.
TEST_F(Liveview, RecordingErrorsRestartTheRecordings)
{
    Boot();
    StartNormal();
    const struct {
        const char* name;
        std::function<void()> report;
    } errors[] = {
        { "write errors counted by the run mode",
          [] { vk::UIQueue::Inst()->SendMessage(WND::LIVEVIEW, WM::RECORD_RESTART, 0, 0, nullptr); } },
        { "new file created", [] { vk::CallbackError(Front, Normal, NewFileCreated, "/mnt/extsd/NORMAL/x"); } },
    };
    for (const auto& e : errors) {
        Post(WND::LIVEVIEW, WM::START_EVENT_RECORD);
        ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, WM::START_EVENT_RECORD), 1000)) << e.name;
        ASSERT_TRUE(Running(Event, true)) << e.name;
        size_t before = Recordings("NORMAL", "NORM", 'F');
        e.report();
        ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, WM::RECORD_RESTART), 1000)) << e.name;
        EXPECT_EQ(view->State(), CLiveview::IDLE) << e.name;
        EXPECT_FALSE(view->Record().event) << e.name;
        EXPECT_FALSE(Led(vk::LED::RECORDING)) << e.name;
        EXPECT_FALSE(Led(vk::LED::EVENT_RECORDING)) << e.name;
        EXPECT_TRUE(Running(Normal, false)) << e.name;
        ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, WM::START_NORMAL_MODE), 3000)) << e.name;
        EXPECT_EQ(view->State(), CLiveview::NORMAL) << e.name;
        EXPECT_TRUE(Running(Normal, true)) << e.name;
        EXPECT_TRUE(Led(vk::LED::RECORDING)) << e.name;
        EXPECT_TRUE(PumpUntil([&](const ipc_msg_t&) { return Recordings("NORMAL", "NORM", 'F') > before; }, 10000))
            << e.name << ": recording goes on into a new file";
    }
}

TEST_F(Liveview, NoCardShowsTheBoxAndTheErrorLedAndStartsNothing)
{
    Boot(false);
    EXPECT_TRUE(Shown(CLiveview::MESSAGE_BOX));
    EXPECT_EQ(static_cast<obj_text*>(Object(CLiveview::MSG_1))->text_id, vk::STR::NO_SD_CARD);
    EXPECT_TRUE(Led(vk::LED::ERROR));
    EXPECT_TRUE(PlayedTimes("V_insert_sd", 1));
    PumpFor(4000);
    EXPECT_EQ(view->State(), CLiveview::IDLE);
    EXPECT_FALSE(BmWorks::Inst()->IsRunRecord(Normal));
}

TEST_F(Liveview, AFrontCameraThatStopsDeliveringFramesRebootsOnTheThirdFailedCheck)
{
    Boot();
    StartNormal();
    BmVideo& front = BmWorks::Inst()->bmMux[Front].mVideo;
    ASSERT_EQ(SOC_MPI_VI_DisableVirChn(front.mVideoInDevId[0], front.mVideoInChannelId[0]), 0);
    long long stopped = NowMs();
    ASSERT_TRUE(PumpUntil(Is(WND::CMAIN_DVR, WM::REBOOT), 30000));
    // A check fails after more than 5 s without a frame and again only 6 s later.
    EXPECT_GE(NowMs() - stopped, 15000) << "two failed checks change nothing";
    EXPECT_EQ(pref->GetBootStatus(), vk::SYSTEM::BOOT_MODE::NOTING);
    EXPECT_EQ(SeenCount(Is(WND::CMAIN_DVR, WM::SHUTDOWN)), 0u);
}

// The weekly self-check reboot, step by step on one running view: the wall
// clock is set to each moment and the overlay update runs twice.
TEST_F(Liveview, WeeklySelfCheckRebootsAParkedDeviceOnceEarlyOnMonday)
{
    struct Step {
        const char* what;
        bool selfCheck;
        bool parked;
        int mday;
        int hour;
        int min;
        bool reboots;
    };
    const Step steps[] = {
        { "driving on Sunday arms the check", true, false, 13, 23, 50, false },
        { "parking on Sunday sets the reference", true, true, 13, 23, 58, false },
        { "midnight passes the reference at once", true, true, 14, 0, 0, true },
        { "once per window", true, true, 14, 0, 30, false },
        { "driving after the window re-arms it", true, false, 14, 7, 0, false },
        { "parking on Monday at 03:00", true, true, 21, 3, 0, false },
        { "two minutes later", true, true, 21, 3, 2, true },
        { "driving on Tuesday re-arms it", true, false, 22, 12, 0, false },
        { "self-checking off", false, true, 28, 3, 0, false },
        { "self-checking off, later", false, true, 28, 3, 10, false },
        { "parked outside the window", true, true, 29, 3, 0, false },
    };
    Boot();
    StartNormal();
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.selfCheck ? pref->SetSelfCheckingOn() : pref->SetSelfCheckingOff();
        step.parked ? dvr->SetParkingMode() : dvr->SetNormalMode();
        ASSERT_TRUE(SetDecember2026(step.mday, step.hour, step.min));
        size_t before = SeenCount(Is(WND::CMAIN_DVR, WM::REBOOT));
        PumpFor(1100);
        EXPECT_EQ(SeenCount(Is(WND::CMAIN_DVR, WM::REBOOT)) - before, step.reboots ? 1u : 0u);
    }
    dvr->SetNormalMode();
}

// The clock panel as the overlay update fills it, one moment per row: the
// 12-hour clock with AM/PM, the date with its weekday, the supply voltage and
// the speaker icon of the volume.
TEST_F(Liveview, ClockPanelShowsTheHourWeekdayVoltageAndSpeaker)
{
    struct Row {
        const char* shot;
        int mday;
        int hour;
        int min;
        bool pm;
        const char* shownHour;
        const char* date;
        int volume;
        const char* speaker; // nullptr: the speaker shown plain
        uint16_t voltageAd;
        const char* voltage;
    };
    const Row rows[] = {
        { "clock_0030.png", 14, 0, 30, false, "12", "2026.12.14 월요일", 1, "liveview_speaker_low.png", 644, "12.0V" },
        { "clock_1200.png", 19, 12, 0, true, "12", "2026.12.19 토요일", 2, "liveview_speaker_middle.png", 1310, "24.0V" },
        { "clock_2359.png", 13, 23, 59, true, "11", "2026.12.13 일요일", 3, "liveview_speaker_high.png", 987, "18.0V" },
        { "clock_1305.png", 16, 13, 5, true, "01", "2026.12.16 수요일", 0, nullptr, 0, "0.0V" },
    };
    Boot(false);
    DismissNoCardBox();
    Post(WND::LIVEVIEW, WM::TIMER, TIMER::CHANGE_VIEW);
    ASSERT_TRUE(PumpUntil(Timer(TIMER::CHANGE_VIEW), 1000));
    ASSERT_TRUE(Shown(CLiveview::CLOCK_BG));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.shot);
        pref->SetVolume(vk::SYSTEM::VOLUME::VALUE(row.volume));
        Singleton<vk::Micom>::Inst()->micom_status.voltage = row.voltageAd;
        ASSERT_TRUE(SetDecember2026(row.mday, row.hour, row.min));
        UpdateView();
        EXPECT_EQ(Text(CLiveview::CLOCK_TIME_HOUR), row.shownHour);
        char minute[3];
        std::snprintf(minute, sizeof(minute), "%02d", row.min);
        EXPECT_EQ(Text(CLiveview::CLOCK_TIME_MIN), minute);
        EXPECT_EQ(Object(CLiveview::CLOCK_AMPM)->IsFocused(), row.pm);
        EXPECT_EQ(Text(CLiveview::CLOCK_DATE), row.date);
        EXPECT_EQ(Text(CLiveview::CLOCK_VOLTAGE), row.voltage);
        EXPECT_TRUE(Shown(CLiveview::CLOCK_VOLTAGE));
        auto* speaker = static_cast<obj_button*>(Object(CLiveview::CLOCK_SPEAKER));
        EXPECT_EQ(speaker->IsFocused(), row.speaker != nullptr);
        if (row.speaker != nullptr) {
            EXPECT_EQ(speaker->image_focus, vk::Resource::Inst()->GetSurface(row.speaker));
        }
        EXPECT_TRUE(SaveScreen(row.shot));
    }
}

// Each warning shows its sign and sounds once per report; a report within
// 5 s starts the 5 s again, and the sign goes when they run out. The speed
// limit has no sign: its hide timer runs the delay it is given.
TEST_F(Liveview, WarningsShowSoundAndHideFiveSecondsAfterTheLastReport)
{
    struct Warning {
        int show;
        int hide;
        int object;
        TIMER::ID timer;
        const char* clip;
    };
    const Warning warnings[] = {
        { WM::SHOW_VIOLENCE, WM::HIDE_VIOLENCE, CLiveview::STOP_VIOLENCE, TIMER::HIDE_VIOLENCE, "fcws_warning" },
        { WM::SHOW_LDWS_LEFT, WM::HIDE_LDWS_LEFT, CLiveview::LDWS_LEFT, TIMER::HIDE_LDWS_LEFT, "S_system_error" },
        { WM::SHOW_LDWS_RIGHT, WM::HIDE_LDWS_RIGHT, CLiveview::LDWS_RIGHT, TIMER::HIDE_LDWS_RIGHT, "S_system_error" },
    };
    const std::string shims = std::string(std::getenv("DASHREC_HOST_DIR")) + "/shims.log";
    Boot(false);
    DismissNoCardBox();
    for (const Warning& w : warnings) {
        SCOPED_TRACE(w.clip);
        ASSERT_FALSE(Shown(w.object));
        size_t played = Count(ReadFile(shims), w.clip);
        long long posted = NowMs();
        Post(WND::LIVEVIEW, w.show);
        ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, w.show), 1000));
        EXPECT_TRUE(Shown(w.object));
        EXPECT_GE(ArmedMs(w.timer, posted), 4990);
        EXPECT_LE(Left(w.timer), 5000);
        EXPECT_TRUE(PlayedTimes(w.clip, played + 1));

        // Over 300 ms later (PlayedTimes waits so long): 5 s from this report.
        posted = NowMs();
        Post(WND::LIVEVIEW, w.show);
        ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, w.show), 1000));
        EXPECT_GE(ArmedMs(w.timer, posted), 4990) << "the second report starts the 5 s again";
        EXPECT_TRUE(PlayedTimes(w.clip, played + 2));
        EXPECT_TRUE(Shown(w.object));
    }
    EXPECT_TRUE(SaveScreen("warnings.png"));
    for (const Warning& w : warnings) {
        Expire(w.timer);
        ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, w.hide), 1000)) << w.clip;
        EXPECT_FALSE(Shown(w.object)) << w.clip;
    }

    Post(WND::LIVEVIEW, WM::SHOW_LIMIT_SPEED, 0, 80);
    ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, WM::SHOW_LIMIT_SPEED), 1000));
    EXPECT_FALSE(Shown(CLiveview::SPEED_LINIT));
    long long posted = NowMs();
    Post(WND::LIVEVIEW, WM::HIDE_LIMIT_SPEED, 10);
    ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, WM::HIDE_LIMIT_SPEED), 1000));
    EXPECT_GE(ArmedMs(TIMER::HIDE_LIMIT_SPEED, posted), 9990);
    EXPECT_LE(Left(TIMER::HIDE_LIMIT_SPEED), 10000);
    testing::internal::CaptureStdout();
    Expire(TIMER::HIDE_LIMIT_SPEED);
    EXPECT_EQ(testing::internal::GetCapturedStdout().find("is not handled"), std::string::npos);
    EXPECT_FALSE(Shown(CLiveview::SPEED_LINIT));
    Post(WND::LIVEVIEW, WM::HIDE_LIMIT_SPEED, 0);
    ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, WM::HIDE_LIMIT_SPEED), 1000));
    EXPECT_EQ(Left(TIMER::HIDE_LIMIT_SPEED), -1) << "a delay of 0 hides at once";
    EXPECT_TRUE(SaveScreen("warnings_gone.png"));
}

// What the driver sees: the overlay over the camera picture.
TEST_F(Liveview, Screens)
{
    std::string dir = std::string(std::getenv("DASHREC_BINARY_DIR")) + "/screenshots/liveview";
    Shell("mkdir -p " + dir);
    Boot(true);
    StartNormal();
    // A touch away from the buttons shows them.
    Button(PARAM1::TOUCH, 240 << 12 | 160);
    EXPECT_TRUE(Shown(CLiveview::BTN_HOME));
    PumpFor(600);
    ui_handle_t* ui = vk::Resource::Inst()->GetHandle();
    EXPECT_TRUE(soc::VoSaveScreenPng((dir + "/normal.png").c_str(), ui->window));
    EXPECT_TRUE(host::SaveLcdPng(ui, (dir + "/normal_ui.png").c_str()));
    Post(WND::LIVEVIEW, WM::TIMER, TIMER::CHANGE_VIEW);
    PumpFor(600);
    EXPECT_TRUE(Shown(CLiveview::CLOCK_BG));
    EXPECT_TRUE(soc::VoSaveScreenPng((dir + "/clock.png").c_str(), ui->window));
    Button(PARAM1::TOUCH, 240 << 12 | 160);
    // The no-card box, as the live view shows it when the card goes.
    Post(WND::LIVEVIEW, WM::SD_CARD, 0);
    ASSERT_TRUE(PumpUntil(Is(WND::LIVEVIEW, WM::SD_CARD), 1000));
    PumpFor(300);
    EXPECT_TRUE(soc::VoSaveScreenPng((dir + "/no_card.png").c_str(), ui->window));
    EXPECT_EQ(view->State(), CLiveview::IDLE);
    EXPECT_TRUE(Led(vk::LED::ERROR));
}

// The run mode itself registers the windows and its loop drives the live view.
TEST(LiveviewRunMode, TheRunModeOpensTheLiveViewWhichStartsRecording)
{
    std::string cardSh = Source() + "/host/card/card.sh";
    ASSERT_EQ(Shell(cardSh + " make /tmp/sd.img 8192"), 0);
    ASSERT_EQ(Shell(cardSh + " attach sd /tmp/sd.img"), 0);
    ASSERT_EQ(Shell(std::string(CARDFORM) + " /dev/mmcblk1 wqhd fhd 30 30 sd sd mstar > /tmp/cardform.txt"), 0);
    ASSERT_EQ(Shell("mkdir -p /mnt/extsd && mount /dev/mmcblk1p1 /mnt/extsd/"), 0);
    std::string replay = std::string(std::getenv("DASHREC_BINARY_DIR")) + "/soc-replay";
    Shell("mkdir -p " + replay);
    setenv("DASHREC_SOC_VENC", "replay", 1);
    setenv("DASHREC_SOC_REPLAY_DIR", replay.c_str(), 1);
    ASSERT_EQ(chdir(std::getenv("DASHREC_BINARY_DIR")), 0);
    Singleton<vk::SDDebug>::Inst()->Init();
    Singleton<vk::Pref>::Inst()->Init();
    Singleton<vk::Pref>::Inst()->SetSdCardRecording();
    Singleton<vk::Pref>::Inst()->TurnOnPower();

    vk::CMainDvr* dvr = Singleton<vk::CMainDvr>::Inst();
    dvr->Initialize(true);
    std::atomic<bool> ended { false };
    std::atomic<bool> recorded { false };
    std::thread exit([&] {
        for (int i = 0; i < 100 && !recorded; ++i) {
            usleep(100 * 1000);
            recorded = BmWorks::Inst()->bmMux[Front].IsRunRecord(Normal);
        }
        while (!ended) {
            vk::UIQueue::Inst()->SendMessage(WND::CMAIN_DVR, WM::EXIT, 0, 0);
            usleep(300 * 1000);
        }
    });
    dvr->Start();
    ended = true;
    exit.join();
    EXPECT_TRUE(recorded) << "normal recording started from the live view";
    EXPECT_EQ(dvr->CurrentWindow(), WND::DUMMY) << "the exit closed the live view to the blank window";
    for (int i = 0; i < 20 && BmWorks::Inst()->IsRunRecord(Normal); ++i)
        usleep(100 * 1000);
    EXPECT_FALSE(BmWorks::Inst()->IsRunRecord(Normal));
    dvr->Finalize();
}

} // namespace
