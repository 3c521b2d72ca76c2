// Engine operations that the recording and video-output work defines. Until
// they land these weak stand-ins let the recorder link and run without
// recording or showing video; the engine's own definitions replace them.

#include "bmworks/bmworks.h"

#define VK_AWAITED __attribute__((weak))

VK_AWAITED void BmWorks::SetNewFileNameCallback(char* (*)(CameraPosition, RecordType)) {}
VK_AWAITED void BmWorks::SetErrorCallback(void (*)(CameraPosition, RecordType, BmError, std::string)) {}
VK_AWAITED void BmWorks::SetMotionDetectCallback(void (*)(CameraPosition, int)) {}
VK_AWAITED int BmWorks::RunVideoOut(CameraPosition) { return 0; }
VK_AWAITED int BmWorks::PauseVideoOut(CameraPosition) { return 0; }
VK_AWAITED int BmWorks::PauseRecord(CameraPosition, RecordType) { return 0; }
