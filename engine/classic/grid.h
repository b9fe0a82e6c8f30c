// The 4 x 4 block grid over the source frame and the constants every block of
// one frame shares.
#pragma once

#include <cstdint>

#include "engine/classic/estimate_constants.h"

constexpr int32_t gridSize = 4;                         // blocks per row and per column
constexpr int32_t blockCount = gridSize * gridSize;     // blockIndex runs 1..16

// The block geometry and what the estimator derives from the user's strengths
// and the block size (estimate_constants.h says where its numbers come from).
struct FrameConstants {
    int32_t blockWidth;
    int32_t blockHeight;
    // Counted wide: the product of two host-given sizes must not overflow. For
    // every real frame it is the same number as a 32-bit count.
    int64_t blockPixels;
    double limitR, limitG, limitB;
    double cutR, cutG, cutB;
    double massUnit;
};

// Rows rowStart..rowEnd-1 and columns colStart..colEnd-1 of the source.
struct BlockBounds {
    int32_t rowStart, rowEnd;
    int32_t colStart, colEnd;
};

// (51 - level) * 0.0025; the difference is taken wide so that no 32-bit level overflows.
constexpr double levelLimit(int32_t level)
{
    return static_cast<double>(int64_t{limitEndLevel} - level) * limitStep;
}

constexpr double levelCut(int64_t blockPixels, int32_t level)
{
    return (static_cast<double>(blockPixels) * cutSharePerLevel) * static_cast<double>(level);
}

constexpr FrameConstants frameConstants(int32_t levelR, int32_t levelG, int32_t levelB,
                                        int32_t width, int32_t height)
{
    FrameConstants k{};
    k.limitR = levelLimit(levelR);
    k.limitG = levelLimit(levelG);
    k.limitB = levelLimit(levelB);
    k.blockWidth = width / gridSize;
    k.blockHeight = height / gridSize;
    k.blockPixels = int64_t{k.blockWidth} * k.blockHeight;
    k.cutR = levelCut(k.blockPixels, levelR);
    k.cutG = levelCut(k.blockPixels, levelG);
    k.cutB = levelCut(k.blockPixels, levelB);
    k.massUnit = static_cast<double>(k.blockPixels) * massUnitShare;
    return k;
}

// Block blockIndex (1..16) in grid order: blocks 1 to 4 form the top block row.
// A frame's width / 4 * 4 never exceeds its width, so nothing here overflows.
constexpr BlockBounds blockBounds(int32_t blockWidth, int32_t blockHeight, int32_t blockIndex)
{
    const int32_t blockRow = (blockIndex - 1) / gridSize;
    const int32_t blockColumn = (blockIndex - 1) % gridSize;
    const int32_t rowStart = blockRow * blockHeight;
    const int32_t colStart = blockColumn * blockWidth;
    return {rowStart, rowStart + blockHeight, colStart, colStart + blockWidth};
}
