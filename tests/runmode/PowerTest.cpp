// The ways the recorder powers down: ignition off without parking through the
// whole run mode against the board simulator's MCU, the end sequence against
// a capacitor that runs low, and the recording kept when the supply goes.

#include "bmworks/bmworks.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "host/board/Board.h"
#include "host/board/Sysfs.h"
#include "tests/runmode/Harness.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace runmode;

const char* const GPADC = "/sys/class/gpadc/data";

// The end sequence unmounts /data on its way out: give it a layer of its own.
void MountDataForTheEnd()
{
    ASSERT_EQ(Shell("mount -t tmpfs data /data && mkdir -p /data/app"), 0);
}

TEST(Shutdown, AccOffWithParkingSwitchedOffPowersTheBoardDown)
{
    PrepareBoard();
    Singleton<vk::Pref>::Inst()->SetParkingModeOff();
    board::Scenario scenario;
    std::string error;
    ASSERT_TRUE(scenario.Parse("0s acc off\n", error)) << error;
    board::Board mcu(scenario);
    MountDataForTheEnd();

    int status = RunInChild([] {
        if (!WaitForMcuLine())
            _exit(97);
        CMainDvr* dvr = InitializeRecorder();
        std::thread([] {
            sleep(1);
            // Reported twice: the second shutdown request must change nothing.
            for (int i = 0; i < 2; ++i)
                vk::UIQueue::Inst()->SendMessage(WND::CMAIN_DVR, WM::ACC, vk::PARAM1::ACC_OFF);
        }).detach();
        dvr->Start();
    }, [&mcu] { EXPECT_TRUE(mcu.Start()); });
    mcu.Stop();
    std::string log = ReadFile("/tmp/child.log");
    EXPECT_EQ(status, 0) << log;
    std::vector<std::string> powerOff;
    for (const board::McuFrame& frame : mcu.Received())
        if (frame.cmd == vk::Micom::CPU_CMD_POWER_OFF)
            powerOff.push_back(board::DescribeFrame(frame));
    EXPECT_EQ(powerOff, std::vector<std::string>(3, "POWER_OFF 0 0")) << "ACC_OFF is sent as 0";
    EXPECT_EQ(access("/tmp/shutdown", F_OK), 0) << "the launcher powers the board off";
    EXPECT_EQ(Count(log, "MSG::SYS::SHUTDOWN, reason:5, battery_time="), 1u) << log;
    EXPECT_EQ(Count(log, "already shutting down"), 1u);
}

// The capacitor's A/D channel: the program selects channel 3 by writing it,
// then reads the value. A FIFO makes the two steps real; the voltage follows
// the time since the test began.
class Capacitor {
public:
    explicit Capacitor(int fallsAtMs) : _fallsAtMs(fallsAtMs) {}

    bool Make()
    {
        unlink(GPADC);
        return mkfifo(GPADC, 0666) == 0;
    }

    void Start()
    {
        _start = std::chrono::steady_clock::now();
        _thread = std::thread(&Capacitor::Serve, this);
    }

    void Stop()
    {
        _stop = true;
        // Pairs with whichever end the server waits on, so it wakes and sees the stop.
        int fd = open(GPADC, O_RDWR);
        close(fd);
        _thread.join();
    }

    std::vector<std::string> Channels() const { return _channels; }

private:
    void Serve()
    {
        while (!_stop) {
            std::string channel;
            int in = open(GPADC, O_RDONLY);
            char buffer[16];
            ssize_t n = 0;
            while ((n = read(in, buffer, sizeof(buffer))) > 0)
                channel.append(buffer, static_cast<size_t>(n));
            close(in);
            if (_stop)
                break;
            _channels.push_back(channel);
            auto elapsed = std::chrono::steady_clock::now() - _start;
            int voltage = elapsed < std::chrono::milliseconds(_fallsAtMs) ? 2900 : 2400;
            std::string text = std::to_string(voltage) + "\n";
            int out = open(GPADC, O_WRONLY);
            if (write(out, text.data(), text.size()) < 0)
                break;
            close(out);
        }
    }

    int _fallsAtMs;
    std::chrono::steady_clock::time_point _start;
    std::atomic<bool> _stop { false };
    std::vector<std::string> _channels;
    std::thread _thread;
};

TEST(Shutdown, ACapacitorRunningLowSplitsTheLastFileThen)
{
    PrepareBoard();
    MountDataForTheEnd();
    Capacitor capacitor(800);
    ASSERT_TRUE(capacitor.Make());
    int status = RunInChild([] {
        CMainDvr* dvr = Singleton<CMainDvr>::Inst();
        dvr->SetBatteryTime(BmClock::Inst()->Msec());
        FireTimer(vk::TIMER::SHUTDOWN);
    }, [&capacitor] { capacitor.Start(); });
    capacitor.Stop();
    std::string log = ReadFile("/tmp/child.log");
    EXPECT_EQ(status, 0) << log;
    std::smatch split;
    ASSERT_TRUE(std::regex_search(log, split, std::regex("split by supercap \\(time=(\\d+)ms, voltage=2400\\)")))
        << log;
    int at = std::stoi(split[1]);
    // The program's count starts a moment after the capacitor's: not before it ran low.
    EXPECT_GE(at, 700);
    EXPECT_LT(at, 2300) << "not at the time limit";
    EXPECT_EQ(access("/tmp/shutdown", F_OK), 0);
    for (const std::string& channel : capacitor.Channels())
        EXPECT_EQ(channel, "3\n");
}

