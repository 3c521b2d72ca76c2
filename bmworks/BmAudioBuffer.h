#pragma once
// The pre-record buffer of PCM chunks, and under the name BmSubtitleBuffer of
// subtitle lines: the last 30 s.

#include "bmworks/BmTimedList.h"

struct AudioBuffer {
    char* buffer = nullptr;
    int length = 0;
    uint64_t pts = 0; // microseconds
    uint64_t bufferTimeUsec = 0;
    BmBytes holder; // owner of buffer once the chunk is in a pre-record buffer
};

class BmAudioBuffer {
public:
    using EncodedAudioBuffer = BmTimedList<AudioBuffer>::Entry;

    BmAudioBuffer();

    void Init() {}
    // Both take ownership of audio.buffer; the first stamps it with the clock now.
    void Add(AudioBuffer& audio);
    void Add(AudioBuffer& audio, uint64_t bufferTimeUsec);
    void DeleteOld();
    int GetOld(uint64_t& position, AudioBuffer& out) const;
    int GetNew(uint64_t& position, AudioBuffer& out) const;
    void Report(const char* name) const;

    BmTimedList<AudioBuffer> mAudioBufferList;
};

using BmSubtitleBuffer = BmAudioBuffer;
