// Which ICC profiles an output keeps.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

// Whether an ICC profile describes what a picture holds: RGB data, or grey.
// A grey picture's profile does not fit its output once that is colour.
inline bool profileFits(const std::vector<uint8_t>& icc, bool grey)
{
    // The data colour space sits at offset 16 of the profile's header.
    return icc.size() >= 20 && std::memcmp(icc.data() + 16, grey ? "GRAY" : "RGB ", 4) == 0;
}
