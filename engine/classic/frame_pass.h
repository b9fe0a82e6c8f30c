// The frame pass: the whole filter, applied to one frame. It stretches each
// colour channel between a black and a white point found in the frame itself,
// pulling a cast (a channel lifted or sunk across the picture) towards grey.
// Phases, in data order: a 4 x 4 grid of equal blocks (grid.h); a block's
// pixels counted into three 256-bin histograms and summed (histogram.h); each
// block's six levels estimated from them (estimate.h); the frame's levels, the
// mean of blocks 8 and 9 shifted so the darkest black falls below 1 and the
// brightest white reaches 255 (frame_levels.h); every pixel lowered and scaled
// by a fixed-point gain (correct.h). No other block reaches the result, so the
// pass counts only 8 and 9, the measured blocks: an eighth of the frame.
// A channel's level (1..40) sets how much of its ends is clipped and how far a
// cast may shift it; higher corrects harder. Speed: three scattered stores per
// pixel of the two blocks, then one stream over the frame; both near memory speed.
#pragma once

#include <cstdint>

#include "engine/classic/block_levels.h"
#include "engine/classic/correct.h"
#include "engine/classic/strengths.h"
#include "engine/frame_view.h"
#include "engine/scene_change.h"

// Fills slots 1..16 with the block estimates and levels.frame with the frame's
// levels.
// signature, when given, receives the coarse look of blocks 8 and 9, from the
// counts already made; it changes nothing else.
void analyzeFrame(const Strengths& user, const FrameView& source, BlockLevels& levels,
                  SceneSignature* signature = nullptr);

// The same analysis for blocks 8 and 9 only, the blocks the frame's levels are
// taken from: levels.frame and slots 8 and 9 come out exactly as from
// analyzeFrame, the other fourteen slots stay 0.0. An eighth of the counting.
void analyzeMeasuredBlocks(const Strengths& user, const FrameView& source, BlockLevels& levels,
                           SceneSignature* signature = nullptr);

// analyzeMeasuredBlocks, then the pixel pass into a destination of the source's
// size. levels, when given, receives what the analysis found.
// The destination is written, never read; its row gaps are left alone. It may
// be the source itself, with the same row gap: every pixel is read before its
// own place is written, and the analysis ends before the first write.
void runFramePass(const Strengths& user, const FrameView& source, uint32_t* destination,
                  intptr_t destinationRowGap, BlockLevels* levels = nullptr,
                  TopByte topByte = TopByte::cleared);
