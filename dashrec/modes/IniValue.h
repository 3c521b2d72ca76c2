#pragma once
// Numbers of a mode's parameter file: a value its setting cannot hold keeps
// the value already held, as a missing key does.

#include <INIReader.h>

#include <cfloat>
#include <cmath>

namespace vk {

inline long IniInteger(const INIReader& reader, const char* section, const char* key, long held, long low, long high)
{
    long value = reader.GetInteger(section, key, held);
    return value >= low && value <= high ? value : held;
}

inline float IniReal(const INIReader& reader, const char* section, const char* key, float held)
{
    double value = reader.GetReal(section, key, held);
    return std::isfinite(value) && std::fabs(value) <= FLT_MAX ? static_cast<float>(value) : held;
}

} // namespace vk
