// What a user sets on the filter, read from OBS's settings by
// velto_properties.cpp and handed to the correction as one plain value.
#pragma once

#include "engine/classic/strengths.h"

enum class FilterMethod { neutral, classic };

struct FilterSettings {
    FilterMethod method = FilterMethod::neutral;
    double strength = 1.0;                 // 0..1, the neutral correction's
    Strengths levels = defaultStrengths;   // the classic correction's
    double steadySeconds = 1.0;            // 0: every frame on its own
};

inline bool operator==(const FilterSettings& a, const FilterSettings& b)
{
    return a.method == b.method && a.strength == b.strength &&
           a.levels.levelR == b.levels.levelR && a.levels.levelG == b.levels.levelG &&
           a.levels.levelB == b.levels.levelB && a.steadySeconds == b.steadySeconds;
}
