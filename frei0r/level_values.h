// frei0r hosts hand every parameter over as a double, 0..1 by frei0r's rule;
// the filter's levels are whole numbers from 1 to 40. A level is 40 times the
// value, rounded to the nearest whole number and at least 1, so 0.5 is the
// default 20, 0 and 1 are the ends, and level / 40 is the value that reads
// back as the same level.
// The steady levels' time constant is 10 times its value in seconds, 0 (the
// default) for off: 0.1 is the 1 s that suits most footage, and 1 the 10 s
// end, well past the 2 s beyond which a slow pan is followed late.
// The neutral method's two parameters come last, below.
#pragma once

#include <cmath>
#include <cstdint>

#include "engine/classic/strengths.h"
#include "engine/frame_view.h"

// A host may pass anything: values below 0 or above 1, infinities included,
// are held to the ends. A value that is not a number lies at neither end; it
// gives the default level.
inline int32_t levelOfValue(double value)
{
    if (std::isnan(value)) return defaultLevel;
    const double held = value < 0.0 ? 0.0 : value > 1.0 ? 1.0 : value;
    // 0.5 to 40.5, so truncating rounds halves up.
    const int32_t level = static_cast<int32_t>(held * maximumLevel + 0.5);
    return level < minimumLevel ? minimumLevel : level;
}

inline double valueOfLevel(int32_t level)
{
    return static_cast<double>(level) / maximumLevel;
}

constexpr double steadySecondsPerValue = 10.0;

// Held to 0..1 like the levels; a value that is not a number gives the
// default, off. The value is kept as it is, so it reads back unchanged.
inline double steadyValueOf(double value)
{
    if (std::isnan(value)) return 0.0;
    return value < 0.0 ? 0.0 : value > 1.0 ? 1.0 : value;
}

inline double steadySecondsOf(double steadyValue)
{
    return steadyValue * steadySecondsPerValue;
}

// "Neutral" is a frei0r bool, a double that is true from 0.5 up; a value that
// is not a number gives the default, the neutral method. It reads back as 1
// or 0.
inline bool neutralOfValue(double value)
{
    return std::isnan(value) || value >= 0.5;
}

// "Strength", the share of the estimated cast the neutral method takes off:
// held to 0..1, read back as held; not a number gives the default, 1.
inline double strengthOfValue(double value)
{
    if (std::isnan(value)) return 1.0;
    return value < 0.0 ? 0.0 : value > 1.0 ? 1.0 : value;
}
