#include "EngineRun.h"

#include "bmworks/BmPost.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <future>
#include <thread>

BmWorks* Engine()
{
    static BmWorks* works = [] {
        BmWorks* w = BmWorks::Inst();
        w->Init(nullptr);
        return w;
    }();
    return works;
}

void UseReplayEncoding()
{
    setenv("DASHREC_SOC_VENC", "replay", 1);
    const char* binary = std::getenv("DASHREC_BINARY_DIR");
    std::string dir = std::string(binary ? binary : ".") + "/soc-replay";
    mkdir(dir.c_str(), 0755);
    setenv("DASHREC_SOC_REPLAY_DIR", dir.c_str(), 1);
}

void OnEngine(const std::function<void()>& f)
{
    struct Call {
        const std::function<void()>& f;
        std::promise<void> done;
    } call{f, {}};
    std::future<void> finished = call.done.get_future();
    BmPost(
        [](gpointer data) -> gboolean {
            auto* c = static_cast<Call*>(data);
            c->f();
            c->done.set_value();
            return G_SOURCE_REMOVE;
        },
        &call);
    finished.wait();
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::vector<BufferedUnit> Units(const BmVideoBuffer& buffer, uint64_t after)
{
    std::vector<BufferedUnit> units;
    uint64_t position = after;
    Nal nal;
    while (buffer.GetOld(position, nal) == 0)
        units.push_back(BufferedUnit{nal, position});
    return units;
}

std::string WriteRawStream(const std::vector<BufferedUnit>& units, const std::string& name)
{
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    bool started = false;
    for (const BufferedUnit& u : units) {
        started = started || u.nal.keyFrame == 1;
        if (started)
            out.write(u.nal.buffer, u.nal.length);
    }
    return name;
}

std::string Shell(const std::string& command)
{
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return output;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof(chunk), pipe)) > 0)
        output.append(chunk, n);
    pclose(pipe);
    return output;
}

double Bitrate(const std::vector<BufferedUnit>& units)
{
    if (units.size() < 2)
        return 0;
    double bytes = 0;
    for (size_t i = 1; i < units.size(); i++)
        bytes += units[i].nal.length;
    double seconds = (units.back().nal.pts - units.front().nal.pts) / 1e6;
    return bytes * 8 / seconds;
}

long StatusKb(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0)
            return std::atol(line.c_str() + std::strlen(field));
    }
    return 0;
}

BmWorks* StartRunLayoutReplayed()
{
    setenv("DASHREC_SOC_VENC", "replay", 1);
    if (std::getenv("DASHREC_SOC_REPLAY_DIR") == nullptr) {
        mkdir("soc-replay", 0755);
        setenv("DASHREC_SOC_REPLAY_DIR", "soc-replay", 1);
    }
    BmWorks* works = Engine();
    works->SetCongigBeforeStart(Front, WQHD);
    works->SetCongigBeforeStart(Rear, FHD);
    if (works->Start(Front) != 0 || works->Start(Rear) != 0)
        return nullptr;
    return works;
}

void PreallocateRecording(const std::string& path, CameraPosition camera)
{
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return;
    if (posix_fallocate(fd, 0, Engine()->bmMux[camera].GetRecordFileSize()) != 0)
        perror("posix_fallocate");
    close(fd);
}
