#pragma once
// Clock channels of the vendor media platform, which pace display channels
// bound to them.

#include "mpp_comm/soc_common.h"

#ifdef __cplusplus
extern "C" {
#endif

/* CreateChn on a channel that already exists. */
#define SOC_ERR_CLOCK_EXIST 0xA0678004u

typedef struct {
    uint32_t nWaitMask; /* which bound ports the clock waits for before it runs */
} CLOCK_CHN_ATTR_S;

int SOC_MPI_CLOCK_CreateChn(int chn, const CLOCK_CHN_ATTR_S* pAttr);
int SOC_MPI_CLOCK_DestroyChn(int chn);
int SOC_MPI_CLOCK_RegisterCallback(int chn, SOC_CALLBACK_S* pCallback);

#ifdef __cplusplus
}
#endif
