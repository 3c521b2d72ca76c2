#include "bmworks/BmMod.h"

#include "mpp_comm/soc_sys.h"

#include <glib.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr int kPictureBytes = 320 * 180 * 3 / 2;
constexpr int kLumaBytes = 320 * 180;

gboolean gDtcaProcess(gpointer data)
{
    return BmMod::DtcaProcess(static_cast<BmMod*>(data));
}

} // namespace

BmMod::~BmMod()
{
    FreeDetector();
    Uninit();
}

void BmMod::Init(CameraPosition camera)
{
    mCam = camera;
    mFrameCount = 0;
    if (mInited)
        return;
    void* vir = nullptr;
    if (SOC_MPI_SYS_MmzAlloc_Cached(&mPhysicalAddr, &vir, kPictureBytes) != 0 || vir == nullptr) {
        printf("BmMod::Init()... SOC_MPI_SYS_MmzAlloc_Cached failed!\n");
        return;
    }
    // A neutral grey picture: the chroma plane is never written again.
    std::memset(vir, 128, kPictureBytes);
    pVirtualAddr[0] = static_cast<char*>(vir);
    pVirtualAddr[1] = pVirtualAddr[0] + kLumaBytes;
    mInited = true;
}

// The buffer is given back; frames and pending steps find no picture after.
void BmMod::Uninit()
{
    if (!mInited)
        return;
    SOC_MPI_SYS_MmzFree(mPhysicalAddr, pVirtualAddr[0]);
    pVirtualAddr[0] = pVirtualAddr[1] = nullptr;
    mInited = false;
}

void BmMod::FreeDetector()
{
    if (mMotdet != nullptr)
        freeMOTDET(mMotdet);
    mMotdet = pDvar = nullptr;
    delete[] pMask;
    pMask = nullptr;
}

void BmMod::Start()
{
    FreeDetector();
    mMotdet = allocMOTDET(mWidth, mHeight, 16, 16, 5);
    pDvar = mMotdet;
    if (pDvar == nullptr || pDvar->vpInit(pDvar, 6) != 0) {
        printf("BmMod::Init()... vpInit failed!\n");
        FreeDetector();
        return;
    }
    pMask = new char[kLumaBytes];
    std::memset(pMask, 255, kLumaBytes);
    if (pDvar->vpSetROIMask(pDvar, pMask, mWidth, mHeight) != 0) {
        delete[] pMask;
        pMask = nullptr;
        printf("BmMod::Init()... fatal error, vpSetROIMask failed!\n");
        return;
    }
    pDvar->vpSetSensitivityLevel(pDvar, mSensitivity);
    pDvar->vpSetShelterPara(pDvar, 0, 0);
}

void BmMod::SendFrame(VIDEO_FRAME_INFO_S* frame, VIDEO_FRAME_INFO_S** out)
{
    if (mInited && mFrameCount % mFrameStride == 0) {
        Reduce(frame->VFrame);
        g_idle_add(gDtcaProcess, this);
        if (out != nullptr) {
            DescribePicture();
            *out = &mVideoFrame;
        }
    }
    mFrameCount++;
}

// Plain sub-sampling: every step-th pixel of every step-th line, the step
// rounded up so that the picture holds the whole frame.
void BmMod::Reduce(const VIDEO_FRAME_S& frame)
{
    uint32_t step = frame.mWidth / static_cast<uint32_t>(mWidth);
    if (frame.mWidth % static_cast<uint32_t>(mWidth) != 0)
        step++;
    uint32_t stride = frame.mStride[0] != 0 ? frame.mStride[0] : frame.mWidth;
    const auto* luma = static_cast<const unsigned char*>(frame.mpVirAddr[0]);
    char* out = pVirtualAddr[0];
    int row = 0;
    for (uint32_t y = 0; y < frame.mHeight && row < mHeight; y += step, row++) {
        int col = 0;
        for (uint32_t x = 0; x < frame.mWidth && col < mWidth; x += step, col++)
            out[row * mWidth + col] = static_cast<char>(luma[y * stride + x]);
    }
}

void BmMod::DescribePicture()
{
    VIDEO_FRAME_S& v = mVideoFrame.VFrame;
    v.mWidth = static_cast<uint32_t>(mWidth);
    v.mHeight = static_cast<uint32_t>(mHeight);
    v.mField = VIDEO_FIELD_FRAME;
    v.mPixelFormat = MM_PIXEL_FORMAT_YVU_SEMIPLANAR_420;
    v.mPhyAddr[0] = mPhysicalAddr;
    v.mPhyAddr[1] = mPhysicalAddr + kLumaBytes;
    v.mpVirAddr[0] = pVirtualAddr[0];
    v.mpVirAddr[1] = pVirtualAddr[1];
    v.mStride[0] = v.mStride[1] = static_cast<uint32_t>(mWidth);
    v.mOffsetBottom = static_cast<int16_t>(mHeight - 1);
    v.mOffsetRight = static_cast<int16_t>(mWidth - 1);
}

int BmMod::DtcaProcess(BmMod* mod)
{
    if (mod->pDvar == nullptr || !mod->mInited)
        return 0;
    mod->mResult = mod->pDvar->vpRun(reinterpret_cast<unsigned char*>(mod->pVirtualAddr[0]), mod->pDvar);
    switch (mod->mResult) {
    case 1:
        // Every second motion result, consecutive or not.
        if (++mod->mResultCount == 2) {
            mod->mResultCount = 0;
            if (mod->CallbackMotionDetect != nullptr)
                mod->CallbackMotionDetect(mod->mCam, mod->mSensitivity);
        }
        break;
    case 2:
        printf("BmMod: ROI cover happen\n");
        break;
    case 3:
        printf("BmMod: motion detect and other something happened together\n");
        break;
    case 4:
        printf("BmMod: camera cover happen\n");
        break;
    default:
        break;
    }
    return 0;
}
