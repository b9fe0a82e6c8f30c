// Sample reduction to 8 bits, for inputs of other sample depths.
#pragma once

#include <cstdint>

// round(v * 255 / maxval), v first held to maxval.
inline uint8_t scaleSample(uint32_t v, uint32_t maxval)
{
    if (maxval == 0) return 0;
    if (v > maxval) v = maxval;
    return static_cast<uint8_t>((uint64_t{v} * 255 + maxval / 2) / maxval);
}
