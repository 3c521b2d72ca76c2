// Image tuning: every camera tunes the front image processor (0), the only
// one the board runs with its own settings.

#include "bmworks/BmVideo.h"

#include "mpp_comm/soc_isp.h"

namespace {

constexpr int kIsp = 0;

int SetIsp(int (*set)(int, int), int value)
{
    return set(kIsp, value) == 0 ? 0 : -1;
}

int GetIsp(int (*get)(int, int*))
{
    int value = 0;
    get(kIsp, &value);
    return value;
}

} // namespace

int BmVideo::SetPltmWDR(int value) { return SetIsp(SOC_MPI_ISP_SetPltmWDR, value); }
int BmVideo::GetPltmWDR() { return GetIsp(SOC_MPI_ISP_GetPltmWDR); }
int BmVideo::SetSaturation(int value) { return SetIsp(SOC_MPI_ISP_SetSaturation, value); }
int BmVideo::GetSaturation() { return GetIsp(SOC_MPI_ISP_GetSaturation); }
int BmVideo::SetSharpness(int value) { return SetIsp(SOC_MPI_ISP_SetSharpness, value); }
int BmVideo::GetSharpness() { return GetIsp(SOC_MPI_ISP_GetSharpness); }
int BmVideo::SetBrightness(int value) { return SetIsp(SOC_MPI_ISP_SetBrightness, value); }
int BmVideo::GetBrightness() { return GetIsp(SOC_MPI_ISP_GetBrightness); }
int BmVideo::SetExposureBias(int value) { return SetIsp(SOC_MPI_ISP_AE_SetExposureBias, value); }
int BmVideo::GetExposureBias() { return GetIsp(SOC_MPI_ISP_AE_GetExposureBias); }
int BmVideo::SetExposure(int value) { return SetIsp(SOC_MPI_ISP_AE_SetExposure, value); }
int BmVideo::GetExposure() { return GetIsp(SOC_MPI_ISP_AE_GetExposure); }
int BmVideo::SetColorTemp(int value) { return SetIsp(SOC_MPI_ISP_AWB_SetColorTemp, value); }
int BmVideo::GetColorTemp() { return GetIsp(SOC_MPI_ISP_AWB_GetColorTemp); }
int BmVideo::SetRGain(int value) { return SetIsp(SOC_MPI_ISP_AWB_SetRGain, value); }
int BmVideo::GetRGain() { return GetIsp(SOC_MPI_ISP_AWB_GetRGain); }
int BmVideo::SetBGain(int value) { return SetIsp(SOC_MPI_ISP_AWB_SetBGain, value); }
int BmVideo::GetBGain() { return GetIsp(SOC_MPI_ISP_AWB_GetBGain); }
int BmVideo::SetGrGain(int value) { return SetIsp(SOC_MPI_ISP_AWB_SetGrGain, value); }
int BmVideo::GetGrGain() { return GetIsp(SOC_MPI_ISP_AWB_GetGrGain); }
int BmVideo::SetGbGain(int value) { return SetIsp(SOC_MPI_ISP_AWB_SetGbGain, value); }
int BmVideo::GetGbGain() { return GetIsp(SOC_MPI_ISP_AWB_GetGbGain); }
