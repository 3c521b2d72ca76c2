#pragma once
// Recordings of the product's shape (MP4 with H.265 video, 8 kHz mono PCM
// audio and a text subtitle track) made from the synthetic road scene, whose
// caption carries the frame number: at 10 frames a second, frame 300 is 30 s.
// Parameter sets go in front of every key unit, as the engine's recorders
// write them, so that a stream entered at a seek decodes.

#include <string>

constexpr int kRecordingFps = 10;

// The recording of the given codec ("hevc" or "h264") and length, made once
// per build folder and shared by the test processes; its absolute path.
std::string Recording(const std::string& codec, int seconds);

// A copy of the file cut to its first half; a file of zeros; both absolute.
std::string HalfOf(const std::string& path);
std::string Zeros(size_t bytes);

// The duration that ffprobe reads, in ms.
int ProbeDurationMsec(const std::string& path);

// An NV21 picture saved as PNG with ffmpeg; false when it cannot.
bool SaveNv21Png(const unsigned char* y, const unsigned char* vu, int width, int height, const std::string& png);

// The panel and its main display channel, as the live view's front display
// leaves them for the player; true once they are there.
bool PanelReady();
