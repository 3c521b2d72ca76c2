#pragma once
// Helpers of the engine tests: one engine per process, work run on the engine
// thread, and the units of a pre-record buffer checked with real tools.

#include "bmworks/bmworks.h"

#include <functional>
#include <string>
#include <vector>

// Initialises the engine once per process.
BmWorks* Engine();

// The encoders replay loops kept in the build ("soc-replay"), made once.
void UseReplayEncoding();

// Runs f on the engine thread between its tasks and waits for it.
void OnEngine(const std::function<void()>& f);

// Waits up to timeoutMs for the predicate to hold.
bool WaitFor(const std::function<bool()>& done, int timeoutMs);

struct BufferedUnit {
    Nal nal;
    uint64_t bufferTimeUsec;
};

// Every unit of the buffer newer than after, oldest first.
std::vector<BufferedUnit> Units(const BmVideoBuffer& buffer, uint64_t after = 0);

// Writes the units from the first key unit on as a raw stream; returns the path.
std::string WriteRawStream(const std::vector<BufferedUnit>& units, const std::string& name);

// Standard output of a shell command.
std::string Shell(const std::string& command);

// The average bitrate of the units over their time stamps, in bit/s.
double Bitrate(const std::vector<BufferedUnit>& units);

// A field of /proc/self/status in kB ("VmRSS:", "VmHWM:").
long StatusKb(const char* field);

// Both cameras as the run lays them out (front 1440p, rear 1080p, 30 fps)
// with replayed encoding (loops in "soc-replay" of the working folder unless
// DASHREC_SOC_REPLAY_DIR names one), started, encoders not yet running.
// Null when a camera does not start.
BmWorks* StartRunLayoutReplayed();

// Makes path a file pre-allocated to the camera's Normal file size, as the
// card's recording files are.
void PreallocateRecording(const std::string& path, CameraPosition camera);
