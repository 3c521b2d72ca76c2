#pragma once
// Helpers of the recording tests: an engine in replay mode with both cameras
// at 720p30, pre-allocated files handed out by a file-name callback, and the
// recordings read back with ffprobe.

#include "EngineRun.h"

#include <mutex>
#include <string>
#include <vector>

struct BmErrorReport {
    CameraPosition camera;
    RecordType type;
    BmError code;
    std::string message;
};

// Starts the engine once per process: replay encoding, HD on both cameras,
// events of eventSec with preSec before the trigger.
BmWorks* RecordingEngine(int eventSec, int preSec);

// Pre-allocates path with the given size (fallocate).
void Preallocate(const std::string& path, long long bytes);

// The file-name callback's state: each new file of a camera and type is the
// next of "<dir>/<Camera>_<Type>_<n>.mp4", pre-allocated to the engine's file size.
struct Files {
    static void Use(const std::string& dir);
    static std::vector<std::string> Named(CameraPosition camera, RecordType type);
    static std::vector<BmErrorReport> Errors();
    // Files from now on are made this large instead (0: the engine's size).
    static void SizeOverride(long long bytes);
    // Every name from now on is this path.
    static void NameOverride(const std::string& path);
};

long long FileSize(const std::string& path);

// One ffprobe value per line of a stream or format entry.
std::string Probe(const std::string& path, const std::string& selectAndEntries);
double DurationSec(const std::string& path, const char* stream);
double StartSec(const std::string& path, const char* stream);
// The decoded text of every subtitle entry.
std::string SubtitleText(const std::string& path);
