// The neutral analysis' first phase: the frame laid out in a grid of
// blocks, and each block's brightest value of each channel over every other
// row, pixels with a clipped channel left out. The one pass over the frame's
// pixels the analysis makes; everything after it works on the blocks.
#pragma once

#include <cstdint>

#include "engine/frame_view.h"
#include "engine/neutral/neutral_constants.h"

struct NeutralGrid {
    int32_t blockWidth = 0, blockHeight = 0;  // pixels; blockWidth a multiple of 8
    int32_t across = 0, down = 0;             // blocks; 0 when the frame is too small
};

// About neutralBlockTarget blocks for a width x height frame, from its top
// left corner; the last few columns and rows that make no whole block are
// left out. Never more than neutralMaximumBlocks.
NeutralGrid neutralGrid(int32_t width, int32_t height);

// The maxima as pixel words (blue in bits 0-7, green 8-15, red 16-23, top
// byte 0), across x down of them, block rows in memory order. A block whose
// every read pixel has a clipped channel gets 0.
using BlockMaximaKernel = void (*)(const FrameView& frame, const NeutralGrid& grid,
                                   uint32_t* maxima);

void blockMaximaPlain(const FrameView& frame, const NeutralGrid& grid, uint32_t* maxima);
#if defined(__SSE2__)
#define VELTO_HAS_MAXIMA_SSE2 1
void blockMaximaSse2(const FrameView& frame, const NeutralGrid& grid, uint32_t* maxima);
#endif
// Compiled for AVX2 alone, in 64-bit programs; call only where cpuRunsAvx2().
#if defined(__x86_64__) && defined(__GNUC__)
#define VELTO_HAS_MAXIMA_AVX2 1
void blockMaximaAvx2(const FrameView& frame, const NeutralGrid& grid, uint32_t* maxima);
#endif

// The fastest kernel this machine runs, chosen once. All give the same maxima.
BlockMaximaKernel fastestBlockMaxima();
