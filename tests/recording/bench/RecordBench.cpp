// Benchmark of the recording path in replay mode: the front camera records
// Normal at 1080p30 with sound and subtitles, against a batch gst-launch-1.0
// pipeline that muxes the same units and a sound track of the same format
// the same way (splitmuxsink, qtmux and filesink with the recorder's
// properties).
//
// The path's cost is the CPU of its own threads: those the recording's
// pipeline starts (appsrc feeds, parsers, splitmuxsink's queues, the sink),
// measured per thread, divided by the frames in the file. The engine
// thread's feeding is reported beside it as the difference between its CPU
// in a recording window and in the idle window before it: a figure of the
// same sign and order, but noisier, so it is kept apart. The anchor is the
// whole-process user + system time of the batch pipeline on a recording's
// units minus that of a one-frame run (the cost of gst-launch itself),
// divided by the same frame count. Product and anchor runs alternate, each
// pair giving a ratio; medians and spreads are printed. Every child has a
// time-out (the batch pipeline now and then hangs after end-of-stream).
//
//   recording_bench [runs] [seconds]   default 9 runs of 20 s; run from a scratch folder

#include "EngineRun.h"

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string gFile;

char* FileName(CameraPosition camera, RecordType)
{
    PreallocateRecording(gFile, camera);
    return const_cast<char*>(gFile.c_str());
}

struct ThreadCpu {
    std::string name;
    double sec;
};

// CPU seconds of every thread of the process by thread id, from the
// scheduler's nanosecond count (the tick counts of stat round small costs away).
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

// CPU the threads spent between the two snapshots, leaving out the
// process's own threads (engine, capture, encoders, sound capture), which
// ran before any recording: what is left are the recording pipeline's,
// new or taken again from GStreamer's pool.
// Also adds each thread's share by name into byName.
double PipelineSec(const std::map<int, ThreadCpu>& before, const std::map<int, ThreadCpu>& after,
                   const std::map<int, ThreadCpu>& own, std::map<std::string, double>& byName)
{
    double sum = 0;
    for (const auto& t : after) {
        if (own.count(t.first) != 0)
            continue;
        auto b = before.find(t.first);
        double sec = t.second.sec - (b == before.end() ? 0 : b->second.sec);
        byName[t.second.name] += sec;
        sum += sec;
    }
    return sum;
}

