// Pictures stored top row first, handed to the frame pass bottom row first.
// The VirtualDub host keeps its frames bottom-up: the first row in memory is
// the picture's last row, and the frame levels come from blocks 8 and 9 in
// memory order. The command-line tool and the frei0r plug-in, whose pictures
// come top row first, walk them bottom-up too; otherwise the same picture
// would be measured from two other blocks and come out different from the
// VirtualDub plug-in's.
#pragma once

#include <cstdint>

#include "engine/classic/block_levels.h"
#include "engine/classic/correct.h"
#include "engine/classic/strengths.h"
#include "engine/frame_view.h"
#include "engine/scene_change.h"

// A view of a picture stored top row first that walks it bottom row first:
// it starts at the last row and steps back one row per row. The rows' gap
// must be whole words.
FrameView bottomUpView(const FrameView& topRowFirst);
// The same for width x height words without gaps.
FrameView bottomUpView(const uint32_t* topRowFirst, int32_t width, int32_t height);

// The frame pass as the plug-in runs it: source and destination both top row
// first, width * height words each. levels receives the pass's analysis: the
// frame's levels and blocks 8 and 9, the only blocks it measures.
void correctFrame(const Strengths& user, const uint32_t* source, uint32_t* destination,
                  int32_t width, int32_t height, BlockLevels& levels,
                  TopByte topByte = TopByte::cleared);

// correctFrame's analysis alone: blocks 8 and 9 in the host's order, and
// their signature when asked. A correction after it may take the rows in any
// order, since each pixel is corrected on its own.
void analyzeMeasuredBottomUp(const Strengths& user, const uint32_t* source, int32_t width,
                             int32_t height, BlockLevels& levels, SceneSignature* signature);

// The analysis alone, in the same order, of all sixteen blocks.
void analyzeFrameBottomUp(const Strengths& user, const uint32_t* source, int32_t width,
                          int32_t height, BlockLevels& levels,
                          SceneSignature* signature = nullptr);
