// The frame pass: analyse the source in a 4 x 4 grid of blocks, reduce the
// block estimates to the frame's levels, correct every pixel. The frame's
// levels come from blocks 8 and 9 alone, so the pass analyses only those two;
// the analysis of all sixteen is there for whoever wants every block's levels.
#pragma once

#include <cstdint>

#include "engine/block_levels.h"
#include "engine/correct.h"
#include "engine/frame_view.h"

// Fills slots 1..16 with the block estimates and slot 0 with the frame's levels.
void analyzeFrame(const ChannelLevels& user, const FrameView& source, BlockLevels& levels);

// The same analysis for blocks 8 and 9 only, the blocks the frame's levels are
// taken from: slots 0, 8 and 9 come out exactly as from analyzeFrame, the
// other fourteen slots stay 0.0. An eighth of the counting.
void analyzeCentreBlocks(const ChannelLevels& user, const FrameView& source, BlockLevels& levels);

// analyzeCentreBlocks, then the pixel pass into a destination of the source's
// size. levels, when given, receives what the analysis found.
// The destination is written, never read; its row gaps are left alone. It may
// be the source itself, with the same row gap: every pixel is read before its
// own place is written, and the analysis ends before the first write.
void runFramePass(const ChannelLevels& user, const FrameView& source, uint32_t* destination,
                  intptr_t destinationRowGap, BlockLevels* levels = nullptr,
                  TopByte topByte = TopByte::cleared);
