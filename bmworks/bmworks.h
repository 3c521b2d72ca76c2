#pragma once
// The media engine's one entry point. The program and the bench tool reach
// the engine only through BmWorks::Inst(); the engine reaches back only
// through the function pointers it is handed. Most commands are posted to the
// engine's GLib main loop on the thread "gBmWorksTask" and run there one
// after another, between the engine's periodic frame work; the caller learns
// nothing of their outcome.

#include "bmworks/BmClock.h"
#include "bmworks/BmDemux.h"
#include "bmworks/BmMux.h"
#include "bmworks/BmTypes.h"
#include "bmworks/BmWav.h"

#include <atomic>
#include <ctime>
#include <glib.h>
#include <string>

class BmWorks {
public:
    // Made on the first call, by the run mode's main thread, and kept for the
    // program's life.
    static BmWorks* Inst();

    // Platform, GStreamer, clock and recorders, then the engine thread.
    int Init(void (*unused)(bool));
    // Ends and joins the engine's own threads: the driver-assistance frame
    // threads, then the engine loop with every task it runs (frames, feeds,
    // overlay) once what was posted before has run. After it the engine calls
    // none of the callbacks it was handed, so a run mode calls it before it
    // finalises what they use.
    void Shutdown();

    // Set-up before Start, on the caller's thread.
    void SetCongigBeforeStart(CameraPosition camera, VideoSize size);
    void SetNewFileNameCallback(char* (*callback)(CameraPosition, RecordType));
    void SetErrorCallback(void (*callback)(CameraPosition, RecordType, BmError, std::string));
    void SetMotionDetectCallback(void (*callback)(CameraPosition, int));
    // Installs the callback on the front camera, whatever camera is named.
    void SetFsadasCallback(CameraPosition camera, void (*callback)(int, void*, void*, int, int));
    void SetFileWriteMode();
    void DontStartAudio() { mDontStarAudio = true; }
    void SetHdr(bool hdr) { mHdr = hdr; }
    bool GetHdr() const { return mHdr; }
    // Event clip length in seconds and pre-event time in seconds, both cameras.
    void SetEventTimeSec(int recordSec, int preSec);
    // Store the rate; a running encoder changes rate on the engine thread.
    void SetFps(DynamicFps fps);
    void SetFpsRear(DynamicFps fps);
    DynamicFps GetFps() const;
    DynamicFps GetFpsRear() const;
    void SetMirrorRear(bool mirror);
    void SetModSensivity(int sensitivity);

    // Starts a camera on the caller's thread: 0, or -1 when it cannot.
    int Start(CameraPosition camera);

    // Posted commands.
    int RunRecord(CameraPosition camera, RecordType type);
    int PauseRecord(CameraPosition camera, RecordType type);
    void StopRecord(CameraPosition camera);
    void Stop(CameraPosition camera);
    int RunVideoOut(CameraPosition camera);
    int PauseVideoOut(CameraPosition camera);
    void RunMotionDetect();
    void PauseMotionDetect();
    void StartRtspLive(CameraPosition camera);
    void StopRtspLive(CameraPosition camera);
    void SetVideoOutConfig(VideoOutConfig config);
    void RunFsadas();
    void PauseFsadas();
    void ResetIsp();
    void UpdateMeta();

    // On the caller's thread.
    VideoOutConfig GetVideoOutConfig() const { return mVocConfig; }
    // 0 when the camera records but its capture has delivered nothing for
    // more than 5 s (and then again only after a further 6 s), else 1.
    int CheckCameraRunning(CameraPosition camera);
    bool IsRunRecord(RecordType type) const;
    int64_t GetBufferTimeDiffUsec(RecordType type);
    int GetEventRunCount() const { return 0; }
    void SetSubtitleText(std::string text);
    void SetOverlayText(std::string text);
    // The wall clock the recordings' date and time show: the program's own,
    // which it may set (the system's until then).
    void SetWallClock(std::time_t (*now)());
    void RunDsmVideo();
    void PauseDsmVideo();
    void CopyDsmVideo(char* out);
    char* GetDsmBuffer();
    int GetDsmBufferCounter();

    // Power loss: after SetEmergency no recording starts and bus errors are
    // ignored; TrashEmergency and StopEmergency end a type's file at once;
    // SetAutoStop makes the encoders re-send their last frame and stop.
    void SetEmergency() { mEmergency = true; }
    void TrashEmergency(RecordType type);
    void StopEmergency(RecordType type);
    void SetAutoStop(bool keepEventOrParking);

    // Image tuning of the front image processor.
    int SetPltmWDR(int value);
    int SetSaturation(int value);
    int SetSharpness(int value);
    int SetBrightness(int value);
    int SetExposureBias(int value);
    int SetExposure(int value);
    int SetColorTemp(int value);
    int SetRGain(int value);
    int SetBGain(int value);
    int SetGrGain(int value);
    int SetGbGain(int value);
    int GetPltmWDR();
    int GetSaturation();
    int GetSharpness();
    int GetBrightness();
    int GetExposureBias();
    int GetExposure();
    int GetColorTemp();
    int GetRGain();
    int GetBGain();
    int GetGrGain();
    int GetGbGain();

    static int GetWidth(VideoSize size);
    static int GetHeight(VideoSize size);
    static VideoSize GetVideoSize(int height);
    // Frames per ten seconds, the unit of the encoders and recorders.
    static int GetFps10(DynamicFps fps);

    static const char* const CameraPositionName[MaxCam];
    static const char* const RecordTypeName[MaxRec];

    GMainLoop* pGstLoop = nullptr;
    GThread* pGThread = nullptr;
    BmMux bmMux[MaxCam];
    BmDemux bmDemux;
    BmWav bmWav;
    CommandParam mRecordParams[MaxCam][MaxRec] = {};
    bool mFactoryMode = false;
    bool mHdmiMode = false;
    bool mHdr = true;
    std::atomic<VideoOutConfig> mVocConfig{VocFront}; // set by callers, laid out on the engine thread
    bool mDontStarAudio = false;
    std::atomic<bool> mEmergency{false};
    std::atomic<bool> mAutoSplit{false};
    std::atomic<int32_t> mAutoSplitCommand{1};

private:
    BmWorks() = default;
    BmVideo& FrontVideo() { return bmMux[Front].mVideo; }
    void SetCameraFps(CameraPosition camera, DynamicFps fps, const char* name);
};
