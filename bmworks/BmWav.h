#pragma once
// Plays a sound file through a playbin on the engine loop.

#include <gst/gst.h>
#include <string>

class BmWav {
public:
    void Play(std::string fileName);
    void Stop();
    bool IsPlaying();
    // Runs once on the engine loop: the playbin of mFileName.
    void WavPlay();

    GstElement* pGstPipeline = nullptr;
    std::string mFileName;
    guint mWavPlayId = 0;
};
