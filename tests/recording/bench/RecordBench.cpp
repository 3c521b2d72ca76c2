// Benchmark of the recording path (feed, parse, mux, sink) in replay mode:
// CPU per recorded frame while the front camera records Normal at 1080p30
// with sound, against a bare gst-launch-1.0 pipeline that muxes the same
// units and a sound track of the same format into a file. The path's CPU is that of the threads the pipeline starts plus what
// the engine thread spends beyond its idle cost; the capture and encoder
// threads, which run either way, are left out, so the noise of a busy
// machine does not swamp a cost of a few hundredths of a millisecond.
//
//   recording_bench [seconds]      measure (default 30 s); run from a scratch folder

#include "EngineRun.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <thread>

namespace {

std::string gFile;

double CpuSec(int who)
{
    rusage u{};
    getrusage(who, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

char* FileName(CameraPosition, RecordType)
{
    int fd = open(gFile.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        if (posix_fallocate(fd, 0, BmWorks::Inst()->bmMux[Front].GetRecordFileSize()) != 0)
            perror("posix_fallocate");
        close(fd);
    }
    return const_cast<char*>(gFile.c_str());
}

struct ThreadCpu {
    std::string name;
    double sec;
};

// CPU seconds of every thread of the process by thread id.
std::map<int, ThreadCpu> Threads()
{
    std::map<int, ThreadCpu> threads;
    DIR* dir = opendir("/proc/self/task");
    if (dir == nullptr)
        return threads;
    while (dirent* entry = readdir(dir)) {
        int tid = std::atoi(entry->d_name);
        if (tid == 0)
            continue;
        std::string base = std::string("/proc/self/task/") + entry->d_name;
        // Time on the CPU in nanoseconds: exact where the tick counts of
        // stat round a few milliseconds to nothing.
        std::ifstream schedstat(base + "/schedstat");
        unsigned long long ns = 0;
        if (!(schedstat >> ns))
            continue;
        std::ifstream comm(base + "/comm");
        std::string name;
        std::getline(comm, name);
        threads[tid] = ThreadCpu{name, ns / 1e9};
    }
    closedir(dir);
    return threads;
}

double EngineSec(const std::map<int, ThreadCpu>& threads)
{
    for (const auto& t : threads) {
        if (t.second.name == "gBmWorksTask")
            return t.second.sec;
    }
    return 0;
}

// CPU seconds of the threads started since before, over the wall time.
// Adds a line per thread to report.
double NewThreadsSec(const std::map<int, ThreadCpu>& before, const std::map<int, ThreadCpu>& after,
                     std::string& report)
{
    double sum = 0;
    for (const auto& t : after) {
        if (before.count(t.first) == 0) {
            char line[96];
            snprintf(line, sizeof(line), "  %-16s %.3f CPU s\n", t.second.name.c_str(), t.second.sec);
            report += line;
            sum += t.second.sec;
        }
    }
    return sum;
}

void Wait(int seconds)
{
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
}

} // namespace

int main(int argc, char** argv)
{
    int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
    setenv("DASHREC_SOC_VENC", "replay", 1);
    gFile = std::string(getcwd(nullptr, 0)) + "/bench_normal.mp4";
    BmWorks* works = Engine();
    works->SetNewFileNameCallback(FileName);
    works->SetCongigBeforeStart(Front, FHD);
    works->Start(Front);
    OnEngine([&] { works->bmMux[Front].mVideo.RunVideoEnc(); });
    BmVideoBuffer& buffer = works->bmMux[Front].mVideo.mVideoBuffer;
    WaitFor([&] { return buffer.GetTotalTimeSec() >= 5; }, 300000);

    std::map<int, ThreadCpu> idleStart = Threads();
    Wait(seconds);
    double engineIdle = EngineSec(Threads()) - EngineSec(idleStart);
    uint64_t from = 0;
    OnEngine([&] { from = buffer.GetLastBufferTime(); });
    std::map<int, ThreadCpu> recordStart = Threads();
    works->RunRecord(Front, Normal);
    Wait(seconds);
    std::map<int, ThreadCpu> recordEnd = Threads();
    std::string threads;
    double pipeline = NewThreadsSec(recordStart, recordEnd, threads);
    double engineRecording = EngineSec(recordEnd) - EngineSec(recordStart);
    works->PauseRecord(Front, Normal);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    std::vector<BufferedUnit> units = Units(buffer, from);
    std::string raw = WriteRawStream(units, "bench_units.h265");
    double frames = static_cast<double>(units.size());
    double recorded = std::atof(
        Shell("ffprobe -v error -select_streams v:0 -show_entries stream=nb_frames -of csv=p=0 " + gFile).c_str());
    // The units as a byte stream with their times (MPEG-TS) and an 8000 Hz
    // mono track (WAV), as the recorder's muxer gets them; a one-frame copy
    // measures what gst-launch costs besides the muxing.
    double lengthSec = frames / 30;
    Shell("ffmpeg -v error -y -framerate 30 -i " + raw + " -c copy bench_units.ts");
    Shell("ffmpeg -v error -y -f lavfi -i sine=frequency=440:sample_rate=8000 -t " + std::to_string(lengthSec) +
          " -c:a pcm_s16le bench_sound.wav");
    Shell("ffmpeg -v error -y -i bench_units.ts -frames:v 1 -c copy bench_unit.ts");
    Shell("ffmpeg -v error -y -i bench_sound.wav -t 0.04 bench_tick.wav");

    // Plain muxing, and the same muxing as the recorder's (split sink, robust muxing).
    const std::string bareMuxer[] = {
        "qtmux name=mux ! filesink location=bench_bare.mp4",
        "splitmuxsink name=mux location=bench_split.mp4 max-size-time=60000000000 use-robust-muxing=true "
        "muxer=\"qtmux reserved-max-duration=120000000000 reserved-bytes-per-sec=1024 "
        "reserved-moov-update-period=2000000000\"",
    };
    const std::string queue = " ! queue max-size-time=0 max-size-buffers=0 max-size-bytes=0 ! ";
    auto launchSec = [&](const std::string& video, const std::string& sound, const std::string& muxer) {
        double before = CpuSec(RUSAGE_CHILDREN);
        Shell("gst-launch-1.0 -q " + muxer + " filesrc location=" + video + " ! tsdemux" + queue + "h265parse ! mux.video" +
              (muxer[0] == 'q' ? "_0" : "") + " filesrc location=" + sound + " ! wavparse" + queue + "mux.audio_0");
        return CpuSec(RUSAGE_CHILDREN) - before;
    };
    double bare[2];
    for (int i = 0; i < 2; i++) {
        bare[i] = launchSec("bench_units.ts", "bench_sound.wav", bareMuxer[i]) -
                  launchSec("bench_unit.ts", "bench_tick.wav", bareMuxer[i]);
        bare[i] = bare[i] / frames * 1e3;
    }

    double product = (pipeline + engineRecording - engineIdle) / recorded * 1e3;
    printf("==== recording benchmark: front 1080p30 Normal, %d s, %.0f frames recorded\n", seconds, recorded);
    printf("pipeline threads:               %.3f CPU s\n%s", pipeline, threads.c_str());
    printf("engine thread not recording:    %.3f CPU s\n", engineIdle);
    printf("engine thread recording:        %.3f CPU s\n", engineRecording);
    printf("recording path per frame:       %.3f ms\n", product);
    printf("bare qtmux per frame:           %.3f ms (ratio %.2f)\n", bare[0], product / bare[0]);
    printf("bare robust splitmux per frame: %.3f ms (ratio %.2f, goal at most 1.3)\n", bare[1], product / bare[1]);
    fflush(stdout);
    _exit(0);
}
