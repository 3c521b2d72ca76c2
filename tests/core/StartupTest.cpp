// Start-up: the "f" argument, the run-mode markers and the parking-recovery marker.

#include "dashrec/core/CMain.h"
#include "dashrec/core/Pref.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/modes/ServiceModes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const std::string CARD = "/mnt/extsd/";

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

void Touch(const std::string& path)
{
    std::ofstream(path) << "[settings]\n";
}

// The program as a shell command, through the build's emulator when it has one.
std::string Dashrec()
{
    const char* emulator = std::getenv("DASHREC_EMULATOR");
    std::string command = emulator && *emulator ? std::string(emulator) + " " : "";
    return command + std::getenv("DASHREC_BINARY_DIR") + "/dashrec/dashrec";
}

TEST(Startup, VersionArgumentWritesVersionAndLeavesTheMcuLineAlone)
{
    int watch = inotify_init1(IN_NONBLOCK);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, "/dev/ttyS1", IN_OPEN), 0);

    std::string command = Dashrec() + " f > /tmp/out.txt";
    int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFile("/tmp/fversion"), "v1.1.4K\n");
    EXPECT_NE(ReadFile("/tmp/out.txt").find("++ factory settings:echo v1.1.4K > /tmp/fversion ++"), std::string::npos);

    char events[256];
    EXPECT_LT(read(watch, events, sizeof(events)), 0) << "the MCU line was opened";
    close(watch);
}

TEST(Startup, TwoArgumentsStartNormally)
{
    // The bus drops what is posted before the program listens: ask again until it ends.
    std::string post = std::string(std::getenv("DASHREC_SOURCE_DIR")) + "/host/scripts/post-message.sh 348 2026";
    std::string command = Dashrec() + " f x > /tmp/out.txt & pid=$!; for i in $(seq 60); do sleep 0.5; "
        + post + " 2>/dev/null; kill -0 $pid 2>/dev/null || break; done; wait $pid";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_NE(access("/tmp/fversion", F_OK), 0);
    EXPECT_NE(ReadFile("/tmp/out.txt").find("dvr mode NO CARD"), std::string::npos);
}

struct MarkerCase {
    std::vector<std::string> markers;
    vk::CMainHandler* expected;
    bool finish2;
    bool forcedUnlock;
};

TEST(Startup, FirstExistingMarkerSelectsTheRunMode)
{
    using vk::Singleton;
    vk::CMainHandler* dvr = Singleton<vk::CMainDvr>::Inst();
    vk::CMainHandler* finish = Singleton<vk::CMainFinish>::Inst();
    const MarkerCase cases[] = {
        { {}, dvr, false, false },
        { { "_factory.velmora", "_sdrecord.velmora" }, Singleton<vk::CMainFactory>::Inst(), false, false },
        { { "_offset.velmora", "_finish.velmora" }, Singleton<vk::CMainVoltage>::Inst(), false, false },
        { { "_finish2.velmora" }, finish, true, false },
        { { "_finish.velmora", "_finish2.velmora" }, finish, false, false },
        { { "_wireless.velmora", "_developer.velmora" }, Singleton<vk::CMainWiFi>::Inst(), false, false },
        { { "_developer.velmora", "_sdrecord.velmora" }, Singleton<vk::CMainDeveloper>::Inst(), false, false },
        { { "_sdrecord.velmora" }, Singleton<vk::CMainSDRecord>::Inst(), false, false },
        { { "_focus.velmora" }, dvr, false, false },
        { { "GoldHarbor", "_developer.velmora" }, Singleton<vk::CMainDeveloper>::Inst(), false, false },
        { { "GoldHarbor" }, dvr, false, true },
    };
    for (const MarkerCase& c : cases) {
        std::system(("rm -rf " + CARD + " && mkdir -p " + CARD).c_str());
        for (const std::string& marker : c.markers)
            Touch(CARD + marker);
        // The forced unlock only ever turns on; check it in a process of its own.
        pid_t child = fork();
        if (child == 0) {
            vk::CMainHandler* mode = vk::CMain::SelectRunMode(CARD);
            bool ok = mode == c.expected && Singleton<vk::CMainFinish>::Inst()->_finish2_mode == c.finish2
                && Singleton<vk::Pref>::Inst()->GetForcedUnlock() == c.forcedUnlock;
            _exit(ok ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_EQ(WEXITSTATUS(status), 0) << "markers: " << ::testing::PrintToString(c.markers);
    }
}

TEST(Startup, ParkingRecoveryMarkerIsReadOnce)
{
    struct {
        const char* content; // null: no marker
        bool recovery;
        uint64_t duration;
    } const cases[] = {
        { "3600\n", true, 3600 },
        { nullptr, false, 0 },
        { "not a number", true, 0 },
    };
    vk::CMain* main = vk::Singleton<vk::CMain>::Inst();
    for (const auto& c : cases) {
        unlink("/tmp/pr");
        if (c.content)
            std::ofstream("/tmp/pr") << c.content;
        main->CheckParkingRecovery();
        EXPECT_EQ(main->IsParkingRecoveryMode(), c.recovery) << (c.content ? c.content : "none");
        EXPECT_EQ(main->GetPrevParkingDuration(), c.duration);
        EXPECT_NE(access("/tmp/pr", F_OK), 0) << "the marker must be consumed";
    }
}

TEST(Startup, RearCameraProbeReadsTheDetectNode)
{
    vk::CMain::RearCamera rear;
    EXPECT_FALSE(rear.IsConnected()) << "no node";
    std::system("mkdir -p /sys/camdetect");
    std::ofstream("/sys/camdetect/detect") << "1\n";
    EXPECT_TRUE(rear.IsConnected());
    std::ofstream("/sys/camdetect/detect") << "0\n";
    EXPECT_FALSE(rear.IsConnected());
}

} // namespace
