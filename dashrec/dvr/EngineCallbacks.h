#pragma once
// What the media engine asks of the recorder: the path of every new file, and
// reports of file errors, motion and front-camera frames. All run on engine
// threads; they post to the bus or arm timers of the run mode and leave the
// work to the main loop.

#include "bmworks/BmTypes.h"

#include <atomic>
#include <string>
#include <sys/time.h>

namespace vk {

namespace RECTYPE {
enum RECORD { NORMAL = 0, EVENT = 1, MANUAL = 2, PARKING = 3, PARKING_EVENT = 4, MAX_TYPE = 5 };
extern const char* const paths[MAX_TYPE];
extern const char* const prefix[MAX_TYPE];
} // namespace RECTYPE

constexpr int NAME_LENGTH = 256;
constexpr int RECORD_RING_SIZE = 30;
// Names no file of the medium: handed out whenever no real file may be written.
extern const char dummyName[];

char* CallbackRecordFile(CameraPosition cam, RecordType recType);
void CallbackError(CameraPosition cam, RecordType recType, BmError error, std::string name);
void CallbackMotionDetect(CameraPosition cam, int value);
void FsadasCallback(int cameraPosition, void* ptrY, void* ptrUV, int width, int height);
void StorageCallback(bool);

void GetCurrentName(CameraPosition cam, timeval& time, const char* path, const char* prefix, char* out);
// a - b, with the microseconds kept in 0 to 999999.
timeval& DifferTime(timeval& result, timeval& a, timeval& b);

// Frame processing by driver assistance is allowed: set by the main loop, read
// on the engine's frame thread.
extern std::atomic<bool> gFsadasStarts;
// The driver-assistance parameter block shared with the per-frame analysis.
extern int gAdasConfig[11];

} // namespace vk
