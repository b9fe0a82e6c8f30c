// Black and white points of the sixteen blocks, per channel, and the frame's
// own six levels reduced from them.
#pragma once

#include "engine/classic/grid.h"

// Block arrays are indexed by blockIndex (1..16), so that a block's slot is
// its number; slot 0 belongs to no block and stays 0.0.
constexpr int32_t levelSlots = blockCount + 1;

// The frame's six levels: what the correction stretches each channel between.
struct CorrectionLevels {
    double blackR, blackG, blackB;
    double whiteR, whiteG, whiteB;
};

struct BlockLevels {
    double blackR[levelSlots], blackG[levelSlots], blackB[levelSlots];
    double whiteR[levelSlots], whiteG[levelSlots], whiteB[levelSlots];
    CorrectionLevels frame;  // reduced from the measured blocks (frame_levels.h)
};

inline CorrectionLevels correctionLevels(const BlockLevels& levels)
{
    return levels.frame;
}
