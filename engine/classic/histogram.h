// Per-block channel histograms, channel sums and their smoothed forms.
#pragma once

#include <cstdint>

#include "engine/classic/grid.h"

constexpr int32_t binCount = 256;

struct BlockTables {
    // Counts are unsigned and the sums 64-bit so that no block, however large,
    // overflows them; for every block that fits 32-bit counts the values agree.
    uint32_t histR[binCount], histG[binCount], histB[binCount];
    int64_t sumR, sumG, sumB;
    double smoothR[binCount], smoothG[binCount], smoothB[binCount];
};

void clearBlockTables(BlockTables& tables);

// Adds every pixel of the block to the count tables and sums. Row y starts
// y * (width + rowGap / 4) words after pixels, the division being a floor.
// Counts into several partial tables and adds them up at the end, so that a
// run of equal pixels does not wait on its own stores; the tables and sums come
// out exactly as accumulateBlockPlain's.
void accumulateBlock(const uint32_t* pixels, int32_t width, intptr_t rowGap,
                     const BlockBounds& bounds, BlockTables& tables);

// The same with the partial tables added up whenever the next row would take
// them past chunkPixels pixels, and at the end. No partial count can wrap while
// a chunk stays below 2^32 pixels, which is what accumulateBlock uses; smaller
// chunks are there for the tests.
void accumulateBlockInChunks(const uint32_t* pixels, int32_t width, intptr_t rowGap,
                             const BlockBounds& bounds, BlockTables& tables, uint64_t chunkPixels);

// The reference: one table per channel, one pixel at a time.
void accumulateBlockPlain(const uint32_t* pixels, int32_t width, intptr_t rowGap,
                          const BlockBounds& bounds, BlockTables& tables);

// Five-bin moving mean inside; least-squares line through the five end bins at
// either end. Integer weights, then one conversion and one product per bin.
void smoothHistogram(const uint32_t hist[binCount], double smooth[binCount]);
