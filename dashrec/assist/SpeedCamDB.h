#pragma once
// The speed-camera database "sc_cam.idb": a window of records around the
// vehicle, searched on every RMC fix for the cameras ahead (five at most).
// Positions are longitude (x) and latitude (y) in arc-seconds, distances in
// metres. File-level state: one database, used by one thread after loading.

#include <cstdio>

namespace vk {
namespace scdb {

struct _tCAMPROPERTY {
    int index = -1; // file index; -1: no record
    int kind = 0;
    int sub = 0;
    int limit = 0; // km/h
    int direction = 0; // degrees
    double alertX = 0;
    double alertY = 0;
    int secondDirection = 0;
    double cameraX = 0;
    double cameraY = 0;
    bool section = false;
    bool noReleasePrompt = false;
};

struct _tSEARCHED_CAMINFO {
    _tCAMPROPERTY cam; // index -1: a free slot
    int distance = 0;
    bool announcePending = false;
    bool releasePending = false;
};

struct _tDISPLSY_CAMINFO {
    int kind;
    int sub;
    int limit;
    double cameraX;
    double cameraY;
    int distance;
    bool noReleasePrompt;
};

constexpr int kMaxFindedCam = 5;

// Results of GetDisplayInfo.
enum DisplayResult {
    RESULT_NONE = 0,
    RESULT_CAMERA_SEARCH = 1,
    RESULT_ALARM = 10,
    RESULT_CAMERA_SEARCH_ALRAM = 11,
    RESULT_DIST = 20,
    RESULT_CAMERA_SEARCH_DIST = 21,
    RESULT_SHOW = 30,
    RESULT_CAMERA_SEARCH_SHOW = 31,
    RESULT_OVER_LAST_LIMIT = 40,
};

bool IsRestrictCam(int kind, int sub);
bool IsSpeedAlramCam(int kind, int sub);
bool IsReleaseNotiType(int kind);

bool Initialize(const char* path);
void Finalize();
bool OpenDBFile(char* path);
_tCAMPROPERTY GetCamData(FILE* file, int index);

// Longitude and latitude in degrees; 1 when the fix went on to the search.
int ParseGPRMC(char* sentence, double& x, double& y, int& heading, int& speed, int& valid);
void SetGPSInfo(double x, double y, int heading, int speed, int valid);
void SearchCam(double x, double y, int heading);
void SearchInitPos(double x, double y);
void ReadCompareCamData(int start, int end);
void InsertFindedCam(const _tCAMPROPERTY& cam);
void ReArrayFindedCamInfo(double x, double y);
bool IsNotiRelease(const _tSEARCHED_CAMINFO& slot, double x, double y, int heading);

// x, y: the fix in degrees, as ParseGPRMC gives it.
int GetDisplayInfo(_tDISPLSY_CAMINFO* display, int* kind, int* sub, int* limit, double* distance, double x, double y);
bool GetSoundNotiInfo(int* kind, int* sub, int* limit);
bool GetSoundReleaseInfo(int* kind, int* sub);
int GetFindedCamCount();

void ResetDriveInfo();
void SetTimeZone(int hours);
const char* GetDBVersion();
void LastCamInput(int kind, int sub, int limit);
bool IsCheckAlaram();
bool IsShowAlaram();
void SetShowAlaram(bool show);
int LastAlramSpeed();

// Geometry; arguments in degrees unless named otherwise.
double CalRealDist_Pt2PtDeg(double x1, double y1, double x2, double y2);
// Arguments in arc-seconds.
double CalRealDist(double x1, double y1, double x2, double y2);
int CalAng_Pt2Pt(double x1, double y1, double x2, double y2);
int AbsAngle_0_180(int angle);

} // namespace scdb
} // namespace vk
