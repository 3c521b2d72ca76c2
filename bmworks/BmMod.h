#pragma once
// A camera's motion detector: every second full-size frame is reduced to a
// 320 x 180 grey picture, which one analysis step on the engine loop hands to
// the motion library; every second motion result calls the program back.

#include "bmworks/BmDma.h"
#include "bmworks/BmModLib.h"
#include "bmworks/BmTypes.h"
#include "mpp_comm/soc_common.h"

#include <cstdint>

class BmMod {
public:
    BmMod() = default;
    ~BmMod();
    BmMod(const BmMod&) = delete;
    BmMod& operator=(const BmMod&) = delete;

    void Init(CameraPosition camera);
    // (Re)creates the detector with the current sensitivity; on the engine thread.
    void Start();
    void Uninit();
    void SendFrame(VIDEO_FRAME_INFO_S* frame, VIDEO_FRAME_INFO_S** out);
    void SetCallback(void (*callback)(CameraPosition, int)) { CallbackMotionDetect = callback; }
    static int DtcaProcess(BmMod* mod);
    void DetectCall() {}
    void Report() {}

    const int mFrameStride = 2;
    const int mWidth = 320;
    const int mHeight = 180;
    const int mFrameTimeMsec = 10000 * 2 / 275;
    VIDEO_FRAME_INFO_S mVideoFrame{};
    int mSensitivity = 4;
    MOTDET* mMotdet = nullptr;
    MOTDET* pDvar = nullptr;
    char* pMask = nullptr;
    int mResult = 0;
    int mResultCount = 0;
    void (*CallbackMotionDetect)(CameraPosition, int) = nullptr;
    CameraPosition mCam = Front;
    BmDma mBmDma;
    bool mInited = false;
    int mFrameCount = 0;
    uintptr_t mPhysicalAddr = 0;
    char* pVirtualAddr[2] = {nullptr, nullptr};

private:
    void FreeDetector();
    void Reduce(const VIDEO_FRAME_S& frame);
    void DescribePicture();
};
