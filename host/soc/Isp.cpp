// Image processors of the host platform: they keep their modes and tuning
// values so that what is set reads back; the synthetic picture ignores them.

#include "mpp_comm/soc_isp.h"

#include "host/soc/SocErrors.h"

#include <array>
#include <mutex>

namespace {

constexpr int kIspCount = 4;

enum Setting {
    Flicker,
    AeMode,
    AwbMode,
    IsoMode,
    Iso,
    PltmWdr,
    Saturation,
    Sharpness,
    Brightness,
    ExposureBias,
    Exposure,
    ColorTemp,
    RGain,
    BGain,
    GrGain,
    GbGain,
    SettingCount,
};

struct Isp {
    bool running = false;
    std::array<int, SettingCount> values{};
};

std::mutex gMutex;
bool gInited = false;
std::array<Isp, kIspCount> gIsps;

int IspError(soc::Reason r)
{
    return soc::Error(soc::Module::Isp, r);
}

int Check(int isp)
{
    if (isp < 0 || isp >= kIspCount)
        return IspError(soc::Reason::InvalidId);
    return gInited ? 0 : IspError(soc::Reason::NotReady);
}

int Set(int isp, Setting s, int value)
{
    std::lock_guard<std::mutex> lock(gMutex);
    int ret = Check(isp);
    if (ret == 0)
        gIsps[isp].values[s] = value;
    return ret;
}

int Get(int isp, Setting s, int* pValue)
{
    if (pValue == nullptr)
        return IspError(soc::Reason::NullPtr);
    std::lock_guard<std::mutex> lock(gMutex);
    int ret = Check(isp);
    if (ret == 0)
        *pValue = gIsps[isp].values[s];
    return ret;
}

int SetRunning(int isp, bool running)
{
    std::lock_guard<std::mutex> lock(gMutex);
    int ret = Check(isp);
    if (ret == 0)
        gIsps[isp].running = running;
    return ret;
}

} // namespace

extern "C" {

int SOC_MPI_ISP_Init(void)
{
    if (!soc::SysReady())
        return IspError(soc::Reason::NotReady);
    std::lock_guard<std::mutex> lock(gMutex);
    gInited = true;
    return 0;
}

int SOC_MPI_ISP_Exit(void)
{
    std::lock_guard<std::mutex> lock(gMutex);
    gInited = false;
    for (Isp& isp : gIsps)
        isp.running = false;
    return 0;
}

int SOC_MPI_ISP_Run(int isp) { return SetRunning(isp, true); }
int SOC_MPI_ISP_Stop(int isp) { return SetRunning(isp, false); }
int SOC_MPI_ISP_SetFlicker(int isp, int mode) { return Set(isp, Flicker, mode); }
int SOC_MPI_ISP_AE_SetMode(int isp, int mode) { return Set(isp, AeMode, mode); }
int SOC_MPI_ISP_AWB_SetMode(int isp, int mode) { return Set(isp, AwbMode, mode); }
int SOC_MPI_ISP_AE_SetISOSensitiveMode(int isp, int mode) { return Set(isp, IsoMode, mode); }
int SOC_MPI_ISP_AE_SetISOSensitive(int isp, int value) { return Set(isp, Iso, value); }

int SOC_MPI_ISP_SetPltmWDR(int isp, int value) { return Set(isp, PltmWdr, value); }
int SOC_MPI_ISP_GetPltmWDR(int isp, int* pValue) { return Get(isp, PltmWdr, pValue); }
int SOC_MPI_ISP_SetSaturation(int isp, int value) { return Set(isp, Saturation, value); }
int SOC_MPI_ISP_GetSaturation(int isp, int* pValue) { return Get(isp, Saturation, pValue); }
int SOC_MPI_ISP_SetSharpness(int isp, int value) { return Set(isp, Sharpness, value); }
int SOC_MPI_ISP_GetSharpness(int isp, int* pValue) { return Get(isp, Sharpness, pValue); }
int SOC_MPI_ISP_SetBrightness(int isp, int value) { return Set(isp, Brightness, value); }
int SOC_MPI_ISP_GetBrightness(int isp, int* pValue) { return Get(isp, Brightness, pValue); }
int SOC_MPI_ISP_AE_SetExposureBias(int isp, int value) { return Set(isp, ExposureBias, value); }
int SOC_MPI_ISP_AE_GetExposureBias(int isp, int* pValue) { return Get(isp, ExposureBias, pValue); }
int SOC_MPI_ISP_AE_SetExposure(int isp, int value) { return Set(isp, Exposure, value); }
int SOC_MPI_ISP_AE_GetExposure(int isp, int* pValue) { return Get(isp, Exposure, pValue); }
int SOC_MPI_ISP_AWB_SetColorTemp(int isp, int value) { return Set(isp, ColorTemp, value); }
int SOC_MPI_ISP_AWB_GetColorTemp(int isp, int* pValue) { return Get(isp, ColorTemp, pValue); }
int SOC_MPI_ISP_AWB_SetRGain(int isp, int value) { return Set(isp, RGain, value); }
int SOC_MPI_ISP_AWB_GetRGain(int isp, int* pValue) { return Get(isp, RGain, pValue); }
int SOC_MPI_ISP_AWB_SetBGain(int isp, int value) { return Set(isp, BGain, value); }
int SOC_MPI_ISP_AWB_GetBGain(int isp, int* pValue) { return Get(isp, BGain, pValue); }
int SOC_MPI_ISP_AWB_SetGrGain(int isp, int value) { return Set(isp, GrGain, value); }
int SOC_MPI_ISP_AWB_GetGrGain(int isp, int* pValue) { return Get(isp, GrGain, pValue); }
int SOC_MPI_ISP_AWB_SetGbGain(int isp, int value) { return Set(isp, GbGain, value); }
int SOC_MPI_ISP_AWB_GetGbGain(int isp, int* pValue) { return Get(isp, GbGain, pValue); }

} // extern "C"
