// System layer of the host platform: start and end, bindings (recorded, the
// engine moves frames itself) and contiguous memory, which here is the heap.

#include "mpp_comm/soc_sys.h"

#include "host/soc/SocErrors.h"
#include "host/soc/SoundCard.h"

#include <atomic>
#include <cstdlib>

namespace {
std::atomic<bool> gConfigured{false};
std::atomic<bool> gReady{false};
} // namespace

bool soc::SysReady()
{
    return gReady;
}

extern "C" int SOC_MPI_SYS_SetConf(const SOC_SYS_CONF_S* pConf)
{
    if (pConf == nullptr)
        return soc::Error(soc::Module::Sys, soc::Reason::NullPtr);
    if (pConf->nAlignWidth == 0 || (pConf->nAlignWidth & (pConf->nAlignWidth - 1)) != 0)
        return soc::Error(soc::Module::Sys, soc::Reason::IllegalParam);
    gConfigured = true;
    return 0;
}

extern "C" int SOC_MPI_SYS_Init(void)
{
    if (!gConfigured)
        return soc::Error(soc::Module::Sys, soc::Reason::NotReady);
    gReady = true;
    soc::RegisterSoundCard(); // the board's sound card comes up with its media system
    return 0;
}

extern "C" int SOC_MPI_SYS_Exit(void)
{
    gReady = false;
    return 0;
}

static int CheckBind(const MPP_CHN_S* pSrc, const MPP_CHN_S* pDst)
{
    if (pSrc == nullptr || pDst == nullptr)
        return soc::Error(soc::Module::Sys, soc::Reason::NullPtr);
    return gReady ? 0 : soc::Error(soc::Module::Sys, soc::Reason::NotReady);
}

extern "C" int SOC_MPI_SYS_Bind(MPP_CHN_S* pSrc, MPP_CHN_S* pDst)
{
    return CheckBind(pSrc, pDst);
}

extern "C" int SOC_MPI_SYS_UnBind(MPP_CHN_S* pSrc, MPP_CHN_S* pDst)
{
    return CheckBind(pSrc, pDst);
}

extern "C" int SOC_MPI_SYS_MmzAlloc_Cached(uintptr_t* pPhyAddr, void** ppVirAddr, uint32_t size)
{
    if (pPhyAddr == nullptr || ppVirAddr == nullptr)
        return soc::Error(soc::Module::Sys, soc::Reason::NullPtr);
    void* block = size > 0 ? std::malloc(size) : nullptr;
    if (block == nullptr)
        return soc::Error(soc::Module::Sys, soc::Reason::IllegalParam);
    *ppVirAddr = block;
    *pPhyAddr = reinterpret_cast<uintptr_t>(block);
    return 0;
}

extern "C" int SOC_MPI_SYS_MmzFree(uintptr_t phyAddr, void* pVirAddr)
{
    if (pVirAddr == nullptr || phyAddr != reinterpret_cast<uintptr_t>(pVirAddr))
        return soc::Error(soc::Module::Sys, soc::Reason::IllegalParam);
    std::free(pVirAddr);
    return 0;
}
