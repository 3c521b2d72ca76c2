#pragma once
// System layer of the vendor media platform.

#include "mpp_comm/soc_common.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
    uint32_t nAlignWidth;
} SOC_SYS_CONF_S;

int SOC_MPI_SYS_SetConf(const SOC_SYS_CONF_S* pConf);
int SOC_MPI_SYS_Init(void);
int SOC_MPI_SYS_Exit(void);
int SOC_MPI_SYS_Bind(MPP_CHN_S* pSrc, MPP_CHN_S* pDst);
int SOC_MPI_SYS_UnBind(MPP_CHN_S* pSrc, MPP_CHN_S* pDst);
/* Contiguous cached memory: the physical and the mapped address of the block. */
int SOC_MPI_SYS_MmzAlloc_Cached(uintptr_t* pPhyAddr, void** ppVirAddr, uint32_t size);
int SOC_MPI_SYS_MmzFree(uintptr_t phyAddr, void* pVirAddr);

#ifdef __cplusplus
}
#endif
