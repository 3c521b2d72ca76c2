#include "host/board/Outside.h"

#include "host/board/ProgramWatch.h"
#include "host/board/Sysfs.h"
#include "host/soc/SceneControl.h"

#include "dashrec/core/Pref.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace board {

namespace {

std::string HostFile(const char* name)
{
    const char* dir = std::getenv("DASHREC_HOST_DIR");
    return dir != nullptr ? std::string(dir) + "/" + name : std::string();
}

// card.sh with its arguments, without a shell between: the image path is the caller's text.
bool RunCardScript(const char* action, const std::string& image)
{
    pid_t child = fork();
    if (child == 0) {
        const char* args[] = { CARD_SCRIPT, action, "sd", image.empty() ? nullptr : image.c_str(), nullptr };
        execv(CARD_SCRIPT, const_cast<char* const*>(args));
        _exit(127);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool IsBlockDevice(const char* path)
{
    struct stat info {};
    return stat(path, &info) == 0 && S_ISBLK(info.st_mode);
}

// With the machine's time, for comparing the moment with what the recordings kept.
void LogMoment(const char* what)
{
    timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    std::fprintf(stderr, "[boardsim] %s at %lld.%03ld\n", what, static_cast<long long>(now.tv_sec),
                 now.tv_nsec / 1000000);
}

} // namespace

Outside::~Outside()
{
    if (_slot.joinable())
        _slot.join();
}

std::string AttachedCardImage()
{
    std::ifstream record(HostFile("card/nodes/mmcblk1"));
    std::string image;
    record >> image;
    return image;
}

void Outside::Start(const BoardState& state)
{
    _cardIn = IsBlockDevice(SD_DEVICE);
    _cardImage = AttachedCardImage();
    WriteNode(CARD_DETECT, _cardIn ? "1" : "0");
    _cardWanted = state.card;
    _kills = state.kills;
    _motions = state.sensors.motions;
    ApplyScene(state);
}

void Outside::Apply(const BoardState& state)
{
    if (state.card != _cardWanted) {
        _cardWanted = state.card;
        ApplyCard(state.card);
    }
    ApplyScene(state);
    ApplyPreferences(state);
    for (; _kills < state.kills; ++_kills)
        Kill();
}

void Outside::ApplyCard(bool in)
{
    if (in == _cardIn)
        return;
    if (in && _cardImage.empty()) {
        std::fprintf(stderr, "[boardsim] card in: no card image to insert\n");
        return;
    }
    _cardIn = in;
    // Out: the detect pin opens first, as the card leaves its contacts.
    if (!in) {
        WriteNode(CARD_DETECT, "0");
        LogMoment("card left the slot");
    }
    // Writing a mounted volume back takes a while: the MCU and the timeline go on meanwhile.
    if (_slot.joinable())
        _slot.join();
    std::string image = in ? _cardImage : std::string();
    _slot = std::thread([in, image] {
        if (in)
            LogMoment("card goes into the slot");
        if (!RunCardScript(in ? "attach" : "detach", image))
            std::fprintf(stderr, "[boardsim] card %s failed\n", in ? "in" : "out");
        if (in)
            WriteNode(CARD_DETECT, "1");
    });
}

void Outside::ApplyScene(const BoardState& state)
{
    bool moving = state.sensors.gps.kmh > 0;
    bool walker = state.sensors.motions != _motions;
    if (_sceneWritten && moving == _moving && !walker)
        return;
    double now = soc::MonotonicSeconds(std::chrono::steady_clock::now());
    if (!_sceneWritten || moving != _moving)
        _scene.stillSince = moving ? -1 : now;
    if (walker) {
        _scene.passerStart = now;
        _scene.passerSec = state.sensors.motionSec;
        _motions = state.sensors.motions;
    }
    _moving = moving;
    _sceneWritten = soc::WriteSceneControl(_scene);
}

// Through the program's own preference record, so that it reads back as saved.
void Outside::ApplyPreferences(const BoardState& state)
{
    if (state.storage == _storage && state.parking == _parking)
        return;
    _storage = state.storage;
    _parking = state.parking;
    vk::Pref* pref = vk::Singleton<vk::Pref>::Inst();
    pref->Init();
    if (_storage == "sd")
        pref->SetSdCardRecording();
    else if (_storage == "internal")
        pref->SetInternalStorageRecording();
    if (_parking == "on")
        pref->SetParkingModeOn();
    else if (_parking == "off")
        pref->SetParkingModeOff();
    pref->Save();
}

void Outside::Kill()
{
    pid_t pid = ProgramPid();
    if (pid == 0) {
        std::fprintf(stderr, "[boardsim] kill: no program pid in %s\n", HostFile("dashrec.pid").c_str());
        return;
    }
    if (kill(pid, SIGKILL) != 0) {
        std::perror("[boardsim] kill");
        return;
    }
    LogMoment(("killed " + std::to_string(pid)).c_str());
}

} // namespace board
