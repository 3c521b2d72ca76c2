#include "RecordRun.h"

#include "bmworks/BmAudio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <map>

namespace {

std::mutex gMutex;
std::string gDir;
std::map<std::pair<int, int>, std::vector<std::string>> gNamed;
std::vector<BmErrorReport> gErrors;
long long gSizeOverride = 0;
std::string gNameOverride;
// The engine copies a name only after the callback returned, and both
// cameras ask at once: every name handed out keeps its own storage.
std::deque<std::string> gHandedOut;

char* NextFile(CameraPosition camera, RecordType type)
{
    std::lock_guard<std::mutex> lock(gMutex);
    std::vector<std::string>& named = gNamed[{camera, type}];
    std::string path = gNameOverride;
    if (path.empty()) {
        path = gDir + "/" + BmWorks::CameraPositionName[camera] + "_" + BmWorks::RecordTypeName[type] + "_" +
               std::to_string(named.size()) + ".mp4";
        BmMux& mux = BmWorks::Inst()->bmMux[camera];
        long long size = type == Normal ? mux.GetRecordFileSize() : mux.GetEventRecordFileSize();
        Preallocate(path, gSizeOverride ? gSizeOverride : size);
    }
    named.push_back(path);
    gHandedOut.push_back(path);
    return const_cast<char*>(gHandedOut.back().c_str());
}

void OnError(CameraPosition camera, RecordType type, BmError code, std::string message)
{
    std::lock_guard<std::mutex> lock(gMutex);
    gErrors.push_back(BmErrorReport{camera, type, code, message});
}

} // namespace

BmWorks* RecordingEngine(int eventSec, int preSec)
{
    static BmWorks* works = [&] {
        UseReplayEncoding();
        BmWorks* w = Engine();
        w->SetEventTimeSec(eventSec, preSec);
        w->SetNewFileNameCallback(NextFile);
        w->SetErrorCallback(OnError);
        for (CameraPosition camera : {Front, Rear}) {
            w->SetCongigBeforeStart(camera, HD);
            w->Start(camera);
        }
        OnEngine([w] {
            for (BmMux& mux : w->bmMux)
                mux.mVideo.RunVideoEnc();
        });
        for (BmMux& mux : w->bmMux)
            WaitFor([&] { return mux.mVideo.mVideoBuffer.GetTotalTimeSec() > preSec + 1; }, 180000);
        // The audio capture starts on its own time: an event reaches back into it too.
        WaitFor([&] {
            auto span = BmAudio::Inst()->mAudioBuffer.mAudioBufferList.Span();
            return span.second - span.first > static_cast<uint64_t>(preSec + 1) * 1000000;
        }, 60000);
        return w;
    }();
    return works;
}

void Preallocate(const std::string& path, long long bytes)
{
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return;
    if (posix_fallocate(fd, 0, bytes) != 0 && ftruncate(fd, bytes) != 0)
        perror("Preallocate");
    close(fd);
}

void Files::Use(const std::string& dir)
{
    mkdir(dir.c_str(), 0755);
    std::lock_guard<std::mutex> lock(gMutex);
    gDir = dir;
}

std::vector<std::string> Files::Named(CameraPosition camera, RecordType type)
{
    std::lock_guard<std::mutex> lock(gMutex);
    return gNamed[{camera, type}];
}

std::vector<BmErrorReport> Files::Errors()
{
    std::lock_guard<std::mutex> lock(gMutex);
    return gErrors;
}

void Files::SizeOverride(long long bytes)
{
    std::lock_guard<std::mutex> lock(gMutex);
    gSizeOverride = bytes;
}

void Files::NameOverride(const std::string& path)
{
    std::lock_guard<std::mutex> lock(gMutex);
    gNameOverride = path;
}

long long FileSize(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

std::string Probe(const std::string& path, const std::string& selectAndEntries)
{
    return Shell("ffprobe -v error " + selectAndEntries + " -of default=nw=1:nk=1 " + path + " 2>&1");
}

double DurationSec(const std::string& path, const char* stream)
{
    return std::atof(Probe(path, std::string("-select_streams ") + stream + " -show_entries stream=duration").c_str());
}

double StartSec(const std::string& path, const char* stream)
{
    return std::atof(Probe(path, std::string("-select_streams ") + stream + " -show_entries stream=start_time").c_str());
}

std::string SubtitleText(const std::string& path)
{
    return Shell("ffmpeg -v error -i " + path + " -map 0:s:0 -f srt - 2>&1");
}
