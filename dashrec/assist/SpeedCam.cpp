#include "dashrec/assist/SpeedCam.h"

#include "dashrec/assist/SpeedCamDB.h"
#include "dashrec/core/MessageIds.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Shell.h"
#include "dashrec/core/Storage.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vk {

std::atomic<SpeedCam::Observer> SpeedCam::_observer{nullptr};

namespace {

const char* const DB_FILE = "sc_cam.idb";
constexpr int MOVE_TRIES = 4;
constexpr size_t COPY_BLOCK = 16 * 1024;
const char* const PLACING_SUFFIX = ".new";
constexpr int WAIT_MS = 100;
const char* const DASHES = "------------------------------------------------------------------------------------------\n";

SDDebug* Log()
{
    return Singleton<SDDebug>::Inst();
}

struct SoundEntry {
    int code;
    const char* name;
};

const SoundEntry SOUNDS[] = {
    {SpeedCam::R_alarm, "R_alarm"},           {SpeedCam::R_dingdong, "R_dingdong"},
    {SpeedCam::R_release, "R_release"},       {SpeedCam::R_01_SP_01_8, "R_01_SP_01_8"},
    {SpeedCam::R_01_SP_02_8, "R_01_SP_02_8"}, {SpeedCam::R_01_SP_03_8, "R_01_SP_03_8"},
    {SpeedCam::R_01_SP_04_8, "R_01_SP_04_8"}, {SpeedCam::R_01_SP_05_8, "R_01_SP_05_8"},
    {SpeedCam::R_01_SP_06_8, "R_01_SP_06_8"}, {SpeedCam::R_01_SP_07_8, "R_01_SP_07_8"},
    {SpeedCam::R_01_SP_08_8, "R_01_SP_08_8"}, {SpeedCam::R_01_SP_09_8, "R_01_SP_09_8"},
    {SpeedCam::R_01_SP_15_8, "R_01_SP_15_8"}, {SpeedCam::R_01_SP_17_8, "R_01_SP_17_8"},
    {SpeedCam::R_01_SP_18_8, "R_01_SP_18_8"}, {SpeedCam::R_02_010_01, "R_02_010_01"},
    {SpeedCam::R_02_020_02, "R_02_020_02"},   {SpeedCam::R_02_030_03, "R_02_030_03"},
    {SpeedCam::R_02_040_04, "R_02_040_04"},   {SpeedCam::R_02_050_05, "R_02_050_05"},
    {SpeedCam::R_02_060_06, "R_02_060_06"},   {SpeedCam::R_02_070_07, "R_02_070_07"},
    {SpeedCam::R_02_080_08, "R_02_080_08"},   {SpeedCam::R_02_090_09, "R_02_090_09"},
    {SpeedCam::R_02_100_10, "R_02_100_10"},   {SpeedCam::R_02_110_11, "R_02_110_11"},
    {SpeedCam::R_02_120_12, "R_02_120_12"},
};

// A camera found: its prompt after the chime and its log line; the line for
// a sub of the kind that has no prompt.
struct CameraPrompt {
    int kind;
    int sub; // -1: any
    int prompt;
    const char* line;
};

const CameraPrompt CAMERA_PROMPTS[] = {
    {1, 0, SpeedCam::R_01_SP_01_8, "[SpeedCam]딩동 딩동 전방에 과속단속 구간입니다 - code:%d sub:%d\n"},
    {1, 2, SpeedCam::R_01_SP_05_8, "[SpeedCam]딩동 딩동 전방에 버스전용 차로 위반 및 과속단속 구간입니다 - code:%d sub:%d\n"},
    {1, 12, SpeedCam::R_01_SP_02_8, "[SpeedCam]딩동 딩동 전방에 구간단속시작 구간입니다 - code:%d sub:%d\n"},
    {1, 13, SpeedCam::R_01_SP_03_8, "[SpeedCam]딩동 딩동 전방에 구간단속종료 구간입니다- code:%d sub:%d\n"},
    {2, 0, SpeedCam::R_01_SP_09_8, "[SpeedCam]딩동 전방에 버스전용차로 단속 구간입니다 - code:%d sub:%d\n"},
    {3, 0, SpeedCam::R_01_SP_17_8, "[SpeedCam]딩동 딩동 전방에 이동식 출몰예상 구간입니다 - code:%d sub:%d\n"},
    {7, 0, SpeedCam::R_01_SP_06_8, "[SpeedCam]딩동 딩동 전방에 이동식 거치함단속 구간입니다 - code:%d sub:%d\n"},
    {46, 0, SpeedCam::R_01_SP_15_8, "[SpeedCam]딩동 전방에 끼어들기 단속 구간입니다 - code:%d sub:%d\n"},
    {48, 0, SpeedCam::R_01_SP_07_8, "[SpeedCam]딩동 딩동 전방에 이동식거치함 단속구간입니다 - code:%d sub:%d\n"},
    {50, 0, SpeedCam::R_01_SP_18_8, "[SpeedCam]딩동 전방에 지정차로 단속 구간입니다 - code:%d sub:%d\n"},
};

struct UnlistedSub {
    int kind;
    const char* line;
};

const UnlistedSub UNLISTED_SUBS[] = {
    {1, "[SpeedCam]_PROPERTY_CAM_FIXED subcode not found - code:%d sub:%d\n"},
    {2, "[SpeedCam]_PROPERTY_CAM_BUS: subcode not found - code:%d sub:%d\n"},
    {3, "[SpeedCam]_PROPERTY_CAM_HANDHELD: subcode not found - code:%d sub:%d\n"},
    {7, "[SpeedCam]_PROPERTY_CAM_VES: subcode not found - code:%d sub:%d\n"},
    {46, "[SpeedCam]_PROPERTY_CAM_CUT_IN: subcode not found - code:%d sub:%d\n"},
    {48, "[SpeedCam]_PROPERTY_CAM_FIXED_HANDHELD: subcode not found - code:%d sub:%d\n"},
    {50, "[SpeedCam]_PROPERTY_CAM_LANE: subcode not found - code:%d sub:%d\n"},
};

constexpr int SECTION_RELEASE_KIND = 99;

// A camera passed: the prompts and the line.
struct EndPrompt {
    int kind;
    int sub; // -1: any other sub of the kind
    int prompts[2];
    int count;
    const char* line;
};

const EndPrompt END_PROMPTS[] = {
    {1, 0, {SpeedCam::R_release}, 1, "[SpeedCam]딩동댕\n"},
    {1, 2, {SpeedCam::R_release}, 1, "[SpeedCam]딩동댕\n"},
    {1, 12, {SpeedCam::R_dingdong, SpeedCam::R_01_SP_02_8}, 2, "[SpeedCam]딩동구간과속 단속 구간이 시작되었습니다.\n"},
    {1, 13, {SpeedCam::R_dingdong, SpeedCam::R_01_SP_03_8}, 2, "[SpeedCam]딩동 구간단속이 종료되었습니다.\n"},
    {1, -1, {}, 0, "[SpeedCam]_PROPERTY_CAM_FIXED 해당사항 없음\n"},
    {2, 0, {SpeedCam::R_release}, 1, "[SpeedCam]딩동댕\n"},
    {3, 0, {SpeedCam::R_release}, 1, "[SpeedCam]딩동댕\n"},
    {6, 0, {SpeedCam::R_release}, 1, "[SpeedCam]딩동댕\n"},
    {48, 0, {SpeedCam::R_release}, 1, "[SpeedCam]딩동댕\n"},
    {50, 0, {SpeedCam::R_release}, 1, "[SpeedCam]딩동댕\n"},
    {2, -1, {}, 0, "[SpeedCam]디폴트\n"},
    {3, -1, {}, 0, "[SpeedCam]디폴트\n"},
    {6, -1, {}, 0, "[SpeedCam]디폴트\n"},
    {48, -1, {}, 0, "[SpeedCam]디폴트\n"},
    {50, -1, {}, 0, "[SpeedCam]디폴트\n"},
};

const EndPrompt* FindEndPrompt(int kind, int sub)
{
    for (const EndPrompt& p : END_PROMPTS) {
        if (p.kind == kind && p.sub == sub)
            return &p;
    }
    return nullptr;
}

// Writes all of `size` bytes; false on a write error (a full or failing medium).
bool WriteAll(int fd, const char* data, ssize_t size)
{
    while (size > 0) {
        ssize_t n = write(fd, data, static_cast<size_t>(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

// Copies `from` to `to` and says whether exactly `size` bytes went across:
// a card pulled out mid-copy reads short or fails.
bool CopyExactly(int from, int to, off_t size)
{
    char block[COPY_BLOCK];
    off_t copied = 0;
    for (;;) {
        ssize_t n = read(from, block, sizeof(block));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || !WriteAll(to, block, n))
            return false;
        if (n == 0)
            return copied == size;
        copied += n;
    }
}

// Makes a file's new name last across a power cut before the old one goes.
void SyncFolderOf(const std::string& path)
{
    std::string::size_type slash = path.rfind('/');
    int fd = open(slash == std::string::npos ? "." : path.substr(0, slash + 1).c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    fsync(fd);
    close(fd);
}

// Copies `source` to `copy` whole, its data on the medium; false when the
// copy may hold less (or more) than the source had when it was opened.
bool CopyWhole(const std::string& source, const std::string& copy)
{
    int from = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (from < 0)
        return false;
    struct stat info {};
    int to = -1;
    bool whole = fstat(from, &info) == 0 &&
                 (to = open(copy.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)) >= 0 &&
                 CopyExactly(from, to, info.st_size) && fsync(to) == 0;
    close(from);
    if (to >= 0 && close(to) != 0)
        whole = false;
    return whole;
}

// The database reaches `dest` only whole: copied to a name beside it, then
// renamed over it. Whatever fails leaves `dest` as it was.
bool PlaceCopy(const std::string& source, const std::string& dest)
{
    std::string placing = dest + PLACING_SUFFIX;
    if (CopyWhole(source, placing) && rename(placing.c_str(), dest.c_str()) == 0) {
        SyncFolderOf(dest);
        return true;
    }
    unlink(placing.c_str());
    return false;
}

void PrintCameraLine(const char* format, int kind, int sub)
{
    char cmd[128];
    VK_FORMAT_COMMAND(cmd, format, kind, sub);
    std::printf("%s", cmd);
}

void PostToLiveview(int cmd, int param1, int param2)
{
    UIQueue::Inst()->SendMessage(WND::LIVEVIEW, cmd, param1, param2);
}

void LogFound(int kind, int sub, int speed, int limit, const char* end)
{
    Log()->Print("GetSoundNotiInfo : kindCode = %d, subCode = %d, speed = %d, restrictSpeed = %d%s", kind, sub, speed,
                 limit, end);
}

void LogResult(const char* name)
{
    Log()->Print("-------------------------------------- %s --------------------------------------\n", name);
}

} // namespace

SpeedCam::SpeedCam() : _buff(new char[GPRMC_BUFFER_SIZE])
{
    VK_ASSERT(_buff != nullptr);
}

SpeedCam::~SpeedCam()
{
    _running = false;
    if (_t.joinable())
        _t.join();
    delete[] _buff;
}

void SpeedCam::Init()
{
    Safety::Inst()->Init();
    _t = std::thread(&SpeedCam::PlayPrompts, this);
}

bool SpeedCam::CheckDataInSDCard()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    std::string path = Singleton<Storage>::Inst()->SD_MOUNT_POSITION + "/" + DB_FILE;
    if (access(path.c_str(), R_OK) == 0)
        return true;
    Log()->Print("[SpeedCam] %s not found\n", path.c_str());
    return false;
}

void SpeedCam::MoveDataToEmmc(const char* dest)
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    VK_ASSERT(dest != nullptr);
    std::string source = Singleton<Storage>::Inst()->SD_MOUNT_POSITION + "/" + DB_FILE;
    bool copied = false;
    for (int run = 0; run < MOVE_TRIES && !copied; run++)
        copied = PlaceCopy(source, dest);
    if (!copied) {
        Log()->Print("[SpeedCam]Move data file fail\n");
        return;
    }
    unlink(source.c_str());
    Log()->Print("[SpeedCam]Move data file success\n");
}

bool SpeedCam::LoadData(const char* path)
{
    if (_loadData)
        return true;
    VK_ASSERT(path != nullptr);
    _loadData = scdb::Initialize(path);
    if (_loadData) {
        scdb::ResetDriveInfo();
        scdb::SetTimeZone(9);
        Log()->Print("[SpeedCam]Load %s success\n", path);
    } else {
        Log()->Print("[SpeedCam]laod %s fail\n", path);
    }
    return _loadData;
}

void SpeedCam::ParseRMC(const char* sentence, int length)
{
    if (Observer observer = _observer)
        observer(sentence, length);
    if (!_loadData || _buff == nullptr)
        return;
    // A sentence longer than the buffer is no NMEA sentence: its head is parsed.
    int kept = length < GPRMC_BUFFER_SIZE ? length : GPRMC_BUFFER_SIZE - 1;
    std::memcpy(_buff, sentence, static_cast<size_t>(kept));
    _buff[kept] = '\0';
    double longitude = 0;
    double latitude = 0;
    int heading = 0;
    int speed = 0;
    int valid = 0;
    if (scdb::ParseGPRMC(_buff, longitude, latitude, heading, speed, valid) == 0)
        return;
    ReleaseCamera();
    scdb::_tDISPLSY_CAMINFO display[scdb::kMaxFindedCam];
    int kind = 0;
    int sub = 0;
    int limit = 0;
    double distance = 0;
    int result = scdb::GetDisplayInfo(display, &kind, &sub, &limit, &distance, longitude, latitude);
    ActOnResult(result, kind, sub, limit, speed, distance);
}

void SpeedCam::ReleaseCamera()
{
    int kind = 0;
    int sub = 0;
    if (!scdb::GetSoundReleaseInfo(&kind, &sub))
        return;
    if (scdb::GetFindedCamCount() < 1)
        PostToLiveview(WM::HIDE_LIMIT_SPEED, 0, 0);
    CameraEndAlram(kind, sub);
    Log()->Print("%s(Camera count[%d])GetSoundReleaseInfo : kindCode = %d, subCode = %d\n%s", DASHES,
                 scdb::GetFindedCamCount(), kind, sub, DASHES);
}

void SpeedCam::ActOnResult(int result, int kind, int sub, int limit, int speed, double distance)
{
    switch (result) {
    case scdb::RESULT_CAMERA_SEARCH:
        LogResult("RESULT_CAMERA_SEARCH");
        CameraAlram(kind, sub);
        PostToLiveview(WM::SHOW_LIMIT_SPEED, speed, limit);
        SendMessage(limit);
        LogFound(kind, sub, speed, limit, "\n");
        break;
    case scdb::RESULT_CAMERA_SEARCH_ALRAM:
        LogResult("RESULT_CAMERA_SEARCH_ALRAM");
        CameraAlram(kind, sub);
        AnnounceLimit(limit);
        LogFound(kind, sub, speed, limit, "\n");
        [[fallthrough]];
    case scdb::RESULT_ALARM:
        Log()->Print("warning sound : kindCode = %d, subCode = %d, 제한속도 = %d, 현재속도 = %d, 거리 = %.1f\n", kind, sub,
                     limit, speed, distance);
        PostToLiveview(WM::SHOW_LIMIT_SPEED, speed, limit);
        if (speed > limit)
            SendMessage(R_alarm);
        break;
    case scdb::RESULT_CAMERA_SEARCH_DIST:
        LogResult("RESULT_CAMERA_SEARCH_DIST");
        CameraAlram(kind, sub);
        AnnounceLimit(limit);
        PostToLiveview(WM::SHOW_LIMIT_SPEED, speed, limit);
        LogFound(kind, sub, speed, limit, "\n");
        [[fallthrough]];
    case scdb::RESULT_DIST:
        Log()->Print("남은 거리 = %.1f\n", distance);
        break;
    case scdb::RESULT_CAMERA_SEARCH_SHOW:
        LogResult("RESULT_CAMERA_SEARCH_SHOW");
        LogFound(kind, sub, speed, limit, "");
        [[fallthrough]];
    case scdb::RESULT_SHOW:
        scdb::SetShowAlaram(true);
        Log()->Print("[SpeedCam]disappear after 10 sec");
        PostToLiveview(WM::SHOW_LIMIT_SPEED, speed, limit);
        PostToLiveview(WM::HIDE_LIMIT_SPEED, 10, 0);
        break;
    case scdb::RESULT_OVER_LAST_LIMIT:
        // No camera is held here: the limit is the one last announced.
        limit = scdb::LastAlramSpeed();
        Log()->Print("[SpeedCam]warning sound : linit = %d, speed = %d\n", limit, speed);
        SendMessage(limit);
        PostToLiveview(WM::SHOW_LIMIT_SPEED, speed, limit);
        break;
    default: break;
    }
}

// A new camera that restricts speed says its limit after its kind; a limit
// that no clip speaks (a bus lane's 0) is left unsaid.
void SpeedCam::AnnounceLimit(int limit)
{
    if (SoundName(limit) != nullptr)
        SendMessage(limit);
}

void SpeedCam::CameraAlram(int kind, int sub)
{
    if (kind == SECTION_RELEASE_KIND) {
        SendMessage(R_release);
        PostToLiveview(WM::HIDE_LIMIT_SPEED, 0, 0);
        PrintCameraLine("[SpeedCam]_PROPERTY_SECTION_RELEASE - code:%d sub:%d\n", kind, sub);
        return;
    }
    for (const CameraPrompt& p : CAMERA_PROMPTS) {
        if (p.kind == kind && p.sub == sub) {
            SendMessage(R_dingdong);
            SendMessage(p.prompt);
            PrintCameraLine(p.line, kind, sub);
            return;
        }
    }
    for (const UnlistedSub& u : UNLISTED_SUBS) {
        if (u.kind == kind) {
            PrintCameraLine(u.line, kind, sub);
            return;
        }
    }
    PrintCameraLine("[SpeedCam]kind code not found - code:%d sub:%d\n", kind, sub);
}

void SpeedCam::CameraEndAlram(int kind, int sub)
{
    const EndPrompt* match = FindEndPrompt(kind, sub);
    if (match == nullptr)
        match = FindEndPrompt(kind, -1);
    if (match == nullptr) {
        std::printf("[SpeedCam]해당 사항 없음\n");
        return;
    }
    for (int i = 0; i < match->count; i++)
        SendMessage(match->prompts[i]);
    std::printf("%s", match->line);
}

void SpeedCam::SendMessage(int code)
{
    Safety::Inst()->SendMessage(WND::ANY, code, 0, 0, nullptr);
}

const char* SpeedCam::Version()
{
    return scdb::GetDBVersion();
}

void SpeedCam::Finalize()
{
    scdb::Finalize();
    // Nothing else ends the worker: it stops at its next look into the queue.
    _running = false;
    if (_t.joinable()) {
        _t.join();
        Safety::Inst()->Finalize();
    }
    delete[] _buff;
    _buff = nullptr;
}

const char* SpeedCam::SoundName(int code)
{
    for (const SoundEntry& s : SOUNDS) {
        if (s.code == code)
            return s.name;
    }
    return nullptr;
}

void SpeedCam::PlayPrompts()
{
    while (_running) {
        ipc_msg_t msg;
        if (Safety::Inst()->RecvMessage(msg, WAIT_MS) <= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(WAIT_MS));
            continue;
        }
        if (!Singleton<Pref>::Inst()->IsSafetyDrivingOn())
            continue;
        const char* name = SoundName(msg.cmd);
        if (name == nullptr) {
            // One bad code must not silence every later warning.
            std::printf("[SpeedCam]cmd error:%d\n", msg.cmd);
            continue;
        }
        char cmd[128];
        VK_FORMAT_COMMAND(cmd, "aplay /app/kvo/rsc/sound/%s.wav", name);
        std::system(cmd);
    }
}

} // namespace vk
