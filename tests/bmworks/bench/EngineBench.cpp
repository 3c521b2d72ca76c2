// Benchmark of the media engine with both cameras at their default sizes
// (front 1440p, rear 1080p, 30 fps) and replayed encoding: the engine
// thread's CPU per frame outside the encoder, the whole process's CPU per
// frame, and the peak resident memory against the payload the two 30 s
// pre-record buffers hold.
//
//   bmworks_bench [seconds]        measure (default 45 s)
//   bmworks_bench --prepare        only prepare the replay loops, then exit

#include "EngineRun.h"

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <thread>

namespace {

double ThreadCpuSec(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

double ProcessCpuSec()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

int FramesHandled(BmWorks* works)
{
    int frames = 0;
    OnEngine([&] {
        for (BmMux& mux : works->bmMux)
            frames += mux.mVideo.mEncodingFrameCount;
    });
    return frames;
}

} // namespace

int main(int argc, char** argv)
{
    bool prepareOnly = argc > 1 && std::strcmp(argv[1], "--prepare") == 0;
    int seconds = argc > 1 && !prepareOnly ? std::atoi(argv[1]) : 45;
    BmWorks* works = StartRunLayoutReplayed();
    if (works == nullptr)
        return 1;
    long startKb = StatusKb("VmRSS:");
    clockid_t engineClock{};
    OnEngine([&] {
        pthread_getcpuclockid(pthread_self(), &engineClock);
        for (BmMux& mux : works->bmMux)
            mux.mVideo.RunVideoEnc();
    });
    for (BmMux& mux : works->bmMux) {
        if (!WaitFor([&] { return mux.mVideo.mVideoBuffer.GetLastBufferTime() != 0; }, 300000))
            return 1;
    }
    if (prepareOnly)
        return 0;

    int frames0 = FramesHandled(works);
    double engine0 = ThreadCpuSec(engineClock);
    double process0 = ProcessCpuSec();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    int frames = FramesHandled(works) - frames0;
    double engine = ThreadCpuSec(engineClock) - engine0;
    double process = ProcessCpuSec() - process0;

    long long payload = works->bmMux[Front].mVideo.mVideoBuffer.mVideoBufferList.Bytes() +
                        works->bmMux[Rear].mVideo.mVideoBuffer.mVideoBufferList.Bytes();
    long peakKb = StatusKb("VmHWM:");
    std::printf("\n==== engine benchmark: front 2560x1440 + rear 1920x1080 at 30 fps, replayed encoding, %d s ====\n",
                seconds);
    std::printf("frames handled                 %d (%.1f per second)\n", frames, frames / double(seconds));
    std::printf("engine thread CPU per frame    %.3f ms\n", 1000 * engine / frames);
    std::printf("process CPU per frame          %.3f ms (cameras drawing the scene and encoders replaying included)\n",
                1000 * process / frames);
    std::printf("payload in the 30 s buffers    %.1f MB\n", payload / 1e6);
    std::printf("resident at camera start       %.1f MB\n", startKb / 1e3);
    std::printf("peak resident                  %.1f MB (payload + %.1f MB)\n", peakKb / 1e3,
                (peakKb * 1e3 - payload) / 1e6);
    std::fflush(stdout);
    std::_Exit(0);
}
