// Conversions from double to integer that truncate toward zero like a plain
// cast, but stay defined for every double: a cast of an infinite, NaN or
// out-of-range value is undefined in C++, and levels set by a script can
// produce all of those.
#pragma once

#include <cstdint>

// Truncates toward zero, saturating at the ends of the int32 range; NaN gives 0.
constexpr int32_t truncateToInt32(double v)
{
    if (!(v == v)) return 0;
    if (v <= -2147483648.0) return INT32_MIN;
    if (v >= 2147483647.0) return INT32_MAX;
    return static_cast<int32_t>(v);
}

// Truncates toward zero and holds the result to 0..255; NaN gives 0. Keeping
// only the low byte instead would turn a gain of 256 into 0 and blank a channel.
constexpr uint8_t truncateToByte(double v)
{
    if (!(v > 0.0)) return 0;
    if (v >= 255.0) return 255;
    return static_cast<uint8_t>(static_cast<int32_t>(v));
}
