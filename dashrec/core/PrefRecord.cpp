// The preference record in the EEPROM. Until the EEPROM driver is in, the
// preferences stay at their defaults and nothing is stored.

#include "dashrec/core/Pref.h"

#include "dashrec/core/SDDebug.h"

#include <cstring>

namespace vk {

namespace {
// A fresh calibration record carries this instead of the valid sync word.
const int32_t CALIB_INVALID_SYNC = int32_t(0xC1C2C3C4);
const size_t CALIB_CHECKED_BYTES = 12;
} // namespace

void Pref::PREF_VOLTAGE::Init()
{
    sync = CALIB_INVALID_SYNC;
    ref12Volt = 0;
    ref24Volt = 0;
    checksum = 0;
}

int Pref::PREF_VOLTAGE::CheckSum() const
{
    unsigned char bytes[CALIB_CHECKED_BYTES];
    std::memcpy(bytes, &sync, 4);
    std::memcpy(bytes + 4, &ref12Volt, 4);
    std::memcpy(bytes + 8, &ref24Volt, 4);
    int sum = 0;
    for (unsigned char byte : bytes)
        sum ^= byte;
    return sum;
}

bool Pref::PREF_VOLTAGE::IsValid(int which) const
{
    int computed = CheckSum();
    Singleton<SDDebug>::Inst()->Print("checksum:%x(cs:%x), sync:%x, ref12Volt:%d, ref24Volt:%d\n", checksum,
        computed, sync, ref12Volt, ref24Volt);
    int32_t reference = which == 0 ? ref12Volt : ref24Volt;
    return checksum == computed && uint32_t(sync) == PREF_VOLTAGE_SYNC && reference != 0;
}

void Pref::Init() {}
void Pref::Load() {}
void Pref::Save() {}
void Pref::SaveRefVoltValue() {}
void Pref::LoadDefault() {}

bool Pref::GetRef12VoltValue(unsigned short& value)
{
    value = 0;
    return false;
}

bool Pref::GetRef24VoltValue(unsigned short& value)
{
    value = 0;
    return false;
}

} // namespace vk
