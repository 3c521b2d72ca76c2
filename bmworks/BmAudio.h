#pragma once
// Microphone capture for the whole device: one pipeline resampling to
// 8000 Hz mono S16LE, collected in chunks of four samples or more, at least
// 100 ms, into the audio pre-record buffer that every recording reads.

#include "bmworks/BmAudioBuffer.h"

#include <gst/gst.h>
#include <mutex>

// The oldest item after position, retried every 10 ms for up to waitMs.
int BmReadOld(const BmAudioBuffer& buffer, uint64_t& position, AudioBuffer& out, int waitMs);

class BmAudio {
public:
    struct AudioTempBuffer {
        char buffer[1048576];
        int length;
        int count;
        uint64_t pts;
    };

    static BmAudio* Inst();

    void Start();
    void Stop();
    int ReadStreamOld(uint64_t& position, AudioBuffer& out, int waitMs);
    // The read position whose next chunk holds the sound of the moment pts
    // (µs): the newest chunk stamped at or before it, else the oldest.
    uint64_t PositionAt(uint64_t pts) const;
    // Collects one appsink sample; on the appsink's streaming thread.
    void AddSample(const char* bytes, int length);

    // The capture text: ALSA card 0 device 0 at 44100 Hz mono, resampled.
    static const char* MakeLaunchString();

    GstElement* pGstPipeline = nullptr;
    GstElement* pGstAudiosink = nullptr;
    BmAudioBuffer mAudioBuffer;
    AudioTempBuffer mTempBuffer{};
    guint mAudioBufferDeleteTaskId = 0;
    guint mAudioBufferReportTaskId = 0;
    bool mStarted = false;

private:
    BmAudio() = default;
    void StartGstreamer();
    void gStartAudioTask();
    void gStopAudioTask();
};
