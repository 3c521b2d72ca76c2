#pragma once
// Playback of one recording: the discoverer learns its duration and video
// format, then a pipeline reads the file twice, its video track as NAL units
// into the player and its audio track to the sound card. The player window
// drives it from the UI thread; discovery, seeks and the teardown run on the
// engine thread, samples arrive on a GStreamer streaming thread.

#include "bmworks/BmPlayer.h"

#include <atomic>
#include <gst/pbutils/pbutils.h>
#include <string>

class BmDemux {
public:
    int Init();
    // Stops what plays, then discovers the file; start position in ms.
    void SetFile(const std::string& path, int32_t startMsec);
    // The duration in ms once discovery has ended; -1 when the file cannot be
    // played or discovery does not end in time.
    int32_t GetDurationMsec();
    void Play();
    void Pause();
    // Posted: the nearest key unit at or before the target, in ms.
    void Seek(int32_t targetMsec);
    int32_t Position();
    // Returns once the pipeline and the player are torn down.
    void Stop();
    bool IsStarted() const { return mIsStarted; }
    bool IsPlaying() const { return mIsPlaying; }
    bool IsStreamValid() const { return mStreamValid; }

    // Engine-thread steps and callbacks.
    void RunDiscovery();
    void OnDiscovered(GstDiscovererInfo* info, GError* err);
    void OnFinished();
    void RunSeek();
    void Teardown();
    GstFlowReturn OnSample(GstElement* sink);

    std::string mFileName;
    GstDiscoverer* pDiscoverer = nullptr;
    std::atomic<int32_t> mDurationMsec{0};
    std::atomic<bool> mDiscovererEnd{false};
    GstElement* pGstPipeline = nullptr;
    GstElement* pGstDemuxsink = nullptr;
    BmPlayer bmPlayer;
    std::atomic<bool> mIsPlaying{false};
    std::atomic<bool> mIsStarted{false};
    guint mOnSeekId = 0;
    int32_t mSeekTimeMsec = 0;
    std::atomic<bool> mStreamValid{false};
    // Set by a seek: samples before the next key unit are dropped.
    std::atomic<bool> mAwaitKeyUnit{false};

private:
    void RunDiscoverer();
    void Start();
    void StartGstreamer();
    std::string MakeLaunchString() const;
    void EndDiscoverer();
    bool SkipBeforeKeyUnit(GstBuffer* buffer);
};
