// The board simulator with the real MCU link and detector thread: the
// scenario's ACC and supply reach the bus as the run mode would see them,
// and the simulator records what the program sends to the MCU.

#include "dashrec/devices/Micom.h"
#include "dashrec/devices/PollingGpio.h"
#include "host/board/Board.h"
#include "tests/devices/BusMessages.h"

#include <gtest/gtest.h>

#include <chrono>

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

} // namespace
