#pragma once
// The recordings' text track: one TMPlayer entry per engine-clock second
// carrying the latest data text from the G-sensor, kept in a 30 s buffer
// that every recording reads.

#include "bmworks/BmAudioBuffer.h"

#include <gst/gst.h>
#include <string>

class BmSubtitle {
public:
    static BmSubtitle* Inst();

    // From the G-sensor thread.
    void SetText(std::string text);
    void Start();
    void Stop();
    int ReadStreamOld(uint64_t& position, AudioBuffer& out, int waitMs);
    std::string MakeGpsString(int second);
    void Add(std::string) {}
    // Makes the entry of the last whole second, once per second.
    void MakeEntry();
    // Runs MakeEntry once just after the current engine second is over.
    void ArmEntryTask();
    // Where the next entry will begin (ns of the engine clock); none before
    // the first entry. Engine thread.
    GstClockTime NextEntryNsec() const;

    BmSubtitleBuffer mSubtitleBuffer;
    std::string mText;
    uint64_t mTimeStamp = 0;
    uint64_t mLastTimeStamp = ~0ULL;
    int mLastSec = -1;
    guint mSubtitleReadGpsTaskId = 0;
    guint mSubtitleBufferDeleteTaskId = 0;
    guint mSubtitleBufferReportTaskId = 0;
    bool mStarted = false;
    GstElement* pGstPipeline = nullptr;
    GstElement* pGstSubtitlesink = nullptr;

private:
    BmSubtitle();
    void gStartSubtitleTask();
    void gStopSubtitleTask();
};
