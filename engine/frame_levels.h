// The frame's black and white points, from blocks 8 and 9 of the grid.
#pragma once

#include "engine/block_levels.h"

// Blocks 8 and 9 straddle the frame centre: the right-most block of the second
// block row and the left-most of the third.
constexpr int32_t centreBlockA = 8;
constexpr int32_t centreBlockB = 9;

// Writes slot 0 of each array: the mean of blocks 8 and 9, then one common
// integer shift of the black points (the lowest lands in [0, 1)) and one of the
// white points (the highest lands on 255), then black >= 0 and white <= 255.
void reduceFrameLevels(BlockLevels& levels);

// Slot 0 set to black points 0.0 and white points 255.0: the correction then
// copies every channel unchanged. Used where a frame has no block to measure.
void setNeutralLevels(BlockLevels& levels);
