#pragma once
// One camera's video path on the media platform. Stream 0 is the full-size
// capture that feeds the recording encoder (H.265); stream 1 a small capture
// for the display, the live-stream encoder (H.264) and driver assistance.
// Idle sources on the engine loop do the per-frame work: the encoder task
// hands stream-0 frames to the encoder, the buffer task moves encoded units
// into the two pre-record buffers, from which recordings and live streams read.

#include "bmworks/BmDma.h"
#include "bmworks/BmDsmBuffer.h"
#include "bmworks/BmMod.h"
#include "bmworks/BmTypes.h"
#include "bmworks/BmVideoBuffer.h"
#include "mpp_comm/mpp_comm_venc.h"
#include "mpp_comm/mpp_comm_vi.h"

#include <atomic>
#include <glib.h>
#include <thread>

// Frames sent to the recording encoder at a reduced rate: 1 sends the frame,
// 0 drops it, indexed by the frame counter modulo the length.
struct BmFrameTable {
    const int32_t* entries;
    int length;
};

class BmVideo {
public:
    enum VideoOutType { Main = 0, Sub = 1 };

    // Bits of mRunFlag.
    enum RunBit {
        RunEncoder = 1,
        RunOutput = 2,
        RunInput0 = 4,
        RunInput1 = 8,
        RunMotion = 16,
        RunLive = 32,
        RunCopy = 64,
        RunAssist = 128,
    };

    BmVideo();
    ~BmVideo();
    BmVideo(const BmVideo&) = delete;
    BmVideo& operator=(const BmVideo&) = delete;

    int Init();
    void SetConfigBeforeStart(CameraPosition camera, int width, int height, int fps10, VideoCodec codec);
    int Start();
    void Stop();

    int RunVideoEnc();
    void PauseVideoEnc();
    void RunVideoIn(int stream);
    void PauseVideoIn(int stream);
    void RunRtsp();
    void PauseRtsp();
    int ChangeEncoderFps(int fps);

    // Display output: the device (front camera) and the camera's channel.
    int CreateVideoOut();
    void DestroyVideoOut();
    int RunVideoOut();
    void PauseVideoOut();
    void StartVideoOut() {}
    void MoveVideoOutY(int) {}
    void ChangeVideoOutHeight(int) {}
    // Called by the user interface on its own thread.
    static void SetVisible(bool visible);
    static bool IsVisible() { return mIsVisible; }
    static void SetVisibleLayer(int channel, int layer, bool visible);
    static void ShowSmallVideoOut() { SetVisibleLayer(1, 0, true); }
    static void HideSmallVideoOut() { SetVisibleLayer(1, 0, false); }
    // The luma of the last copied frame, mDsmFrameWidth x mDsmFrameHeight bytes.
    void CopyDsmBuff(char* out);
    // Starts the driver-assistance frame thread (front camera).
    void FsadasThread();
    // Ends and joins it: after this the frame callback is no longer called.
    void StopFsadasThread();
    void SetVideoEncTable(DynamicFps fps);
    int CalcBitrate(int refFps, int baseBitrate);
    // Time stamp (µs, two low bits clear) of the stream-0 frame counted by
    // mEncodingFrameCount, taken with the engine clock at nowUsec.
    uint64_t StampPts(uint64_t nowUsec);

    // Next unit after time from the recording buffer (oldest first), the
    // live-stream buffer, or the newest unit; retried every 10 ms for up to
    // timeoutMs. 0 when a unit was returned.
    int ReadStreamOld(uint64_t& time, Nal& unit, int timeoutMs);
    int ReadStreamRtsp(uint64_t& time, Nal& unit, int timeoutMs);
    int ReadStreamNew(uint64_t& time, Nal& unit, int timeoutMs);

    int SetMirror(int value);
    int SetPltmWDR(int value);
    int GetPltmWDR();
    int SetSaturation(int value);
    int GetSaturation();
    int SetSharpness(int value);
    int GetSharpness();
    int SetBrightness(int value);
    int GetBrightness();
    int SetExposureBias(int value);
    int GetExposureBias();
    int SetExposure(int value);
    int GetExposure();
    int SetColorTemp(int value);
    int GetColorTemp();
    int SetRGain(int value);
    int GetRGain();
    int SetBGain(int value);
    int GetBGain();
    int SetGrGain(int value);
    int GetGrGain();
    int SetGbGain(int value);
    int GetGbGain();
    void ResetIsp();

    bool IsRunVideoEnc() const { return mRunFlag & RunEncoder; }
    bool IsRunVideoOut() const { return mRunFlag & RunOutput; }
    bool IsRunVideoIn(int stream) const { return mRunFlag & (stream == 0 ? RunInput0 : RunInput1); }
    bool IsRunMotionDetect() const { return mRunFlag & RunMotion; }
    bool IsRunRtsp() const { return mRunFlag & RunLive; }
    bool IsRunDsm() const { return mRunFlag & RunCopy; }
    bool IsRunFsadas() const { return mRunFlag & RunAssist; }
    void RunMotionDetect() { mRunFlag |= RunMotion; }
    void PauseMotionDetect() { mRunFlag &= ~RunMotion; }
    void RunDsm() { mRunFlag |= RunCopy; }
    void PauseDsm() { mRunFlag &= ~RunCopy; }
    void RunFsadas() { mRunFlag |= RunAssist; }
    void PauseFsadas() { mRunFlag &= ~RunAssist; }

