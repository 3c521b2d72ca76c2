#pragma once
// Codes the host platform returns: 0xA0, the module, 0x80, the reason. The
// engine prints them and tells apart only the encoder's "channel exists".

#include <cstdint>

namespace soc {

enum class Module : uint32_t { Sys = 0x02, Vdec = 0x05, Venc = 0x08, Vo = 0x0F, Vi = 0x10, Isp = 0x11, Rgn = 0x12, Clock = 0x67 };

enum class Reason : uint32_t {
    InvalidId = 0x02,
    IllegalParam = 0x03,
    Exists = 0x04,
    Unexist = 0x05,
    NullPtr = 0x06,
    NotPermitted = 0x09,
    BufEmpty = 0x0E,
    BufFull = 0x0F,
    NotReady = 0x10,
};

constexpr int Error(Module m, Reason r)
{
    return static_cast<int>(0xA0000000u | static_cast<uint32_t>(m) << 16 | 0x8000u | static_cast<uint32_t>(r));
}

// True once SOC_MPI_SYS_Init has run (and until SOC_MPI_SYS_Exit).
bool SysReady();

} // namespace soc
