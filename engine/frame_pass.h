// The frame pass: the whole filter, applied to one frame.
//
// It stretches each colour channel between a black point and a white point
// found in the frame itself, so a cast (a channel lifted or sunk across the
// picture) is pulled back towards neutral grey. Phases, in the order the data
// flows: the frame is cut into a 4 x 4 grid of equal blocks (grid.h); a block's
// pixels are counted into three 256-bin histograms and summed (histogram.h);
// each block estimates its own six levels from its histograms (estimate.h);
// the frame's levels are the mean of blocks 8 and 9, shifted so the darkest
// black point falls below 1 and the brightest white point reaches 255
// (frame_levels.h); every pixel is then
// corrected by a per-channel subtraction and fixed-point gain (correct.h).
// Blocks 8 and 9 straddle the frame's centre (the end of the second block row
// and the start of the third); no other block's estimate reaches the result,
// so the pass counts only those two, an eighth of the frame.
// The user's level (1..40 per channel) says how much of each end of a channel
// is clipped and how far a cast may shift it: higher levels correct harder.
// Speed: counting does three scattered stores a pixel of the two blocks, the
// correction streams the frame once; both run near the memory's bound.
#pragma once

#include <cstdint>

#include "engine/block_levels.h"
#include "engine/correct.h"
#include "engine/frame_view.h"
#include "engine/scene_change.h"

// Fills slots 1..16 with the block estimates and slot 0 with the frame's levels.
// signature, when given, receives the coarse look of blocks 8 and 9, from the
// counts already made; it changes nothing else.
void analyzeFrame(const ChannelLevels& user, const FrameView& source, BlockLevels& levels,
                  SceneSignature* signature = nullptr);

// The same analysis for blocks 8 and 9 only, the blocks the frame's levels are
// taken from: slots 0, 8 and 9 come out exactly as from analyzeFrame, the
// other fourteen slots stay 0.0. An eighth of the counting.
void analyzeCentreBlocks(const ChannelLevels& user, const FrameView& source, BlockLevels& levels,
                         SceneSignature* signature = nullptr);

// analyzeCentreBlocks, then the pixel pass into a destination of the source's
// size. levels, when given, receives what the analysis found.
// The destination is written, never read; its row gaps are left alone. It may
// be the source itself, with the same row gap: every pixel is read before its
// own place is written, and the analysis ends before the first write.
void runFramePass(const ChannelLevels& user, const FrameView& source, uint32_t* destination,
                  intptr_t destinationRowGap, BlockLevels* levels = nullptr,
                  TopByte topByte = TopByte::cleared);
