#include "bmworks/bmworks.h"

#include "bmworks/BmAudio.h"
#include "bmworks/BmDebug.h"
#include "bmworks/BmGstPlatform.h"
#include "bmworks/BmLog.h"
#include "bmworks/BmOverlay.h"
#include "bmworks/BmPost.h"
#include "bmworks/BmSubtitle.h"
#include "mpp_comm/mpp_comm_sys.h"
#include "mpp_comm/soc_vdec.h"

GST_DEBUG_CATEGORY(bmworks_debug);

const char* const BmWorks::CameraPositionName[MaxCam] = {"Front", "Rear"};
const char* const BmWorks::RecordTypeName[MaxRec] = {"Normal", "Event", "Manual", "Parking"};

namespace {

struct SizeRow {
    VideoSize size;
    int width;
    int height;
};

const SizeRow kSizes[] = {
    {UHD, 3840, 2160}, {WQHD, 2560, 1440}, {SHD, 2304, 1296}, {FHD, 1920, 1080}, {HD, 1280, 720},
};

// Frames per ten seconds; 25, 27 and 29 are a little above the nominal rate.
struct Fps10Row {
    DynamicFps fps;
    int fps10;
};

const Fps10Row kFps10[] = {
    {F7, 70}, {F16, 160}, {F22, 220}, {F25, 251}, {F27, 275}, {F29, 299}, {F30, 300}, {F60, 600},
};

// Display channel of each camera per layout; channel 0 is the main picture.
struct LayoutRow {
    VideoOutConfig config;
    int frontChannel;
    int rearChannel;
    bool smallVisible; // channel 1; channel 0 is always shown
    bool frontRuns;
    bool rearRuns;
};

const LayoutRow kLayouts[] = {
    {VocFront, 0, 1, false, true, false},
    {VocRear, 1, 0, false, false, true},
    {VocFrontRear, 0, 1, true, true, true},
    {VocRearFront, 1, 0, true, true, true},
};

// A camera that was never started has no display channel to run.
void ApplyDisplayRun(BmVideo& video, bool runs)
{
    if (video.mVideoOutTaskId == 0)
        return;
    if (runs)
        video.RunVideoOut();
    else
        video.PauseVideoOut();
}

gpointer gBmWorksTask(gpointer data)
{
    g_main_loop_run(static_cast<GMainLoop*>(data));
    return nullptr;
}

gboolean gQuitLoop(gpointer data)
{
    g_main_loop_quit(static_cast<GMainLoop*>(data));
    return G_SOURCE_REMOVE;
}

gboolean gChangeEncoderFps(gpointer data)
{
    auto* video = static_cast<BmVideo*>(data);
    video->ChangeEncoderFps(video->mDynamicFps);
    return G_SOURCE_REMOVE;
}

gboolean gRunMotionDetect(gpointer data)
{
    for (BmMux& mux : static_cast<BmWorks*>(data)->bmMux) {
        if (!mux.mVideo.IsRunMotionDetect())
            mux.mVideo.RunMotionDetect();
        if (!mux.mVideo.IsRunVideoEnc())
            mux.mVideo.RunVideoEnc();
    }
    return G_SOURCE_REMOVE;
}

gboolean gPauseMotionDetect(gpointer data)
{
    for (BmMux& mux : static_cast<BmWorks*>(data)->bmMux) {
        if (mux.mVideo.IsRunMotionDetect())
            mux.mVideo.PauseMotionDetect();
    }
    return G_SOURCE_REMOVE;
}

gboolean gSetVideoOutConfig(gpointer data)
{
    auto* works = static_cast<BmWorks*>(data);
    for (const LayoutRow& row : kLayouts) {
        if (row.config == works->mVocConfig) {
            works->bmMux[Front].mVideo.mVideoOutChannelId = row.frontChannel;
            works->bmMux[Rear].mVideo.mVideoOutChannelId = row.rearChannel;
            BmVideo::SetVisibleLayer(0, 0, true);
            BmVideo::SetVisibleLayer(1, 0, row.smallVisible);
            ApplyDisplayRun(works->bmMux[Front].mVideo, row.frontRuns);
            ApplyDisplayRun(works->bmMux[Rear].mVideo, row.rearRuns);
        }
    }
    return G_SOURCE_REMOVE;
}

// The detector is made on the engine thread, where its analysis steps run.
gboolean gStartMotionDetector(gpointer data)
{
    for (BmMux& mux : BmWorks::Inst()->bmMux) {
        mux.mVideo.mBmMod.mSensitivity = GPOINTER_TO_INT(data);
        mux.mVideo.mBmMod.Start();
    }
    return G_SOURCE_REMOVE;
}

gboolean gRunVideoOut(gpointer data)
{
    static_cast<BmVideo*>(data)->RunVideoOut();
    return G_SOURCE_REMOVE;
}

gboolean gPauseVideoOut(gpointer data)
{
    static_cast<BmVideo*>(data)->PauseVideoOut();
    return G_SOURCE_REMOVE;
}

gboolean gRunFsadas(gpointer data)
{
    static_cast<BmVideo*>(data)->RunFsadas();
    return G_SOURCE_REMOVE;
}

gboolean gPauseFsadas(gpointer data)
{
    static_cast<BmVideo*>(data)->PauseFsadas();
    return G_SOURCE_REMOVE;
}

gboolean gResetIsp(gpointer data)
{
    static_cast<BmVideo*>(data)->ResetIsp();
    return G_SOURCE_REMOVE;
}

gboolean gStartRtspLive(gpointer data)
{
    static_cast<BmMux*>(data)->StartRtspLive();
    return G_SOURCE_REMOVE;
}

gboolean gStopRtspLive(gpointer data)
{
    static_cast<BmMux*>(data)->StopRtspLive();
    return G_SOURCE_REMOVE;
}

} // namespace

