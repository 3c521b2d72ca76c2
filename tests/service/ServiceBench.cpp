#include "tests/service/ServiceBench.h"

#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Sound.h"
#include "dashrec/devices/Micom.h"
#include "host/board/Sysfs.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace service {

using vk::Singleton;

namespace {

std::string CardTool()
{
    return Source() + "/host/card/card.sh";
}

} // namespace

void PrepareProgram()
{
    ASSERT_TRUE(board::LayOutSysfs());
    std::string binary = std::getenv("DASHREC_BINARY_DIR");
    std::string replay = binary + "/soc-replay";
    Shell("mkdir -p " + replay + " /mnt/extsd /data/app");
    setenv("DASHREC_SOC_VENC", "replay", 1);
    setenv("DASHREC_SOC_REPLAY_DIR", replay.c_str(), 1);
    ASSERT_EQ(chdir(binary.c_str()), 0);
    Singleton<vk::SDDebug>::Inst()->Init();
    Singleton<vk::Pref>::Inst()->Init();
    Singleton<vk::Sound>::Inst()->Init();
    Singleton<vk::Micom>::Inst()->Init();
}

void InsertCard(const std::string& marker, const std::string& content)
{
    ASSERT_EQ(Shell(CardTool() + " make /tmp/sd.img 64"), 0);
    ASSERT_EQ(Shell(CardTool() + " attach sd /tmp/sd.img"), 0);
    ASSERT_EQ(Shell("mkfs.vfat /dev/mmcblk1p1 > /dev/null"), 0);
    if (marker.empty())
        return;
    std::ofstream("/tmp/marker") << content;
    ASSERT_EQ(Shell("MTOOLS_SKIP_CHECK=1 mcopy -i /dev/mmcblk1p1 /tmp/marker ::/" + marker), 0);
}

void AttachEmmc(int gib)
{
    ASSERT_EQ(Shell(CardTool() + " make /tmp/emmc.img " + std::to_string(gib * 1024)), 0);
    ASSERT_EQ(Shell(CardTool() + " attach emmc /tmp/emmc.img"), 0);
}

void HearTone(int amplitude, int seconds)
{
    const int rate = 16000;
    std::vector<int16_t> samples(static_cast<size_t>(rate * seconds));
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * 440 * i / rate)));
    std::ofstream file(std::string(std::getenv("DASHREC_HOST_DIR")) + "/microphone.pcm", std::ios::binary);
    file.write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(samples.size() * 2));
}

std::unique_ptr<board::Board> StartBoard(const std::string& text)
{
    board::Scenario scenario;
    std::string error;
    EXPECT_TRUE(scenario.Parse(text, error)) << error;
    auto sim = std::make_unique<board::Board>(scenario);
    EXPECT_TRUE(sim->Start());
    return sim;
}

ModeRun::ModeRun(vk::CMainHandler* mode)
    : _thread([mode] { mode->Start(); })
{
}

ModeRun::~ModeRun()
{
    if (_thread.joinable())
        Exit();
}

void ModeRun::Post(int wnd, int cmd, int param1, int param2)
{
    // The bus holds a few datagrams; a full one refuses the send until the loop drains it.
    ASSERT_TRUE(WaitUntil([&] { return vk::UIQueue::Inst()->SendMessage(wnd, cmd, param1, param2, nullptr) > 0; }, 10000));
}

void ModeRun::Exit()
{
    Post(vk::WND::ANY, vk::WM::EXIT);
    _thread.join();
}

} // namespace service
