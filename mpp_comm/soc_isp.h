#pragma once
// Image signal processors of the vendor media platform.

#ifdef __cplusplus
extern "C" {
#endif

int SOC_MPI_ISP_Init(void);
int SOC_MPI_ISP_Exit(void);
int SOC_MPI_ISP_Run(int isp);
int SOC_MPI_ISP_Stop(int isp);
int SOC_MPI_ISP_SetFlicker(int isp, int mode);
int SOC_MPI_ISP_AE_SetMode(int isp, int mode);
int SOC_MPI_ISP_AWB_SetMode(int isp, int mode);
int SOC_MPI_ISP_AE_SetISOSensitiveMode(int isp, int mode);
int SOC_MPI_ISP_AE_SetISOSensitive(int isp, int value);

int SOC_MPI_ISP_SetPltmWDR(int isp, int value);
int SOC_MPI_ISP_GetPltmWDR(int isp, int* pValue);
int SOC_MPI_ISP_SetSaturation(int isp, int value);
int SOC_MPI_ISP_GetSaturation(int isp, int* pValue);
int SOC_MPI_ISP_SetSharpness(int isp, int value);
int SOC_MPI_ISP_GetSharpness(int isp, int* pValue);
int SOC_MPI_ISP_SetBrightness(int isp, int value);
int SOC_MPI_ISP_GetBrightness(int isp, int* pValue);
int SOC_MPI_ISP_AE_SetExposureBias(int isp, int value);
int SOC_MPI_ISP_AE_GetExposureBias(int isp, int* pValue);
int SOC_MPI_ISP_AE_SetExposure(int isp, int value);
int SOC_MPI_ISP_AE_GetExposure(int isp, int* pValue);
int SOC_MPI_ISP_AWB_SetColorTemp(int isp, int value);
int SOC_MPI_ISP_AWB_GetColorTemp(int isp, int* pValue);
int SOC_MPI_ISP_AWB_SetRGain(int isp, int value);
int SOC_MPI_ISP_AWB_GetRGain(int isp, int* pValue);
int SOC_MPI_ISP_AWB_SetBGain(int isp, int value);
int SOC_MPI_ISP_AWB_GetBGain(int isp, int* pValue);
int SOC_MPI_ISP_AWB_SetGrGain(int isp, int value);
int SOC_MPI_ISP_AWB_GetGrGain(int isp, int* pValue);
int SOC_MPI_ISP_AWB_SetGbGain(int isp, int value);
int SOC_MPI_ISP_AWB_GetGbGain(int isp, int* pValue);

#ifdef __cplusplus
}
#endif
