#include "dashrec/dvr/EngineCallbacks.h"

#include "bmworks/bmworks.h"
#include "dashrec/assist/FsAdas.h"
#include "dashrec/core/MessageIds.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Storage.h"
#include "dashrec/core/SystemClock.h"
#include "dashrec/devices/GPS.h"
#include "dashrec/dvr/CMainDvr.h"
#include "dashrec/dvr/FileLoop.h"
#include "dashrec/dvr/RecContoller.h"
#include "dashrec/ui/UITimer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <unistd.h>

namespace vk {

namespace RECTYPE {
const char* const paths[MAX_TYPE] = { "/mnt/extsd/NORMAL/", "/mnt/extsd/EVENT/", "/mnt/extsd/MANUAL/",
                                      "/mnt/extsd/PARKING/", "/mnt/extsd/EVENT/" };
const char* const prefix[MAX_TYPE] = { "NORM", "EVEN", "MANU", "PARK", "EVEN" };
} // namespace RECTYPE

const char dummyName[] = "duskmoth_open_refuse";
std::atomic<bool> gFsadasStarts { false };
int gAdasConfig[11] = {};

namespace {

const char FRONT_POSTFIX[] = "F.MP4";
const char REAR_POSTFIX[] = "R.MP4";
const int PAIR_WINDOW_SEC = 3;
const int MOTION_HOLD_OFF_SEC = 20;
// How far a fresh stamp may be advanced past names already taken: more than
// a day of one-second files never stands on a card.
const int MAX_STAMP_ADVANCE_SEC = 24 * 3600;

struct RecordFile {
    timeval time;
    char name[NAME_LENGTH];
};

struct RecordFiles {
    int count;
    RecordFile files[RECORD_RING_SIZE];
};

RecordFiles records[RECTYPE::MAX_TYPE];
std::mutex mutexFilename;
char dummyBuffer[sizeof(dummyName)];

using PoolOperation = bool (FileLoop::*)(const char*);
const PoolOperation POOL[RECTYPE::MAX_TYPE][MaxCam] = {
    { &FileLoop::SetNormalFront, &FileLoop::SetNormalRear },
    { &FileLoop::SetEventFront, &FileLoop::SetEventRear },
    { &FileLoop::SetManualFront, &FileLoop::SetManualRear },
    { &FileLoop::SetParkingFront, &FileLoop::SetParkingRear },
    { &FileLoop::SetEventFront, &FileLoop::SetEventRear },
};

SDDebug* Log()
{
    return Singleton<SDDebug>::Inst();
}

char* Dummy()
{
    // The engine takes a char*; hand it a copy so nothing can change the name itself.
    std::memcpy(dummyBuffer, dummyName, sizeof(dummyName));
    return dummyBuffer;
}

RECTYPE::RECORD ActualType(RecordType recType)
{
    switch (recType) {
    case Normal:
        return RECTYPE::NORMAL;
    case Event:
        return RecContoller::DoesLiveviewEnterParkingMode() ? RECTYPE::PARKING_EVENT : RECTYPE::EVENT;
    case Manual:
        if (Singleton<CMainDvr>::Inst()->IsParkingMode())
            Log()->Print("Manual recording error in parking mode\n");
        return RECTYPE::MANUAL;
    case Parking:
        return RECTYPE::PARKING;
    default:
        VK_ASSERT_REPORT("recType < RecordType::MaxRec");
    }
}

bool InRing(const RecordFiles& ring, const char* name)
{
    for (const RecordFile& file : ring.files)
        if (std::strcmp(file.name, name) == 0)
            return true;
    return false;
}

bool Taken(const RecordFiles& ring, const char* name)
{
    return InRing(ring, name) || access(name, F_OK) == 0;
}

// A name from the time of the request. When the clock was set back (or the
// clock chip came up reset) the name may already stand on the medium; the
// stamp then moves on a second at a time so that the recording is not lost.
void FreshName(CameraPosition cam, RECTYPE::RECORD kind, const timeval& now, const RecordFiles& ring, char* out)
{
    timeval stamp = now;
    GetCurrentName(cam, stamp, RECTYPE::paths[kind], RECTYPE::prefix[kind], out);
    for (int advanced = 0; Taken(ring, out) && advanced < MAX_STAMP_ADVANCE_SEC; ++advanced) {
        ++stamp.tv_sec;
        GetCurrentName(cam, stamp, RECTYPE::paths[kind], RECTYPE::prefix[kind], out);
    }
}

// The other camera's name of a pair started within the last seconds, with this
// camera's letter; false when the previous name is of this camera too.
bool PairedName(CameraPosition cam, const char* previous, char* out)
{
    const char* other = cam == Front ? REAR_POSTFIX : FRONT_POSTFIX;
    std::snprintf(out, NAME_LENGTH, "%s", previous);
    char* suffix = std::strstr(out, other);
    if (suffix == nullptr)
        return false;
    *suffix = cam == Front ? 'F' : 'R';
    return true;
}

void ChooseName(CameraPosition cam, RECTYPE::RECORD kind, RecordFile& slot, const RecordFile& prev,
                const RecordFiles& ring, char* currName)
{
    timeval now = slot.time;
    timeval prevTime = prev.time;
    timeval diff;
    DifferTime(diff, now, prevTime);
    char candidate[NAME_LENGTH];
    if (diff.tv_sec < 0 || diff.tv_sec > PAIR_WINDOW_SEC || prev.name[0] == '\0') {
        FreshName(cam, kind, now, ring, currName);
        return;
    }
    Log()->Print("[prevName]:%s\n", prev.name);
    if (!PairedName(cam, prev.name, candidate)) {
        FreshName(cam, kind, now, ring, currName);
        return;
    }
    if (!Taken(ring, candidate)) {
        std::memcpy(currName, candidate, NAME_LENGTH);
        return;
    }
    FreshName(cam, kind, now, ring, currName);
    const char* rule = "[CallbackRecordFile]===========================================\n";
    Log()->Print("%s", rule);
    Log()->Print("[CallbackRecordFile] prev file name exist,  %s\n", candidate);
    Log()->Print("[CallbackRecordFile] new file name will be used,  %s\n", currName);
    Log()->Print("%s", rule);
}

void CheckRange(CameraPosition cam, RecordType recType)
{
    if (cam >= MaxCam || cam < Front)
        VK_ASSERT_REPORT("cam < CameraPosition::MaxCam");
    if (recType >= MaxRec || recType < Normal)
        VK_ASSERT_REPORT("recType < RecordType::MaxRec");
}

void PrintBetweenRules(const char* text, const std::string& name)
{
    const char* rule = "=============================================================\n";
    std::printf("%s", rule);
    std::printf(text, name.c_str());
    std::printf("%s", rule);
}

} // namespace

void GetCurrentName(CameraPosition cam, timeval& time, const char* path, const char* prefix, char* out)
{
    std::tm local {};
    time_t seconds = time.tv_sec;
    localtime_r(&seconds, &local);
    int written = std::snprintf(out, NAME_LENGTH, "%s%s%02d%02d%02d-%02d%02d%02d%s", path, prefix,
                                local.tm_year % 100, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                                local.tm_sec, cam == Front ? FRONT_POSTFIX : REAR_POSTFIX);
    if (written >= NAME_LENGTH)
        VK_ASSERT_REPORT("strlen(currName) < NAME_LENGTH");
    Log()->Print("[GetCurrentName]%s\n", out);
}

timeval& DifferTime(timeval& result, timeval& a, timeval& b)
{
    result.tv_sec = a.tv_sec - b.tv_sec;
    result.tv_usec = a.tv_usec - b.tv_usec;
    if (result.tv_usec < 0) {
        --result.tv_sec;
        result.tv_usec += 1000000;
    }
    return result;
}

char* CallbackRecordFile(CameraPosition cam, RecordType recType)
{
    CheckRange(cam, recType);
    std::lock_guard<std::mutex> lock(mutexFilename);
    if (!Singleton<CMainDvr>::Inst()->IsCurrentLiveview() || !Singleton<Storage>::Inst()->DoesDeviceExist()) {
        Log()->Print("%s return\n", dummyName);
        return Dummy();
    }
    RECTYPE::RECORD kind = ActualType(recType);
    Log()->Print("rectype:%d, actualType:%d\n", recType, kind);

    RecordFiles& ring = records[kind];
    RecordFile& slot = ring.files[ring.count];
    const RecordFile& prev = ring.files[(ring.count + RECORD_RING_SIZE - 1) % RECORD_RING_SIZE];
    slot.time = SystemClock::Now();
    char currName[NAME_LENGTH];
    ChooseName(cam, kind, slot, prev, ring, currName);
    std::memcpy(slot.name, currName, NAME_LENGTH);

    if (!(Singleton<FileLoop>::Inst()->*POOL[kind][cam])(slot.name)) {
        Log()->Print("[CallbackRecordFile]Change name fail\n");
        // The slot is reused by the next request; its name must not block that one.
        slot.name[0] = '\0';
        return Dummy();
    }
    Log()->Print("[CallbackRecordFile][%d]%s\n", ring.count, slot.name);
    ring.count = (ring.count + 1) % RECORD_RING_SIZE;
    std::system("sync");
    return slot.name;
}

void CallbackError(CameraPosition cam, RecordType recType, BmError error, std::string name)
{
    CheckRange(cam, recType);
    BmWorks* engine = BmWorks::Inst();
    const RecordType all[] = { Normal, Event, Manual, Parking };
    for (RecordType type : all)
        engine->PauseRecord(Front, type);
    if (Singleton<Pref>::Inst()->IsRearCameraOn())
        for (RecordType type : all)
            engine->PauseRecord(Rear, type);

    struct Failure {
        BmError error;
        const char* text;
        TIMER::ID timer;
    };
    static const Failure FAILURES[] = {
        { FileOpenFailed, "File Open Failed. %s\n", TIMER::FILE_OPEN_FAILED },
        { FileCloseFailed, "File Close Failed. %s\n", TIMER::FILE_CLOSE_FAILED },
        { FileWriteFailed, "File Write Failed. %s\n", TIMER::FILE_WRITE_FAILED },
    };
    if (error == NewFileCreated) {
        PrintBetweenRules("      New File created. %s\n", name);
        // Every recording was just paused: the live view starts them again, so
        // that its state and LEDs do not claim recordings that stopped.
        UIQueue::Inst()->SendMessage(WND::LIVEVIEW, WM::RECORD_RESTART, 0, 0);
        return;
    }
    for (const Failure& failure : FAILURES) {
        if (failure.error != error)
            continue;
        Log()->Print(failure.text, name.c_str());
        Singleton<UITimer>::Inst()->Set(WND::CMAIN_DVR, failure.timer, 1000);
        PrintBetweenRules((std::string("      ") + failure.text).c_str(), name);
    }
}

void CallbackMotionDetect(CameraPosition cam, int value)
{
    // Monotonic: a clock set back by the GPS or the phone must not silence motion.
    static bool accepted = false;
    static timeval last {};
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    timeval now { ts.tv_sec, ts.tv_nsec / 1000 };
    timeval diff;
    if (accepted && DifferTime(diff, now, last).tv_sec <= MOTION_HOLD_OFF_SEC)
        return;
    accepted = true;
    last = now;
    std::printf("MotionDetect(%s)...%d\n", cam == Front ? "Front" : "Rear", value);
    UIQueue::Inst()->SendMessage(WND::LIVEVIEW, WM::START_PARKING_RECORD, 0, 0);
}

namespace {

// One diagnostic line in so many analysed frames.
constexpr unsigned FSADAS_LOG_FRAMES = 137;

void PostAdasWarnings(bool ldws, bool fcws)
{
    UIQueue* bus = UIQueue::Inst();
    if (fcws && gAdasConfig[ADAS_FCWS_RESULT] == 1)
        bus->SendMessage(WND::LIVEVIEW, WM::SHOW_VIOLENCE, 0, 0);
    if (!ldws)
        return;
    if (gAdasConfig[ADAS_LDWS_RESULT] == LDWS_LEFT)
        bus->SendMessage(WND::LIVEVIEW, WM::SHOW_LDWS_LEFT, 0, 0);
    else if (gAdasConfig[ADAS_LDWS_RESULT] == LDWS_RIGHT)
        bus->SendMessage(WND::LIVEVIEW, WM::SHOW_LDWS_RIGHT, 0, 0);
}

} // namespace

// Runs on the engine's frame thread: the analysis may take its time, the
// engine drops the frames that arrive meanwhile.
void FsadasCallback(int cameraPosition, void* ptrY, void* ptrUV, int width, int height)
{
    if (!gFsadasStarts || Singleton<CMainDvr>::Inst()->IsParkingMode())
        return;
    Pref* pref = Singleton<Pref>::Inst();
    bool ldws = pref->IsLdwsModeOn();
    bool fcws = pref->IsFcwsModeOn();
    if (!ldws && !fcws)
        return;
    gps_lock_data_t gps;
    Singleton<GPS>::Inst()->CopyData(gps);
    if (!gps.available)
        return;
    gAdasConfig[ADAS_SPEED] = gps.speed;
    gAdasConfig[ADAS_LDWS_LEVEL_LEFT] = gAdasConfig[ADAS_LDWS_LEVEL_RIGHT] = 3;
    gAdasConfig[ADAS_LDWS_HOLD_OFF] = gAdasConfig[ADAS_FCWS_HOLD] = 68;
    gAdasConfig[ADAS_LDWS_MIN_SPEED] = gAdasConfig[ADAS_FCWS_MIN_SPEED] = 40;
    gAdasConfig[ADAS_LDWS_ON] = ldws ? 1 : 0;
    gAdasConfig[ADAS_FCWS_ON] = fcws ? 1 : 0;
    __fs_adas_main_process(static_cast<const uint8_t*>(ptrY), static_cast<const uint8_t*>(ptrUV), gAdasConfig);
    PostAdasWarnings(ldws, fcws);
    static unsigned frames = 0;
    if (frames % FSADAS_LOG_FRAMES == 0)
        std::printf("[FsadasCallback]speed:%d, cam:%d, y:%p, uv:%p, size:%dx%d, count:%u, ldws:%d, fcws:%d, "
                    "ldws on:%d, fcws on:%d\n",
                    gAdasConfig[ADAS_SPEED], cameraPosition, ptrY, ptrUV, width, height, frames,
                    gAdasConfig[ADAS_LDWS_RESULT], gAdasConfig[ADAS_FCWS_RESULT], ldws, fcws);
    frames++;
}

void StorageCallback(bool) {}

} // namespace vk
