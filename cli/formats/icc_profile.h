// Which ICC profiles an output keeps.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

// Whether an ICC profile describes RGB data, as every picture velto writes
// holds: a grey picture's profile does not fit its colour output.
inline bool profileFitsRgb(const std::vector<uint8_t>& icc)
{
    // The data colour space sits at offset 16 of the profile's header.
    return icc.size() >= 20 && std::memcmp(icc.data() + 16, "RGB ", 4) == 0;
}