void BmWorks::StartRtspLive(CameraPosition camera)
{
    BmPost(gStartRtspLive, &bmMux[camera]);
}

void BmWorks::StopRtspLive(CameraPosition camera)
{
    BmPost(gStopRtspLive, &bmMux[camera]);
}

BmWorks* BmWorks::Inst()
{
    static BmWorks* works = new BmWorks(); // kept for the program's life
    return works;
}

int BmWorks::Init(void (*unused)(bool))
{
    (void)unused;
    gVideoDecoderScaleDown = 1;
    mpp_comm_sys_init();
    gst_init(nullptr, nullptr);
    BmGstPlatformInit();
    if (bmworks_debug == nullptr)
        GST_DEBUG_CATEGORY_INIT(bmworks_debug, "BmWorksDebug", 0, "media engine");
    BmClock::Inst();
    BmOverlay::Inst();
    bmMux[Front].Init(&bmMux[Rear]);
    bmMux[Rear].Init(nullptr);
    bmDemux.Init();
    // Made here, not on the engine thread: a Shutdown right after Init finds it.
    pGstLoop = g_main_loop_new(nullptr, FALSE);
    pGThread = g_thread_new("gBmWorksTask", gBmWorksTask, pGstLoop);
    g_usleep(10000);
    return 0;
}

void BmWorks::Shutdown()
{
    for (BmMux& mux : bmMux)
        mux.mVideo.StopFsadasThread();
    if (pGThread == nullptr)
        return;
    // Posted rather than quit at once: a quit before the loop runs would be lost.
    BmPost(gQuitLoop, pGstLoop);
    g_thread_join(pGThread);
    pGThread = nullptr;
    g_main_loop_unref(pGstLoop);
    pGstLoop = nullptr;
}

void BmWorks::SetCongigBeforeStart(CameraPosition camera, VideoSize size)
{
    bmMux[camera].SetConfigBeforeStart(camera, GetWidth(size), GetHeight(size),
                                       GetFps10(bmMux[camera].mVideo.mDynamicFps), H265);
}

void BmWorks::SetFsadasCallback(CameraPosition camera, void (*callback)(int, void*, void*, int, int))
{
    (void)camera;
    FrontVideo().FsadasCallback = callback;
}

