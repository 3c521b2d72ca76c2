#include "host/board/ProgramWatch.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace board {

namespace {

// The paths of the program's open files named like a recording of the camera
// ('F' or 'R'): "<PREFIX><yymmdd>-<hhmmss><camera>.MP4".
std::vector<std::string> OpenRecordings(pid_t pid, char camera)
{
    std::vector<std::string> found;
    std::string folder = "/proc/" + std::to_string(pid) + "/fd";
    DIR* fds = opendir(folder.c_str());
    if (fds == nullptr)
        return found;
    while (dirent* entry = readdir(fds)) {
        char target[4096];
        ssize_t length = readlink((folder + "/" + entry->d_name).c_str(), target, sizeof(target) - 1);
        if (length <= 0)
            continue;
        std::string path(target, static_cast<size_t>(length));
        std::string suffix = std::string(1, camera) + ".MP4";
        if (path.size() > suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0)
            found.push_back(path);
    }
    closedir(fds);
    return found;
}

} // namespace

pid_t ProgramPid()
{
    const char* dir = std::getenv("DASHREC_HOST_DIR");
    if (dir == nullptr)
        return 0;
    std::ifstream file(std::string(dir) + "/dashrec.pid");
    long pid = 0;
    return (file >> pid) && pid > 1 ? static_cast<pid_t>(pid) : 0;
}

bool RecordingWatch::Met()
{
    pid_t pid = ProgramPid();
    if (pid == 0)
        return false;
    std::vector<std::string> front = OpenRecordings(pid, 'F');
    std::vector<std::string> rear = OpenRecordings(pid, 'R');
    auto isNew = [this](const std::string& path) { return _seen.count(path) == 0; };
    bool met = std::any_of(front.begin(), front.end(), isNew) && std::any_of(rear.begin(), rear.end(), isNew);
    if (met) {
        _seen.insert(front.begin(), front.end());
        _seen.insert(rear.begin(), rear.end());
    }
    return met;
}

} // namespace board
