#include "tests/runmode/Harness.h"

#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Sound.h"
#include "dashrec/ui/UITimer.h"
#include "host/board/Sysfs.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <signal.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace runmode {

using vk::Singleton;

std::string Source()
{
    return std::getenv("DASHREC_SOURCE_DIR");
}

namespace {

std::string CardTool()
{
    return Source() + "/host/card/card.sh";
}

} // namespace

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

std::string ShimLog()
{
    return ReadFile(std::string(std::getenv("DASHREC_HOST_DIR")) + "/shims.log");
}

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

long long Armed(vk::TIMER::ID id)
{
    return Singleton<vk::UITimer>::Inst()->Remaining(vk::WND::CMAIN_DVR, id);
}

ipc_msg_t Message(int wnd, int cmd, int param1, int param2)
{
    ipc_msg_t msg {};
    msg.wnd = wnd;
    msg.cmd = cmd;
    msg.param1 = param1;
    msg.param2 = param2;
    return msg;
}

void FireTimer(vk::TIMER::ID id)
{
    ipc_msg_t msg = Message(vk::WND::CMAIN_DVR, vk::WM::TIMER, id);
    Singleton<vk::CMainDvr>::Inst()->OnTimer(msg);
}

void InsertCard(const std::string& layout)
{
    ASSERT_EQ(Shell("rm -f /tmp/sd.img && " + CardTool() + " make /tmp/sd.img 8192"), 0);
    ASSERT_EQ(Shell(CardTool() + " attach sd /tmp/sd.img"), 0);
    if (!layout.empty()) {
        ASSERT_EQ(Shell(std::string(CARDFORM) + " /dev/mmcblk1 " + layout + " > /tmp/cardform.txt"), 0);
    }
}

void RemoveCard()
{
    ASSERT_EQ(Shell(CardTool() + " detach sd"), 0);
}

void MountCard()
{
    ASSERT_EQ(Shell("mkdir -p /mnt/extsd && mount /dev/mmcblk1p1 /mnt/extsd/"), 0);
}

void PrepareBoard()
{
    ASSERT_TRUE(board::LayOutSysfs());
    Shell("mkdir -p /mnt/extsd /data/app");
    std::string replay = std::string(std::getenv("DASHREC_BINARY_DIR")) + "/soc-replay";
    Shell("mkdir -p " + replay);
    setenv("DASHREC_SOC_VENC", "replay", 1);
    setenv("DASHREC_SOC_REPLAY_DIR", replay.c_str(), 1);
    ASSERT_EQ(chdir(std::getenv("DASHREC_BINARY_DIR")), 0);
    Singleton<vk::SDDebug>::Inst()->Init();
    Singleton<vk::Pref>::Inst()->Init();
    Singleton<vk::Pref>::Inst()->SetSdCardRecording();
    Singleton<vk::Sound>::Inst()->Init();
}

vk::CMainDvr* InitializeRecorder()
{
    vk::CMainDvr* dvr = Singleton<vk::CMainDvr>::Inst();
    dvr->Initialize(true);
    Drain();
    return dvr;
}

bool WaitForMcuLine()
{
    return WaitUntil([] {
        struct stat info {};
        return stat("/dev/ttyS1", &info) == 0 && S_ISCHR(info.st_mode);
    }, 5000);
}

int RunInChild(const std::function<void()>& body, const std::function<void()>& beside, int timeoutMs)
{
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        if (std::freopen("/tmp/child.log", "w", stdout) == nullptr)
            _exit(98);
        body();
        // The body was to end the program itself. Otherwise the board's power
        // is cut: the child ends as at once, without the C library's (or a
        // sanitizer's) end of process, with threads of the program running.
        std::fflush(nullptr);
        syscall(SYS_exit_group, 99);
    }
    if (beside)
        beside();
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > end) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace runmode