void BmWorks::SetFileWriteMode()
{
    for (BmMux& mux : bmMux)
        mux.mFileOpenWriteMode = true;
}

void BmWorks::SetEventTimeSec(int recordSec, int preSec)
{
    for (BmMux& mux : bmMux) {
        mux.mEventRecordTime = recordSec;
        mux.mEventPreTimeUsec = static_cast<uint64_t>(static_cast<int64_t>(preSec) * 1000000);
    }
}

void BmWorks::SetCameraFps(CameraPosition camera, DynamicFps fps, const char* name)
{
    BmVideo& video = bmMux[camera].mVideo;
    video.mDynamicFps = fps;
    if (video.IsRunVideoEnc())
        BmPost(gChangeEncoderFps, &video);
    BmPrintRule('=', 54);
    printf("            BmWorks::%s(%d)\n", name, fps);
    BmPrintRule('=', 54);
}

void BmWorks::SetFps(DynamicFps fps)
{
    SetCameraFps(Front, fps, "SetFps");
}

void BmWorks::SetFpsRear(DynamicFps fps)
{
    SetCameraFps(Rear, fps, "SetFpsRear");
}

DynamicFps BmWorks::GetFps() const
{
    return bmMux[Front].mVideo.mDynamicFps;
}

DynamicFps BmWorks::GetFpsRear() const
{
    return bmMux[Rear].mVideo.mDynamicFps;
}

void BmWorks::SetMirrorRear(bool mirror)
{
    BmVideo& rear = bmMux[Rear].mVideo;
    rear.mMirror = mirror;
    rear.SetMirror(mirror);
}

int BmWorks::Start(CameraPosition camera)
{
    if (bmMux[camera].Start() != 0) {
        BmPrintRule('=', 63);
        printf("        BmWorks::Start() error. bmMux[%d].Start()\n", camera);
        BmPrintRule('=', 63);
        return -1;
    }
    if (!mDontStarAudio)
        BmAudio::Inst()->Start();
    BmSubtitle::Inst()->Start();
    BmOverlay::Inst()->Start();
    return 0;
}

void BmWorks::SetOverlayText(std::string text)
{
    BmOverlay::Inst()->SetText(std::move(text));
}

void BmWorks::SetWallClock(std::time_t (*now)())
{
    BmOverlay::Inst()->SetWallClock(now);
}

int BmWorks::RunVideoOut(CameraPosition camera)
{
    printf(" %lld BmWorks::RunVideoOut()... %s \n", static_cast<long long>(BmClock::Inst()->Msec()),
           CameraPositionName[camera]);
    BmPost(gRunVideoOut, &bmMux[camera].mVideo);
    return 0;
}

int BmWorks::PauseVideoOut(CameraPosition camera)
{
    printf(" %lld BmWorks::PauseVideoOut()... %s \n", static_cast<long long>(BmClock::Inst()->Msec()),
           CameraPositionName[camera]);
    BmPost(gPauseVideoOut, &bmMux[camera].mVideo);
    return 0;
}

void BmWorks::SetMotionDetectCallback(void (*callback)(CameraPosition, int))
{
    for (BmMux& mux : bmMux)
        mux.mVideo.mBmMod.SetCallback(callback);
}

void BmWorks::SetModSensivity(int sensitivity)
{
    BmPost(gStartMotionDetector, GINT_TO_POINTER(sensitivity));
}

void BmWorks::RunMotionDetect()
{
    BmPost(gRunMotionDetect, this);
}

void BmWorks::PauseMotionDetect()
{
    BmPost(gPauseMotionDetect, this);
}

void BmWorks::SetVideoOutConfig(VideoOutConfig config)
{
    mVocConfig = config;
    BmPost(gSetVideoOutConfig, this);
}

void BmWorks::RunFsadas()
{
    BmPost(gRunFsadas, &FrontVideo());
}

void BmWorks::PauseFsadas()
{
    BmPost(gPauseFsadas, &FrontVideo());
}

void BmWorks::ResetIsp()
{
    BmPost(gResetIsp, &FrontVideo());
}