double ChildrenCpuSec()
{
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double Frames(const std::string& path)
{
    return std::atof(
        Shell("timeout 60 ffprobe -v error -count_packets -select_streams v:0 -show_entries stream=nb_read_packets "
              "-of csv=p=0 " + path)
            .c_str());
}

// The recorder's muxing, as a batch pipeline over a unit stream (MPEG-TS)
// and a sound file (WAV).
std::string AnchorCommand(const std::string& units, const std::string& sound)
{
    const std::string queue = " ! queue max-size-time=0 max-size-buffers=0 max-size-bytes=0 ! ";
    return "gst-launch-1.0 -q splitmuxsink name=mux location=bench_anchor_%02d.mp4 max-size-time=60000000000 "
           "max-size-bytes=1000000000 max-files=10 use-robust-muxing=true muxer=\"qtmux "
           "max-raw-audio-drift=500000000 presentation-time=false reserved-max-duration=120000000000 "
           "reserved-bytes-per-sec=1024 reserved-moov-update-period=2000000000\" sink=\"filesink blocksize=0 "
           "buffer-mode=0 buffer-size=131072\" filesrc location=" +
           units + " ! tsdemux" + queue + "h265parse ! mux.video filesrc location=" + sound + " ! wavparse" + queue +
           "mux.audio_0";
}

// Whole-process CPU of one batch run that ended by itself with all its
// frames written. The batch pipeline now and then hangs after end-of-stream,
// spinning: such a run is killed after 15 s and tried again, three times at
// most. Negative when none ended well.
double ChildSec(const std::string& command, double frames)
{
    for (int attempt = 0; attempt < 3; attempt++) {
        std::remove("bench_anchor_00.mp4");
        double before = ChildrenCpuSec();
        int status = std::system(("timeout -s KILL 15 " + command + " > /dev/null 2>&1").c_str());
        double sec = ChildrenCpuSec() - before;
        if (status == 0 && Frames("bench_anchor_00.mp4") >= frames)
            return sec;
        std::printf("a batch run hung or wrote too few frames (status %d): tried again\n", status);
    }
    return -1;
}

struct Spread {
    double median, min, max;
};

Spread SpreadOf(std::vector<double> values)
{
    if (values.empty())
        return {0, 0, 0};
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return {median, values.front(), values.back()};
}

void Print(const char* what, const std::vector<double>& values, const char* unit)
{
    Spread s = SpreadOf(values);
    std::printf("%-44s median %.3f%s (min %.3f, max %.3f, %zu runs)\n", what, s.median, unit, s.min, s.max,
                values.size());
}

struct Run {
    double pipelineMs;    // pipeline threads per frame
    double engineMs;      // engine thread recording minus idle, per frame
    double anchorMs;      // batch pipeline per frame
    double frames;
    std::map<std::string, double> threadMs; // per frame, by thread name
};

// One recording of seconds with the idle window before it, then the
// anchor on the units it recorded.
bool RecordOnce(BmWorks* works, int seconds, const std::map<int, ThreadCpu>& own, Run& run)
{
    BmVideoBuffer& buffer = works->bmMux[Front].mVideo.mVideoBuffer;
    auto idleStart = Threads();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    auto idleEnd = Threads();
    uint64_t from = 0;
    OnEngine([&] { from = buffer.GetLastBufferTime(); });
    works->RunRecord(Front, Normal);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    auto recordEnd = Threads();
    works->PauseRecord(Front, Normal);
    bool ended = WaitFor([&] {
        bool gone = false;
        OnEngine([&] { gone = works->bmMux[Front].pGstPipeline[Normal] == nullptr; });
        return gone;
    }, 60000);
    if (!ended)
        return false;
    run.frames = Frames(gFile);
    if (run.frames < 2)
        return false;
    run.pipelineMs = PipelineSec(idleEnd, recordEnd, own, run.threadMs) / run.frames * 1e3;
    for (auto& t : run.threadMs)
        t.second = t.second / run.frames * 1e3;
    double engineIdle = EngineSec(idleEnd) - EngineSec(idleStart);
    double engineRecording = EngineSec(recordEnd) - EngineSec(idleEnd);
    run.engineMs = (engineRecording - engineIdle) / run.frames * 1e3;

    // The anchor's input: the same units from the first key unit on, as
    // many as the file holds, and as long a sound track.
    std::vector<BufferedUnit> units = Units(buffer, from);
    std::string raw = WriteRawStream(units, "bench_units.h265");
    double lengthSec = run.frames / 30;
    Shell("timeout 60 ffmpeg -v error -y -framerate 30 -i " + raw + " -frames:v " +
          std::to_string(static_cast<int>(run.frames)) + " -c copy bench_units.ts");
    Shell("timeout 60 ffmpeg -v error -y -f lavfi -i sine=frequency=440:sample_rate=8000 -t " +
          std::to_string(lengthSec) + " -c:a pcm_s16le bench_sound.wav");
    Shell("timeout 60 ffmpeg -v error -y -i bench_units.ts -frames:v 1 -c copy bench_unit.ts");
    Shell("timeout 60 ffmpeg -v error -y -i bench_sound.wav -t 0.04 bench_tick.wav");
    double whole = ChildSec(AnchorCommand("bench_units.ts", "bench_sound.wav"), run.frames);
    double one = ChildSec(AnchorCommand("bench_unit.ts", "bench_tick.wav"), 1);
    if (whole < 0 || one < 0) {
        std::printf("anchor left out of this run\n");
        run.anchorMs = -1;
        return true;
    }
    run.anchorMs = (whole - one) / run.frames * 1e3;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    int runs = argc > 1 ? std::atoi(argv[1]) : 9;
    int seconds = argc > 2 ? std::atoi(argv[2]) : 20;
    setenv("DASHREC_SOC_VENC", "replay", 1);
    gFile = std::string(getcwd(nullptr, 0)) + "/bench_normal.mp4";
    BmWorks* works = Engine();
    works->SetNewFileNameCallback(FileName);
    works->SetCongigBeforeStart(Front, FHD);
    works->Start(Front);
    OnEngine([&] { works->bmMux[Front].mVideo.RunVideoEnc(); });
    BmVideoBuffer& buffer = works->bmMux[Front].mVideo.mVideoBuffer;
    WaitFor([&] { return buffer.GetTotalTimeSec() >= 5; }, 300000);

    const std::map<int, ThreadCpu> own = Threads();
    std::vector<double> pipeline, engine, anchor, ratio, ratioWithEngine, frames;
    std::map<std::string, std::vector<double>> threads;
    for (int i = 0; i < runs; i++) {
        Run run{};
        if (!RecordOnce(works, seconds, own, run)) {
            std::printf("run %d: the recording did not end or holds no frames: left out\n", i);
            continue;
        }
        std::printf("run %d: %.0f frames, pipeline %.3f ms, engine %+.3f ms, anchor %.3f ms per frame\n", i,
                    run.frames, run.pipelineMs, run.engineMs, run.anchorMs);
        std::fflush(stdout);
        pipeline.push_back(run.pipelineMs);
        engine.push_back(run.engineMs);
        frames.push_back(run.frames);
        for (const auto& t : run.threadMs)
            threads[t.first].push_back(t.second);
        if (run.anchorMs > 0) {
            anchor.push_back(run.anchorMs);
            ratio.push_back(run.pipelineMs / run.anchorMs);
            ratioWithEngine.push_back((run.pipelineMs + run.engineMs) / run.anchorMs);
        }
    }
    std::printf("==== recording benchmark: front 1080p30 Normal with sound and subtitles, %d runs of %d s\n", runs,
                seconds);
    Print("frames in the file", frames, "");
    Print("recording pipeline's threads per frame", pipeline, " ms");
    for (const auto& t : threads)
        Print(("  thread " + t.first).c_str(), t.second, " ms");
    Print("engine thread's feeding per frame (noisy)", engine, " ms");
    Print("batch pipeline per frame (anchor)", anchor, " ms");
    Print("ratio pipeline threads / anchor", ratio, "");
    Print("ratio with the engine's feeding / anchor", ratioWithEngine, "");
    std::fflush(stdout);
    _exit(0);
}
