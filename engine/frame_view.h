// What the engine is given for one frame: the pixels to read and the user's
// three strengths. Nothing here belongs to a host; a host's own bitmap record,
// a decoded picture or a frame off a pipe is described by the same view.
#pragma once

#include <cstdint>

// width x height pixel words, blue in bits 0-7, green in 8-15, red in 16-23;
// bits 24-31 are never read. Rows follow one another in memory order, each
// followed by rowGap bytes; a negative gap walks a picture's rows backwards.
struct FrameView {
    const uint32_t* pixels;
    int32_t width;
    int32_t height;
    intptr_t rowGap;
};

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