int BmWorks::CheckCameraRunning(CameraPosition camera)
{
    BmMux& mux = bmMux[camera];
    if (!mux.IsRunRecord() || !mux.mVideo.IsRunVideoEnc())
        return 1;
    uint64_t now = BmClock::Inst()->Sec();
    if (now - mux.mVideo.mLastVITimeSec <= 5)
        return 1;
    mux.mVideo.mLastVITimeSec = now;
    return 0;
}

bool BmWorks::IsRunRecord(RecordType type) const
{
    return bmMux[Front].IsRunRecord(type) || bmMux[Rear].IsRunRecord(type);
}

void BmWorks::RunDsmVideo()
{
    bmMux[Rear].mVideo.RunDsm();
}

void BmWorks::PauseDsmVideo()
{
    bmMux[Rear].mVideo.PauseDsm();
}

void BmWorks::CopyDsmVideo(char* out)
{
    bmMux[Rear].mVideo.CopyDsmBuff(out);
}

char* BmWorks::GetDsmBuffer()
{
    return bmMux[Rear].mVideo.pDsmBuff;
}

int BmWorks::GetDsmBufferCounter()
{
    return bmMux[Rear].mVideo.mDsmBufferCounter;
}

void BmWorks::SetAutoStop(bool keepEventOrParking)
{
    if (keepEventOrParking)
        mAutoSplitCommand = 2;
    mAutoSplit = true;
}

int BmWorks::GetWidth(VideoSize size)
{
    for (const SizeRow& row : kSizes) {
        if (row.size == size)
            return row.width;
    }
    return 1920;
}

int BmWorks::GetHeight(VideoSize size)
{
    for (const SizeRow& row : kSizes) {
        if (row.size == size)
            return row.height;
    }
    return 1080;
}

VideoSize BmWorks::GetVideoSize(int height)
{
    for (const SizeRow& row : kSizes) {
        if (row.height == height)
            return row.size;
    }
    return WQHD;
}

int BmWorks::GetFps10(DynamicFps fps)
{
    for (const Fps10Row& row : kFps10) {
        if (row.fps == fps)
            return row.fps10;
    }
    return 300;
}

int BmWorks::SetPltmWDR(int value) { return FrontVideo().SetPltmWDR(value); }
int BmWorks::SetSaturation(int value) { return FrontVideo().SetSaturation(value); }
int BmWorks::SetSharpness(int value) { return FrontVideo().SetSharpness(value); }
int BmWorks::SetBrightness(int value) { return FrontVideo().SetBrightness(value); }
int BmWorks::SetExposureBias(int value) { return FrontVideo().SetExposureBias(value); }
int BmWorks::SetExposure(int value) { return FrontVideo().SetExposure(value); }
int BmWorks::SetColorTemp(int value) { return FrontVideo().SetColorTemp(value); }
int BmWorks::SetRGain(int value) { return FrontVideo().SetRGain(value); }
int BmWorks::SetBGain(int value) { return FrontVideo().SetBGain(value); }
int BmWorks::SetGrGain(int value) { return FrontVideo().SetGrGain(value); }
int BmWorks::SetGbGain(int value) { return FrontVideo().SetGbGain(value); }
int BmWorks::GetPltmWDR() { return FrontVideo().GetPltmWDR(); }
int BmWorks::GetSaturation() { return FrontVideo().GetSaturation(); }
int BmWorks::GetSharpness() { return FrontVideo().GetSharpness(); }
int BmWorks::GetBrightness() { return FrontVideo().GetBrightness(); }
int BmWorks::GetExposureBias() { return FrontVideo().GetExposureBias(); }
int BmWorks::GetExposure() { return FrontVideo().GetExposure(); }
int BmWorks::GetColorTemp() { return FrontVideo().GetColorTemp(); }
int BmWorks::GetRGain() { return FrontVideo().GetRGain(); }
int BmWorks::GetBGain() { return FrontVideo().GetBGain(); }
int BmWorks::GetGrGain() { return FrontVideo().GetGrGain(); }
int BmWorks::GetGbGain() { return FrontVideo().GetGbGain(); }
