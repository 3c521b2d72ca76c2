// The board simulator with the real MCU link and detector thread: the
// scenario's ACC and supply reach the bus as the run mode would see them,
// and the simulator records what the program sends to the MCU.

#include "dashrec/devices/Micom.h"
#include "dashrec/devices/PollingGpio.h"
#include "host/board/Board.h"
#include "host/board/ProgramWatch.h"
#include "tests/devices/BusMessages.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>

namespace {

using devtest::Posted;
using devtest::ToAny;
using vk::Micom;

board::Scenario Parse(const char* text)
{
    board::Scenario scenario;
    std::string error;
    EXPECT_TRUE(scenario.Parse(text, error)) << error;
    return scenario;
}

// Messages posted within timeoutMs, until `count` have come.
std::vector<Posted> Await(size_t count, int timeoutMs)
{
    std::vector<Posted> posted;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (posted.size() < count && std::chrono::steady_clock::now() < end)
        for (const Posted& p : devtest::TakePosted(100))
            posted.push_back(p);
    return posted;
}

TEST(Boardsim, AccAndSupplyOfTheScenarioReachTheBusInOrder)
{
    board::Board sim(Parse("0s acc on 12.4V\n"
                           "5s acc off\n"
                           "17s power off\n"));
    ASSERT_TRUE(sim.Start());
    vk::UIQueue::Inst()->Init();
    Micom* micom = vk::Singleton<Micom>::Inst();
    micom->Init();
    micom->Start();
    vk::PollingGpio* polling = vk::Singleton<vk::PollingGpio>::Inst();
    // Restarted from parking: ACC starts off, so its coming on is reported.
    polling->Init(60);
    polling->Start();

    std::vector<Posted> posted = Await(3, 25000);
    EXPECT_EQ(posted, (std::vector<Posted> { ToAny(vk::WM::ACC, vk::PARAM1::ACC_ON),
                                             ToAny(vk::WM::ACC, vk::PARAM1::ACC_OFF),
                                             ToAny(vk::WM::SHUTDOWN, Micom::NORMAL_OFF_POWER) }));
    EXPECT_TRUE(micom->IsPowerOn());
    EXPECT_EQ(micom->GetVersion(), board::McuModel::VERSION);
    EXPECT_NEAR(micom->GetVoltage(), 12.4f, 0.02f);

    micom->SendWDTEnable();
    micom->SendPowerOff(Micom::ACC_OFF);
    ASSERT_TRUE(sim.WaitForFrame(Micom::CPU_CMD_POWER_OFF, 2000));
    EXPECT_TRUE(sim.PoweredOff());
    std::vector<std::string> sent;
    for (const board::McuFrame& frame : sim.Received())
        sent.push_back(board::DescribeFrame(frame));
    EXPECT_EQ(sent, (std::vector<std::string> { "START 0 0", "WDT_EN 0 1", "POWER_OFF 0 5" }));

    polling->Finalize();
    micom->Finalize();
    sim.Stop();
    vk::UIQueue::Inst()->Finalize();
}

// Stands in for the program: this process's pid is the one the simulator watches.
struct RecordingFiles {
    RecordingFiles() { std::ofstream(std::string(std::getenv("DASHREC_HOST_DIR")) + "/dashrec.pid") << getpid(); }
    ~RecordingFiles()
    {
        for (int fd : open)
            close(fd);
    }
    void Start(const std::string& stamp)
    {
        for (const char* camera : { "F", "R" })
            open.push_back(::open(("/tmp/NORM" + stamp + camera + ".MP4").c_str(), O_CREAT | O_RDWR, 0644));
    }
    std::vector<int> open;
};

TEST(Boardsim, AwaitHoldsTheTimelineUntilTheNextRecordingOfBothCameras)
{
    {
        RecordingFiles program;
        board::RecordingWatch watch;
        EXPECT_FALSE(watch.Met()) << "nothing open";
        program.open.push_back(::open("/tmp/NORM261211-101010F.MP4", O_CREAT | O_RDWR, 0644));
        EXPECT_FALSE(watch.Met()) << "the front camera alone";
        program.Start("261211-101010");
        EXPECT_TRUE(watch.Met());
        EXPECT_FALSE(watch.Met()) << "the same recording again";
        program.Start("261211-101110");
        EXPECT_TRUE(watch.Met()) << "the next recording";
    }

    RecordingFiles later;
    board::Board sim(Parse("0s await recording\n"
                           "500ms temp 70C\n"));
    ASSERT_TRUE(sim.Start());
    EXPECT_FALSE(sim.WaitForEnd(1500)) << "the timeline held";
    later.Start("261211-101210");
    auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(sim.WaitForEnd(5000));
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(400))
        << "later times count from the await";
    sim.Stop();
}

} // namespace
