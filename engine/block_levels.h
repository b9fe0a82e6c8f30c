// Black and white points of the sixteen blocks (slots 1..16, grid order) and of
// the frame (slot 0), per channel.
#pragma once

#include "engine/grid.h"

constexpr int32_t levelSlots = blockCount + 1;

struct BlockLevels {
    double blackR[levelSlots], blackG[levelSlots], blackB[levelSlots];
    double whiteR[levelSlots], whiteG[levelSlots], whiteB[levelSlots];
};

// The frame's six levels, as read from slot 0.
struct CorrectionLevels {
    double blackR, blackG, blackB;
    double whiteR, whiteG, whiteB;
};

inline CorrectionLevels correctionLevels(const BlockLevels& levels)
{
    return {levels.blackR[0], levels.blackG[0], levels.blackB[0],
            levels.whiteR[0], levels.whiteG[0], levels.whiteB[0]};
}
