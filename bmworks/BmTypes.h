#pragma once
// Types shared by the media engine and its callers.

#include <cstdint>
#include <memory>

class BmMux;

enum CameraPosition { Front = 0, Rear = 1, MaxCam = 2 };

enum RecordType { Normal = 0, Event = 1, Manual = 2, Parking = 3, MaxRec = 4 };

enum VideoSize { UHD = 0, WQHD = 1, SHD = 2, FHD = 3, HD = 4 };

// The value is the rate in frames per second.
enum DynamicFps { F6 = 6, F7 = 7, F16 = 16, F22 = 22, F25 = 25, F27 = 27, F29 = 29, F30 = 30, F60 = 60 };

enum VideoOutConfig { VocFront = 0, VocRear = 1, VocFrontRear = 2, VocRearFront = 3 };

enum BmError { None = 0, NewFileCreated = 1, FileOpenFailed = 2, FileCloseFailed = 3, FileWriteFailed = 4 };

enum VideoCodec { H264 = 0, H265 = 1 };

// The argument of a posted record command.
struct CommandParam {
    BmMux* pBmMux;
    RecordType recordType;
};

// Bytes kept in a pre-record buffer and shared with its readers: they are
// freed when the last holder lets go, so ageing never frees what a reader
// still uses.
using BmBytes = std::shared_ptr<char>;

// One encoded video unit.
struct Nal {
    char* buffer = nullptr;
    int32_t length = 0;
    int32_t keyFrame = 0;
    uint64_t pts = 0; // microseconds
    double bufferTimeSec = 0;
    BmBytes holder; // owner of buffer once the unit is in a pre-record buffer
};

struct VideoFormat {
    int32_t width = 0;
    int32_t height = 0;
    int32_t fps10 = 0;
    VideoCodec codec = H265;
};
