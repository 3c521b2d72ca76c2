#include "Recordings.h"

#include "tests/bmworks/EngineRun.h"
#include "host/soc/RoadScene.h"
#include "mpp_comm/mpp_comm_vo.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 360;

std::string Folder()
{
    const char* binary = std::getenv("DASHREC_BINARY_DIR");
    std::string folder = std::string(binary != nullptr ? binary : "/tmp") + "/tests/playback/media";
    Shell("mkdir -p '" + folder + "'");
    return folder;
}

std::string WriteSubtitles(const std::string& folder, int seconds)
{
    std::string path = folder + "/subtitles.srt";
    std::ofstream out(path, std::ios::trunc);
    for (int s = 0; s < seconds; s++)
        out << s + 1 << "\n00:00:" << (s < 10 ? "0" : "") << s << ",000 --> 00:00:" << (s + 1 < 10 ? "0" : "")
            << s + 1 << ",000\nN 37.56 E 126.97 " << s << "km/h\n\n";
    return path;
}

bool Make(const std::string& codec, int seconds, const std::string& path)
{
    std::string folder = Folder();
    std::string srt = WriteSubtitles(folder, seconds);
    std::string partial = path + ".part";
    std::string video = codec == "hevc" ? "-c:v libx265 -x265-params keyint=10:bframes=0:repeat-headers=1:log-level=error"
                                        : "-c:v libx264 -x264-params keyint=10:bframes=0:repeat-headers=1";
    char size[32];
    snprintf(size, sizeof(size), "%dx%d", kWidth, kHeight);
    std::string command = "ffmpeg -v error -y -f rawvideo -pix_fmt nv21 -s " + std::string(size) + " -r " +
                          std::to_string(kRecordingFps) + " -i - -f lavfi -i sine=f=440:r=8000 -i '" + srt +
                          "' -t " + std::to_string(seconds) + " -map 0 -map 1 -map 2 " + video +
                          " -preset ultrafast -c:a pcm_s16le -ac 1 -ar 8000 -c:s mov_text -f mov '" + partial + "'";
    FILE* ffmpeg = popen(command.c_str(), "w");
    if (ffmpeg == nullptr)
        return false;
    std::vector<uint8_t> picture(kWidth * kHeight * 3 / 2);
    for (int n = 0; n < seconds * kRecordingFps; n++) {
        soc::SceneShot shot;
        shot.timeSec = static_cast<double>(n) / kRecordingFps;
        shot.frameNumber = static_cast<uint32_t>(n);
        shot.label = "PLAY";
        soc::RenderRoadScene(picture.data(), picture.data() + kWidth * kHeight, kWidth, kHeight, shot);
        fwrite(picture.data(), 1, picture.size(), ffmpeg);
    }
    return pclose(ffmpeg) == 0 && rename(partial.c_str(), path.c_str()) == 0;
}

} // namespace

std::string Recording(const std::string& codec, int seconds)
{
    std::string folder = Folder();
    std::string path = folder + "/" + codec + "_" + std::to_string(seconds) + "s.MP4";
    // Test processes run side by side: one makes the file, the others wait.
    int lock = open((folder + "/lock").c_str(), O_CREAT | O_RDWR, 0644);
    flock(lock, LOCK_EX);
    if (access(path.c_str(), R_OK) != 0 && !Make(codec, seconds, path))
        path.clear();
    flock(lock, LOCK_UN);
    close(lock);
    return path;
}

std::string HalfOf(const std::string& path)
{
    std::string half = path + ".half." + std::to_string(getpid());
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(half, std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size() / 2);
    return half;
}

std::string Zeros(size_t bytes)
{
    std::string path = Folder() + "/zeros." + std::to_string(getpid()) + ".MP4";
    std::vector<char> zeros(bytes, 0);
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(zeros.data(), zeros.size());
    return path;
}

int ProbeDurationMsec(const std::string& path)
{
    std::string out = Shell("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + path + "'");
    return static_cast<int>(std::atof(out.c_str()) * 1000 + 0.5);
}

bool SaveNv21Png(const unsigned char* y, const unsigned char* vu, int width, int height, const std::string& png)
{
    std::string raw = png + ".nv21";
    {
        std::ofstream out(raw, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(y), static_cast<std::streamsize>(width) * height);
        out.write(reinterpret_cast<const char*>(vu), static_cast<std::streamsize>(width) * height / 2);
    }
    std::string command = "ffmpeg -v error -y -f rawvideo -pix_fmt nv21 -s " + std::to_string(width) + "x" +
                          std::to_string(height) + " -i '" + raw + "' -frames:v 1 '" + png + "' && echo ok";
    bool ok = Shell(command).find("ok") != std::string::npos;
    unlink(raw.c_str());
    return ok;
}

// The panel and its main channel, as the live view's front display leaves them.
bool PanelReady()
{
    static bool ready = [] {
        VO_DEV_CFG_S device = {320, 480};
        VO_CHN_CFG_S channel = {0, 0, 320, 480, 0};
        return mpp_comm_vo_dev_create(VO_TYPE_LCD, &device) == 0 &&
               mpp_comm_vo_chn_layer_create(0, &channel, 0, 0, 255) == 0 && mpp_comm_vo_chn_layer_visible(0, 0, 1) == 0;
    }();
    return ready;
}