TEST(PowerDown, SupplyLostWhileAnEventRecordsKeepsTheEventCutShort)
{
    PrepareBoard();
    InsertCard("wqhd fhd 30 30 sd sd mstar");
    MountCard();
    CMainDvr* dvr = InitializeRecorder();
    BmWorks* engine = BmWorks::Inst();
    for (RecordType type : { Normal, Event }) {
        engine->RunRecord(Front, type);
        engine->RunRecord(Rear, type);
    }
    auto writing = [engine](RecordType type) {
        return engine->bmMux[Front].mRecordState[type] == BmMux::Run
            && engine->bmMux[Rear].mRecordState[type] == BmMux::Run;
    };
    ASSERT_TRUE(WaitUntil([&] { return writing(Normal) && writing(Event); }, 20000));

    testing::internal::CaptureStdout();
    dvr->BatteryPlusDownSequence();
    dvr->NormalPowerDownSequence();
    std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(Count(log, "[B+PowerDown] record_type=Event"), 1u) << log;
    EXPECT_EQ(Count(log, "PowerDown]"), 1u) << "one sequence only";
    EXPECT_TRUE(engine->mEmergency);
    EXPECT_TRUE(engine->mAutoSplit);
    EXPECT_EQ(engine->mAutoSplitCommand, 2) << "the event clip is cut short";
    EXPECT_TRUE(WaitUntil([engine] { return !engine->IsRunRecord(Normal); }, 5000)) << "normal recording dropped";
    EXPECT_TRUE(engine->IsRunRecord(Event)) << "the event is kept";
    EXPECT_EQ(board::ReadNode("/sys/camdetect/standby"), "1");
    EXPECT_EQ(board::ReadNode("/sys/imx335reg/standby"), "1");
    EXPECT_FALSE(dvr->IsLcdOn());
    engine->StopEmergency(Event);
    dvr->Finalize();
}

TEST(ParkingRecovery, LeavesTheParkingDurationForTheNextStartAndEnds)
{
    PrepareBoard();
    int status = RunInChild([] {
        InitializeRecorder();
        FireTimer(TIMER::PARKING_RECOVERY);
    });
    std::string log = ReadFile("/tmp/child.log");
    EXPECT_EQ(status, 0) << log;
    EXPECT_EQ(Count(log, "PARKING_RECOVERY ---------->0\n"), 1u) << log;
    EXPECT_EQ(ReadFile("/tmp/pr"), "0") << "read back by the next start";
    EXPECT_NE(access("/tmp/shutdown", F_OK), 0);
}

// Ignition back during a shutdown: a cut-off or ignition-off shutdown restarts
// the recorder instead, a power-key or normal one powers down all the same.
TEST(Shutdown, IgnitionBackDuringTheShutdown)
{
    PrepareBoard();
    const int NOT_ENDED = 99; // the power-off thread did not end the program
    struct Case {
        vk::Micom::REASON reason;
        int status;
        std::vector<std::string> powerOff;
    };
    const Case cases[] = {
        { vk::Micom::ACC_OFF, 0, {} },
        { vk::Micom::CUT_OFF_POWER, 0, {} },
        { vk::Micom::POWER_KEY, NOT_ENDED, std::vector<std::string>(3, "POWER_OFF 0 4") },
        { vk::Micom::NORMAL_OFF_POWER, NOT_ENDED, std::vector<std::string>(3, "POWER_OFF 0 0") },
    };
    for (const Case& c : cases) {
        board::Scenario scenario;
        std::string error;
        ASSERT_TRUE(scenario.Parse("0s acc on\n", error)) << error;
        board::Board mcu(scenario);
        int status = RunInChild([reason = c.reason] {
            if (!WaitForMcuLine())
                _exit(97);
            vk::UIQueue::Inst()->Init();
            vk::Micom* micom = Singleton<vk::Micom>::Inst();
            micom->Init();
            micom->Start();
            ipc_msg_t msg = Message(WND::CMAIN_DVR, WM::SHUTDOWN, reason);
            Singleton<CMainDvr>::Inst()->OnShutDown(msg);
            // Past the thread's longest path (5 s) and its end of the process,
            // which a sanitizer build delays by a second.
            sleep(7);
        }, [&mcu] { EXPECT_TRUE(mcu.Start()); });
        mcu.Stop();
        EXPECT_EQ(status, c.status) << "reason " << c.reason;
        std::vector<std::string> powerOff;
        for (const board::McuFrame& frame : mcu.Received())
            if (frame.cmd == vk::Micom::CPU_CMD_POWER_OFF)
                powerOff.push_back(board::DescribeFrame(frame));
        EXPECT_EQ(powerOff, c.powerOff) << "reason " << c.reason;
    }
}

} // namespace
