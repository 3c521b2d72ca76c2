#include "host/soc/SceneControl.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace soc {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kReadEvery = std::chrono::milliseconds(200);

std::string ControlPath()
{
    const char* dir = std::getenv("DASHREC_HOST_DIR");
    return dir != nullptr ? std::string(dir) + "/scene" : std::string();
}

bool ReadFile(const std::string& path, SceneControl& control)
{
    FILE* file = path.empty() ? nullptr : std::fopen(path.c_str(), "r");
    if (file == nullptr)
        return false;
    SceneControl read;
    bool ok = std::fscanf(file, "still %lf passer %lf %lf", &read.stillSince, &read.passerStart, &read.passerSec) == 3;
    std::fclose(file);
    if (ok)
        control = read;
    return ok;
}

// Every camera thread asks for each frame: the file is read only now and then.
SceneControl Current()
{
    Clock::time_point now = Clock::now();
    static std::mutex mutex;
    static SceneControl control;
    static Clock::time_point nextRead;
    std::lock_guard<std::mutex> lock(mutex);
    if (now >= nextRead) {
        if (!ReadFile(ControlPath(), control))
            control = SceneControl{};
        nextRead = now + kReadEvery;
    }
    return control;
}

} // namespace

double MonotonicSeconds(Clock::time_point when)
{
    return std::chrono::duration<double>(when.time_since_epoch()).count();
}

bool WriteSceneControl(const SceneControl& control)
{
    std::string path = ControlPath();
    if (path.empty())
        return false;
    // Replaced whole, so that a camera never reads half of it.
    std::string staged = path + ".new";
    FILE* file = std::fopen(staged.c_str(), "w");
    if (file == nullptr)
        return false;
    std::fprintf(file, "still %.3f passer %.3f %.3f\n", control.stillSince, control.passerStart, control.passerSec);
    return std::fclose(file) == 0 && std::rename(staged.c_str(), path.c_str()) == 0;
}

void ApplySceneControl(Clock::time_point when, double sceneEpochSec, SceneShot& shot)
{
    SceneControl control = Current();
    double now = MonotonicSeconds(when);
    double roadAt = control.stillSince >= 0 ? std::min(now, control.stillSince) : now;
    shot.timeSec = std::max(0.0, roadAt - sceneEpochSec);
    double walked = now - control.passerStart;
    if (control.passerSec > 0 && walked >= 0 && walked <= control.passerSec)
        shot.passerBy = walked / control.passerSec;
}

} // namespace soc
