// Benchmark of the recording path (feed, parse, mux, sink) in replay mode:
// the process's CPU per recorded frame while the front camera records Normal
// at 1080p30, less the CPU of the same engine not recording, against a bare
// gst-launch-1.0 pipeline that muxes the same units into a file.
//
//   recording_bench [seconds]      measure (default 30 s); run from a scratch folder

#include "EngineRun.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
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

// CPU seconds of the process over the given wall time.
double CpuOver(int seconds)
{
    double before = CpuSec(RUSAGE_SELF);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    return CpuSec(RUSAGE_SELF) - before;
}

} // namespace

int main(int argc, char** argv)
{
    int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
    setenv("DASHREC_SOC_VENC", "replay", 1);
    gFile = std::string(getcwd(nullptr, 0)) + "/bench_normal.mp4";
    BmWorks* works = Engine();
    works->DontStartAudio();
    works->SetNewFileNameCallback(FileName);
    works->SetCongigBeforeStart(Front, FHD);
    works->Start(Front);
    OnEngine([&] { works->bmMux[Front].mVideo.RunVideoEnc(); });
    BmVideoBuffer& buffer = works->bmMux[Front].mVideo.mVideoBuffer;
    WaitFor([&] { return buffer.GetTotalTimeSec() >= 5; }, 300000);

    double idle = CpuOver(seconds);
    uint64_t from = 0;
    OnEngine([&] { from = buffer.GetLastBufferTime(); });
    works->RunRecord(Front, Normal);
    double recording = CpuOver(seconds);
    works->PauseRecord(Front, Normal);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    std::vector<BufferedUnit> units = Units(buffer, from);
    std::string raw = WriteRawStream(units, "bench_units.h265");
    double frames = static_cast<double>(units.size());

    // Plain muxing, and the same muxing as the recorder's (split sink, robust muxing).
    const std::string bareTail[] = {
        " ! qtmux ! filesink location=bench_bare.mp4",
        " ! splitmuxsink location=bench_split.mp4 max-size-time=60000000000 use-robust-muxing=true "
        "muxer=\"qtmux reserved-max-duration=120000000000 reserved-bytes-per-sec=1024 "
        "reserved-moov-update-period=2000000000\"",
    };
    double bare[2];
    for (int i = 0; i < 2; i++) {
        double childBefore = CpuSec(RUSAGE_CHILDREN);
        Shell("gst-launch-1.0 -q filesrc location=" + raw + " ! h265parse" + bareTail[i]);
        bare[i] = (CpuSec(RUSAGE_CHILDREN) - childBefore) / frames * 1e3;
    }

    double product = (recording - idle) / frames * 1e3;
    printf("==== recording benchmark: front 1080p30 Normal, %d s, %.0f frames\n", seconds, frames);
    printf("engine not recording:           %.3f CPU s\n", idle);
    printf("engine recording:               %.3f CPU s\n", recording);
    printf("recording path per frame:       %.3f ms\n", product);
    printf("bare qtmux per frame:           %.3f ms (ratio %.2f)\n", bare[0], product / bare[0]);
    printf("bare robust splitmux per frame: %.3f ms (ratio %.2f, goal at most 1.3)\n", bare[1], product / bare[1]);
    fflush(stdout);
    _exit(0);
}