    // The engine-loop sources; data is the BmVideo.
    static gboolean gVideoEncoderTask(gpointer data);
    static gboolean gVideoBufferTask(gpointer data);
    static gboolean gVideoBufferDeleteTask(gpointer data);
    static gboolean gVideoBufferReportTask(gpointer data);
    static gboolean gVideoOutTask(gpointer data);

    VideoFormat mFormat;
    CameraPosition mCameraPosition = Front;
    VideoOutType mVideoOutType = Main;
    int32_t mVideoInDevId[2] = {0, 0};
    int32_t mVideoInChannelId[2] = {0, 0};
    int32_t mVideoOutChannelId = 0;
    int32_t mVideoOutLayerId = 0;
    int32_t mVideoEncoderId = 0;
    int32_t mVideoEncoderRtspId = 0;
    int32_t mVideoOutClockId = 0;
    std::atomic<int32_t> mRunFlag{0}; // set on the engine thread, also read by callers of the facade
    std::atomic<int32_t> mDsmBufferCounter{0}; // counted on the engine thread, read by the copy's reader
    BmDsmBuffer mDsmBuffer;
    BmVideoBuffer mVideoBuffer;
    BmVideoBuffer mRtspBuffer;
    uint64_t mPtsVo = 0;
    uint64_t mPtsEnc = 0;
    GTimer* pGTimerPts = nullptr;
    BmMod mBmMod;
    DynamicFps mDynamicFps = F30;
    int32_t mEncodingFrameCount = 0;
    BmFrameTable mEncodingFrameTable = {nullptr, 0};
    std::atomic<uint64_t> mLastVITimeSec{0}; // also read by the stall check on the UI thread
    int32_t mRtspEncoderCount = 0;
    std::atomic<char*> pDsmBuff{nullptr}; // made on the engine thread, named to the copy's reader
    int32_t mDsmFrameSkipCount = 0;
    int32_t mDsmFrameWidth = 0;
    int32_t mDsmFrameHeight = 0;
    void (*FsadasCallback)(int, void*, void*, int, int) = nullptr;
    bool mFsadasFrameSkipFlag = false;
    BmDma mBmDma;
    int32_t mBmDmaWidth = 0;
    int32_t mBmDmaHeight = 0;
    bool mMirror = false;
    VIDEO_FRAME_INFO_S last_video_frame{};
    int32_t mLastFrameCount = 0;
    int32_t mPtsCorrect = 0;
    int64_t mDiffs[100] = {};
    void* pFsadasY = nullptr;
    void* pFsadasUV = nullptr;
    std::thread _t;
    static std::atomic<bool> mIsVisible;
    int32_t mVideoOutPriority = 0;
    MPP_COM_VI_TYPE_E mVideoInputConfigType[2] = {VI_1080P_30FPS, VI_540P_30FPS};
    VENC_CFG_TYPE_E mVideoEncoderConfigType = VENC_1080P_TO_1080P_8M_30FPS;
    VENC_CFG_TYPE_E mVideoEncoderRtspConfigType = VENC_540P_TO_360P_1M_30FPS;
    guint mVideoEncoderTaskId = 0;
    guint mVideoOutTaskId = 0;
    guint mVideoBufferTaskId = 0;
    guint mVideoBufferDeleteTaskId = 0;
    guint mVideoBufferReportTaskId = 0;
    // Rate of the stream-0 capture: the time between two captured frames.
    int32_t mCaptureFps = 30;
    // last_video_frame is still held from the capture, so that the final
    // frames of a power-down re-send a picture the capture cannot overwrite.
    bool mLastFrameHeld = false;
    // Ends the frame thread of a camera object that goes away.
    bool mFsadasStop = false;

private:
    void SetInitParams();
    int CreateVideoIn();
    void DestroyVideoIn();
    int CreateVideoEncoder();
    int CreateRtspEncoder();
    int StartIsp();
    int EncoderTask();
    int VideoOutTask();
    void SendLiveFrame(VIDEO_FRAME_INFO_S& frame);
    void ShowFrame(const VIDEO_FRAME_INFO_S& frame);
    void OfferFsadasFrame(const VIDEO_FRAME_INFO_S& frame);
    void CopyFrame(const VIDEO_FRAME_INFO_S& frame);
    void FsadasLoop();
    bool TakeCaptureFrame(VIDEO_FRAME_INFO_S& frame);
    void ReleaseLastFrame();
    bool TableSends(int32_t frameCount) const;
    void TakeUnit(int32_t encoderId, int payload, BmVideoBuffer& buffer);
    int ReadStream(int (BmVideoBuffer::*get)(uint64_t&, Nal&) const, BmVideoBuffer& buffer, uint64_t& time,
                   Nal& unit, int timeoutMs);
    int Payload() const { return mFormat.codec == H265 ? PT_H265 : PT_H264; }
    const char* CameraName() const;
};
