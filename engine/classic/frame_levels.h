// The frame's black and white points, from blocks 8 and 9 of the grid.
#pragma once

#include "engine/classic/block_levels.h"

// The measured blocks, the only two the frame's levels come from. In grid
// (memory) order block 8 is the right-most block of the second block row and
// block 9 the left-most of the third. The host keeps its frames bottom row
// first, so in the picture shown top row first block 9 is the left-most block
// of the second block row and block 8 the right-most of the third: they sit at
// opposite sides of the picture, not at its centre.
constexpr int32_t measuredBlockA = 8;
constexpr int32_t measuredBlockB = 9;

// Writes the frame's levels: the mean of blocks 8 and 9, then one common
// integer shift of the black points (the lowest lands in [0, 1)) and one of the
// white points (the highest lands on 255), then black >= 0 and white <= 255.
void reduceFrameLevels(BlockLevels& levels);

// The frame's levels set to black points 0.0 and white points 255.0: the
// correction then copies every channel unchanged. Used where a frame has no block to measure.
void setNeutralLevels(BlockLevels& levels);
