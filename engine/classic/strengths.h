// The classic correction's settings: one level per channel.
#pragma once

#include <cstdint>

// The user's strengths, one per channel: the settings' levelR, levelG and
// levelB, shown as "Level R", "Level G" and "Level B" (not to be confused with
// the black and white points the engine measures, BlockLevels and
// CorrectionLevels). Higher strengths clip more of each end of a channel's
// range; the engine takes any value, the range below is what the plug-in's
// dialog, the command-line tool and the frei0r plug-in offer.
struct Strengths {
    int32_t levelR;
    int32_t levelG;
    int32_t levelB;
};

constexpr int32_t minimumLevel = 1;
constexpr int32_t maximumLevel = 40;
constexpr int32_t defaultLevel = 20;
constexpr Strengths defaultStrengths = {defaultLevel, defaultLevel, defaultLevel};
