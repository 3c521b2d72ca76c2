#include "dashrec/assist/SpeedCamDB.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/stat.h>

namespace vk {
namespace scdb {

namespace {

constexpr int kCacheSize = 201;
constexpr int kWindowHalf = 100;
constexpr int kHeaderSize = 20;
constexpr int kRecordSize = 22;
constexpr double kEarthRadius = 6378137.0;
constexpr double kTakeDistance = 50.0;
constexpr int kTakeAngle = 40;
constexpr double kPointReleaseDistance = 30.0;
constexpr int kPointReleaseAngle = 80;
constexpr double kZoneReleaseDistance = 300.0;
constexpr int kDriveInfoSeconds = 20;

// A measure as a whole number: one beyond int's range is held at its end,
// one that is no number takes `otherwise`.
int Saturated(double value, int otherwise)
{
    if (std::isnan(value))
        return otherwise;
    return static_cast<int>(std::clamp(value, static_cast<double>(INT_MIN), static_cast<double>(INT_MAX)));
}

struct DriveInfo {
    double x = 0;
    double y = 0;
    int speed = 0;
    int heading = 0;
    time_t time = 0;
    bool hasPosition = false;
};

std::string m_szDBPath;
int m_nTotalCamCnt = 0;
char m_szDBVer[12] = {};
_tCAMPROPERTY* m_pstCam = nullptr;
int m_nCrtIndex = 0;
_tSEARCHED_CAMINFO m_stFindedCam[kMaxFindedCam];
int m_nFindedCamCnt = 0;
double m_dGPS_x = 0;
double m_dGPS_y = 0;
bool m_bCheckShow = true;
bool m_bShowAlarm = false;
int m_nOverSpeedNotiCntS = 0;
int m_nLastKindCode = 0;
int m_nLastSubCode = 0;
int m_nLastRestrictSpeed = 0;
int m_nTimeSet = 9;
double m_dRunningDist = 0;
int m_nRunningTime = 0;
DriveInfo m_stCurrentDrvInfo;
DriveInfo m_stOldDrvInfo;

bool InList(int value, std::initializer_list<int> list)
{
    return std::find(list.begin(), list.end(), value) != list.end();
}

int32_t ReadInt32(const unsigned char* p)
{
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

// Codes are in 1/36000 degree: arc-seconds are a tenth of them.
double ArcSeconds(int64_t code)
{
    return static_cast<double>(code) / 36000.0 * 3600.0;
}

double Radians(double degrees)
{
    return degrees * M_PI / 180.0;
}

uint64_t FileSize(uint32_t count)
{
    return kHeaderSize + static_cast<uint64_t>(kRecordSize) * count;
}

// The header's count is trusted by every later seek (a long offset) and by
// the search's sums of indices (ints): the file must hold exactly that many
// records, and no more than both can reach.
constexpr uint64_t kMaxRecords = std::min<uint64_t>((LONG_MAX - kHeaderSize) / kRecordSize, INT_MAX / 2);

bool HoldsRecords(off_t size, uint32_t count)
{
    return count <= kMaxRecords && static_cast<uint64_t>(size) == FileSize(count);
}

bool HeldIndex(int index)
{
    return index >= 0 && index < m_nTotalCamCnt;
}

void initialize()
{
    delete[] m_pstCam;
    m_pstCam = new _tCAMPROPERTY[kCacheSize];
    m_nTotalCamCnt = 0;
    m_nCrtIndex = 0;
    m_nFindedCamCnt = 0;
    m_nOverSpeedNotiCntS = 0;
    m_nLastKindCode = m_nLastSubCode = m_nLastRestrictSpeed = 0;
    m_dRunningDist = 0;
    m_nRunningTime = 0;
    m_bCheckShow = true;
    m_bShowAlarm = false;
    for (_tSEARCHED_CAMINFO& slot : m_stFindedCam)
        slot = _tSEARCHED_CAMINFO();
}

void release()
{
    delete[] m_pstCam;
    m_pstCam = nullptr;
}

// The window of `span` records around file index c, moved back from the
// file's end when c lies within `margin` of it.
void Recentre(int c, int margin, int span)
{
    int start = std::max(c - kWindowHalf, 0);
    if (m_nTotalCamCnt - 1 <= c + margin)
        start = std::max(m_nTotalCamCnt - 202, 0);
    int end = start + span;
    m_nCrtIndex = (start + end) / 2;
    ReadCompareCamData(start, end);
}

bool SameCamera(const _tCAMPROPERTY& a, const _tCAMPROPERTY& b)
{
    return a.cameraX == b.cameraX && a.cameraY == b.cameraY && a.secondDirection == b.secondDirection;
}

bool IsHeld(const _tCAMPROPERTY& cam)
{
    for (const _tSEARCHED_CAMINFO& slot : m_stFindedCam) {
        if (HeldIndex(slot.cam.index) && SameCamera(slot.cam, cam))
            return true;
    }
    return false;
}

bool Takes(const _tCAMPROPERTY& cam, double x, double y, int heading)
{
    return cam.index >= 0 && CalRealDist(x, y, cam.alertX, cam.alertY) < kTakeDistance &&
           AbsAngle_0_180(cam.direction - heading) < kTakeAngle && !IsHeld(cam);
}

void ReleaseHeld(double x, double y, int heading)
{
    for (_tSEARCHED_CAMINFO& slot : m_stFindedCam) {
        if (!IsNotiRelease(slot, x, y, heading))
            continue;
        if (slot.cam.noReleasePrompt)
            slot = _tSEARCHED_CAMINFO();
        else
            slot.releasePending = true;
    }
}

// ddmm.mmmm or dddmm.mmmm in degrees.
double Coordinate(const std::string& field)
{
    double value = std::atof(field.c_str());
    double degrees = std::floor(value / 100.0);
    return degrees + (value - degrees * 100.0) / 60.0;
}

time_t FixTime(const char* time, const char* date)
{
    auto two = [](const char* p) { return (p[0] - '0') * 10 + (p[1] - '0'); };
    struct tm tm = {};
    if (std::strlen(time) >= 6) {
        tm.tm_hour = two(time);
        tm.tm_min = two(time + 2);
        tm.tm_sec = two(time + 4);
    }
    tm.tm_mday = two(date);
    tm.tm_mon = two(date + 2) - 1;
    tm.tm_year = two(date + 4) + 100;
    return timegm(&tm) + static_cast<time_t>(m_nTimeSet) * 3600;
}

// The talkers of the satellite systems a receiver may name its fix after:
// a multi-system module reports it as "GN", a single-system one by its own.
const char* const RMC_TALKERS[] = {"GP", "GN", "GL", "GA", "GB", "BD"};

bool IsRmcType(const std::string& field)
{
    if (field.size() != 6 || field[0] != '$' || field.compare(3, 3, "RMC") != 0)
        return false;
    for (const char* talker : RMC_TALKERS) {
        if (field.compare(1, 2, talker) == 0)
            return true;
    }
    return false;
}

struct RmcFields {
    std::string time;
    std::string date;
    bool dateSeen = false;
};

// One field of the sentence by its number; false ends the parse with 0.
bool TakeField(int number, const std::string& field, double& x, double& y, int& heading, int& speed, int& valid,
               RmcFields& rmc)
{
    switch (number) {
    case 0: return IsRmcType(field);
    case 1: rmc.time = field; return true;
    case 2:
        valid = field == "A" ? 1 : 0;
        return field.size() == 1;
    case 3: y = Coordinate(field); return true;
    case 4:
        if (field != "N")
            y = -y;
        return field.size() == 1;
    case 5: x = Coordinate(field); return true;
    case 6:
        if (field != "E")
            x = -x;
        return field.size() == 1;
    case 7:
        speed = Saturated(std::atof(field.c_str()) * 1.852, 0);
        if (speed == 0)
            speed = 30;
        return true;
    case 8: heading = std::atoi(field.c_str()); return true;
    case 9:
        rmc.date = field;
        rmc.dateSeen = true;
        return field.size() == 6;
    default: return true;
    }
}

void UpdateDriveInfo(double x, double y, int heading, int speed, const RmcFields& rmc)
{
    m_stCurrentDrvInfo = DriveInfo{x, y, speed, heading, FixTime(rmc.time.c_str(), rmc.date.c_str()), true};
    bool stale = m_stOldDrvInfo.hasPosition && m_stCurrentDrvInfo.time - m_stOldDrvInfo.time > kDriveInfoSeconds;
    if (speed > 20 && stale)
        m_dRunningDist += CalRealDist_Pt2PtDeg(m_stOldDrvInfo.x, m_stOldDrvInfo.y, x, y);
    if (!m_stOldDrvInfo.hasPosition || stale)
        m_stOldDrvInfo = m_stCurrentDrvInfo;
}

// Held slots first; those that prompt on release before those that do not,
// nearest first.
bool SlotOrder(const _tSEARCHED_CAMINFO& a, const _tSEARCHED_CAMINFO& b)
{
    bool heldA = HeldIndex(a.cam.index);
    bool heldB = HeldIndex(b.cam.index);
    if (heldA != heldB)
        return heldA;
    if (!heldA)
        return false;
    if (a.cam.noReleasePrompt != b.cam.noReleasePrompt)
        return !a.cam.noReleasePrompt;
    return !a.cam.noReleasePrompt && a.distance < b.distance;
}

_tDISPLSY_CAMINFO Display(const _tSEARCHED_CAMINFO& slot)
{
    return _tDISPLSY_CAMINFO{slot.cam.kind,    slot.cam.sub,      slot.cam.limit,          slot.cam.cameraX,
                             slot.cam.cameraY, slot.distance, slot.cam.noReleasePrompt};
}

bool OverSpeedTurn()
{
    return m_nOverSpeedNotiCntS++ % 3 == 0;
}

int NoCameraResult()
{
    if (IsCheckAlaram() && LastAlramSpeed() < m_stCurrentDrvInfo.speed)
        return OverSpeedTurn() ? RESULT_OVER_LAST_LIMIT : RESULT_NONE;
    return RESULT_NONE;
}

} // namespace

bool IsRestrictCam(int kind, int)
{
    return InList(kind, {1, 2, 4, 5, 6, 7, 46, 48, 49, 50, 99});
}

bool IsSpeedAlramCam(int kind, int sub)
{
    return kind == 7 || kind == 48 || (kind == 1 && sub != 17 && sub != 18);
}

bool IsReleaseNotiType(int kind)
{
    return InList(kind, {1, 2, 4, 5, 6, 7, 46, 48, 49, 50});
}

bool Initialize(const char* path)
{
    std::strncpy(m_szDBVer, "unknown", sizeof(m_szDBVer));
    initialize();
    std::string copy = path != nullptr ? path : "";
    if (!OpenDBFile(copy.data())) {
        std::printf("[SpeedCamDB]cannot open %s\n", copy.c_str());
        return false;
    }
    SetTimeZone(9);
    ResetDriveInfo();
    return true;
}

void Finalize()
{
    release();
}

bool OpenDBFile(char* path)
{
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return false;
    unsigned char header[16];
    bool read = std::fread(header, 1, sizeof(header), file) == sizeof(header);
    struct stat info {};
    bool sized = fstat(fileno(file), &info) == 0;
    std::fclose(file);
    if (!read || !sized)
        return false;
    uint32_t count = static_cast<uint32_t>(ReadInt32(header));
    if (!HoldsRecords(info.st_size, count)) {
        std::printf("[SpeedCamDB]%s holds %lld bytes, not the %llu of %u records\n", path,
                    static_cast<long long>(info.st_size), static_cast<unsigned long long>(FileSize(count)), count);
        return false;
    }
    m_nTotalCamCnt = static_cast<int>(count);
    std::memcpy(m_szDBVer, header + 4, sizeof(m_szDBVer));
    m_szDBVer[sizeof(m_szDBVer) - 1] = '\0';
    m_szDBPath = path;
    return true;
}

_tCAMPROPERTY GetCamData(FILE* file, int index)
{
    _tCAMPROPERTY cam;
    unsigned char r[kRecordSize];
    if (std::fseek(file, kHeaderSize + static_cast<long>(kRecordSize) * index, SEEK_SET) != 0 ||
        std::fread(r, 1, sizeof(r), file) != sizeof(r))
        return cam; // past the end: no record
    int c = r[2];
    int d = r[3];
    int g = r[12];
    cam.index = index;
    cam.kind = r[0];
    cam.sub = r[1];
    cam.limit = c;
    cam.direction = 3 * d;
    cam.alertX = ArcSeconds(static_cast<int64_t>(ReadInt32(r + 4)) - 3 * d - 12 * c);
    cam.alertY = ArcSeconds(static_cast<int64_t>(ReadInt32(r + 8)) - 5 * g);
    cam.secondDirection = 3 * g;
    cam.cameraX = ArcSeconds(static_cast<int64_t>(ReadInt32(r + 13)) - 4 * d);
    cam.cameraY = ArcSeconds(static_cast<int64_t>(ReadInt32(r + 17)) - 7 * g - 21 * c);
    cam.section = r[21] != 0;
    cam.noReleasePrompt = !IsReleaseNotiType(cam.kind);
    return cam;
}

int ParseGPRMC(char* sentence, double& x, double& y, int& heading, int& speed, int& valid)
{
    RmcFields rmc;
    int number = 0;
    const char* field = sentence;
    for (const char* comma = std::strchr(field, ','); comma != nullptr; comma = std::strchr(field, ',')) {
        if (!TakeField(number++, std::string(field, comma), x, y, heading, speed, valid, rmc))
            return 0;
        field = comma + 1;
    }
    if (!rmc.dateSeen)
        return 0;
    if (valid)
        UpdateDriveInfo(x, y, heading, speed, rmc);
    if (speed < 9)
        return 0;
    SetGPSInfo(x, y, heading, speed, valid);
    return 1;
}

void SetGPSInfo(double x, double y, int heading, int speed, int valid)
{
    if (valid) {
        m_dGPS_x = x * 3600.0;
        m_dGPS_y = y * 3600.0;
        if (m_bCheckShow)
            SearchInitPos(m_dGPS_x, m_dGPS_y);
        m_bCheckShow = false;
        SearchCam(m_dGPS_x, m_dGPS_y, heading);
        m_dRunningDist += speed;
    } else {
        m_bCheckShow = true;
    }
    m_nRunningTime++;
}

void SearchInitPos(double, double y)
{
    FILE* file = std::fopen(m_szDBPath.c_str(), "rb");
    if (file == nullptr)
        return;
    int lo = 0;
    int hi = m_nTotalCamCnt;
    while (hi - lo > 1) {
        int mid = (lo + hi) / 2;
        if (y <= GetCamData(file, mid).alertY)
            hi = mid;
        else
            lo = mid;
    }
    std::fclose(file);
    Recentre(lo, kWindowHalf + 1, kCacheSize);
}

void ReadCompareCamData(int start, int end)
{
    if (m_pstCam == nullptr || start >= end || end - start >= 202)
        return;
    FILE* file = std::fopen(m_szDBPath.c_str(), "rb");
    if (file == nullptr)
        return;
    for (int i = 0; i < kCacheSize; i++)
        m_pstCam[i] = i < end - start && start + i < m_nTotalCamCnt ? GetCamData(file, start + i) : _tCAMPROPERTY();
    std::fclose(file);
}

void SearchCam(double x, double y, int heading)
{
    if (m_pstCam == nullptr)
        return;
    if (m_nFindedCamCnt > 0)
        ReleaseHeld(x, y, heading);
    int below = 0;
    for (int i = 0; i < kCacheSize; i++) {
        const _tCAMPROPERTY& cam = m_pstCam[i];
        if (Takes(cam, x, y, heading))
            InsertFindedCam(cam);
        if (cam.index >= 0 && cam.alertY < y)
            below = i;
    }
    ReArrayFindedCamInfo(x, y);
    if (below >= 20 && below <= 180)
        return;
    int c = m_pstCam[below].index >= 0 ? m_pstCam[below].index : m_nCrtIndex;
    Recentre(c, kWindowHalf, m_nTotalCamCnt < 202 ? m_nTotalCamCnt : kCacheSize);
}

void InsertFindedCam(const _tCAMPROPERTY& cam)
{
    for (_tSEARCHED_CAMINFO& slot : m_stFindedCam) {
        if (slot.cam.index != -1)
            continue;
        slot.cam = cam;
        slot.announcePending = true;
        slot.releasePending = false;
        return;
    }
}

void ReArrayFindedCamInfo(double x, double y)
{
    m_nFindedCamCnt = 0;
    for (_tSEARCHED_CAMINFO& slot : m_stFindedCam) {
        if (!HeldIndex(slot.cam.index))
            continue;
        m_nFindedCamCnt++;
        slot.distance = Saturated(CalRealDist(x, y, slot.cam.cameraX, slot.cam.cameraY), INT_MAX);
    }
    std::stable_sort(m_stFindedCam, m_stFindedCam + kMaxFindedCam, SlotOrder);
}

bool IsNotiRelease(const _tSEARCHED_CAMINFO& slot, double x, double y, int heading)
{
    if (!HeldIndex(slot.cam.index))
        return false;
    double d = CalRealDist(x, y, slot.cam.cameraX, slot.cam.cameraY);
    if (slot.cam.noReleasePrompt)
        return d > kZoneReleaseDistance;
    if (d < kPointReleaseDistance)
        return true;
    return AbsAngle_0_180(CalAng_Pt2Pt(x, y, slot.cam.cameraX, slot.cam.cameraY) - heading) > kPointReleaseAngle;
}

int GetDisplayInfo(_tDISPLSY_CAMINFO* display, int* kind, int* sub, int* limit, double* distance, double x, double y)
{
    for (int i = 0; i < m_nFindedCamCnt; i++)
        display[i] = Display(m_stFindedCam[i]);
    if (m_nFindedCamCnt < 1)
        return NoCameraResult();

    bool found = GetSoundNotiInfo(kind, sub, limit);
    if (found)
        LastCamInput(*kind, *sub, *limit);
    const _tDISPLSY_CAMINFO& first = display[0];
    if (!found) {
        *kind = first.kind;
        *sub = first.sub;
        *limit = first.limit;
    }
    *distance = CalRealDist(x * 3600.0, y * 3600.0, first.cameraX, first.cameraY);
    int result = found ? RESULT_CAMERA_SEARCH : RESULT_NONE;
    if (!IsRestrictCam(first.kind, first.sub)) {
        if (!m_bShowAlarm)
            result = found ? RESULT_CAMERA_SEARCH_SHOW : RESULT_SHOW;
    } else if (first.limit < m_stCurrentDrvInfo.speed && IsSpeedAlramCam(first.kind, first.sub)) {
        if (OverSpeedTurn())
            result = found ? RESULT_CAMERA_SEARCH_ALRAM : RESULT_ALARM;
    } else {
        result = found ? RESULT_CAMERA_SEARCH_DIST : RESULT_DIST;
    }
    return result;
}

bool GetSoundNotiInfo(int* kind, int* sub, int* limit)
{
    for (int i = 0; i < m_nFindedCamCnt; i++) {
        _tSEARCHED_CAMINFO& slot = m_stFindedCam[i];
        if (!slot.announcePending)
            continue;
        slot.announcePending = false;
        *kind = slot.cam.kind;
        *sub = slot.cam.sub;
        *limit = slot.cam.limit;
        return true;
    }
    return false;
}

bool GetSoundReleaseInfo(int* kind, int* sub)
{
    for (int i = 0; i < m_nFindedCamCnt; i++) {
        _tSEARCHED_CAMINFO& slot = m_stFindedCam[i];
        if (!slot.releasePending)
            continue;
        *kind = slot.cam.kind;
        *sub = slot.cam.sub;
        bool prompts = !slot.cam.noReleasePrompt;
        slot = _tSEARCHED_CAMINFO();
        if (!prompts)
            return false;
        ReArrayFindedCamInfo(m_dGPS_x, m_dGPS_y);
        LastCamInput(0, 0, 0);
        return true;
    }
    return false;
}

int GetFindedCamCount()
{
    return m_nFindedCamCnt;
}

void ResetDriveInfo()
{
    m_stCurrentDrvInfo = DriveInfo();
    m_stOldDrvInfo = DriveInfo();
}

void SetTimeZone(int hours)
{
    m_nTimeSet = hours;
}

const char* GetDBVersion()
{
    return m_szDBVer;
}

void LastCamInput(int kind, int sub, int limit)
{
    if (kind == 0 && sub == 0 && IsCheckAlaram())
        return;
    m_nLastKindCode = kind;
    m_nLastSubCode = sub;
    m_nLastRestrictSpeed = limit;
}

bool IsCheckAlaram()
{
    return m_nLastKindCode == 1 && m_nLastSubCode == 12;
}

bool IsShowAlaram()
{
    return m_bShowAlarm;
}

void SetShowAlaram(bool show)
{
    m_bShowAlarm = show;
}

int LastAlramSpeed()
{
    return m_nLastRestrictSpeed;
}

double CalRealDist_Pt2PtDeg(double x1, double y1, double x2, double y2)
{
    double dy = Radians(std::fabs(y1 - y2)) * kEarthRadius;
    // A degree of longitude shrinks with the cosine of the latitude itself.
    double dx = Radians(std::fabs(x1 - x2)) * kEarthRadius * std::cos(Radians((y1 + y2) / 2.0));
    return std::sqrt(dx * dx + dy * dy);
}

double CalRealDist(double x1, double y1, double x2, double y2)
{
    return CalRealDist_Pt2PtDeg(x1 / 3600.0, y1 / 3600.0, x2 / 3600.0, y2 / 3600.0);
}

int CalAng_Pt2Pt(double x1, double y1, double x2, double y2)
{
    double dx = x2 - x1;
    double dy = y2 - y1;
    if (dy == 0)
        return dx < 0 ? 270 : 90;
    double a = std::atan(std::fabs(dx / dy)) * 180.0 / M_PI;
    if (dx >= 0)
        a = dy > 0 ? a : 180.0 - a;
    else
        a = dy < 0 ? 180.0 + a : 360.0 - a;
    return static_cast<int>(a);
}

int AbsAngle_0_180(int angle)
{
    if (angle < 0)
        angle += 1800;
    angle %= 360;
    return angle > 180 ? 360 - angle : angle;
}

} // namespace scdb
} // namespace vk
