// Benchmark of the pre-record buffers' memory, as the run has them: front
// camera 1440p and rear 1080p at 30 fps (replayed encoding), the sound and
// the subtitle lines, each kept for 30 s, while both cameras record Normal
// into pre-allocated files. Resident memory is sampled while the buffers
// fill and age. Its growth from a start point a few seconds in (the
// cameras' frame pools, the pipelines and the allocator's first arenas in
// place) is set against the payload the buffers gained since; the growth
// from before the encoders started is printed beside it.
//
//   memory_bench [seconds]     measure (default 45: 30 s to fill, the rest ageing); run from a scratch folder

#include "EngineRun.h"

#include "bmworks/BmAudio.h"
#include "bmworks/BmSubtitle.h"

#include <unistd.h>


#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

constexpr int kStartPointSec = 3;

char* FileName(CameraPosition camera, RecordType)
{
    static std::string names[2];
    std::string& name = names[camera];
    name = std::string(camera == Front ? "memory_front" : "memory_rear") + ".mp4";
    PreallocateRecording(name, camera);
    return const_cast<char*>(name.c_str());
}

long long PayloadBytes(BmWorks* works)
{
    return works->bmMux[Front].mVideo.mVideoBuffer.mVideoBufferList.Bytes() +
           works->bmMux[Rear].mVideo.mVideoBuffer.mVideoBufferList.Bytes() +
           BmAudio::Inst()->mAudioBuffer.mAudioBufferList.Bytes() +
           BmSubtitle::Inst()->mSubtitleBuffer.mAudioBufferList.Bytes();
}

double Mib(double kb)
{
    return kb / 1024;
}

} // namespace

int main(int argc, char** argv)
{
    int seconds = argc > 1 ? std::atoi(argv[1]) : 45;
    BmWorks* works = StartRunLayoutReplayed();
    if (works == nullptr)
        return 1;
    works->SetNewFileNameCallback(FileName);
    long startKb = StatusKb("VmRSS:");
    works->RunRecord(Front, Normal);
    works->RunRecord(Rear, Normal);
    std::this_thread::sleep_for(std::chrono::seconds(kStartPointSec));
    long pointKb = StatusKb("VmRSS:");
    long long pointPayload = PayloadBytes(works);
    long peakKb = pointKb;
    long long payloadMax = pointPayload;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds - kStartPointSec);
    while (std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        peakKb = std::max(peakKb, StatusKb("VmRSS:"));
        payloadMax = std::max(payloadMax, PayloadBytes(works));
    }
    long endKb = StatusKb("VmRSS:");
    long long payload = PayloadBytes(works);
    long hwmKb = StatusKb("VmHWM:");
    double fill = (payloadMax - pointPayload) / 1048576.0;
    std::printf("\n==== memory benchmark: front 2560x1440 + rear 1920x1080 at 30 fps, sound, 30 s buffers, both "
                "recording, %d s ====\n",
                seconds);
    std::printf("resident before the encoders   %.1f MiB\n", Mib(startKb));
    std::printf("resident %d s in               %.1f MiB, payload then %.1f MiB\n", kStartPointSec, Mib(pointKb),
                pointPayload / 1048576.0);
    std::printf("peak resident (sampled / HWM)  %.1f / %.1f MiB; at the end %.1f MiB\n", Mib(peakKb), Mib(hwmKb),
                Mib(endKb));
    std::printf("payload: largest / at the end  %.1f / %.1f MiB\n", payloadMax / 1048576.0, payload / 1048576.0);
    std::printf("growth while the buffers fill  %.1f MiB for %.1f MiB of payload = %.2f x\n",
                Mib(peakKb - pointKb), fill, Mib(peakKb - pointKb) / fill);
    std::printf("growth from before the encoders %.1f MiB = %.2f x the largest payload\n", Mib(peakKb - startKb),
                Mib(peakKb - startKb) * 1048576.0 / payloadMax);
    std::fflush(stdout);
    std::_Exit(0);
}
