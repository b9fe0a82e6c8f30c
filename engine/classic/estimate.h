// Six level estimates of one block from its smoothed histograms and sums.
#pragma once

#include "engine/classic/block_levels.h"
#include "engine/classic/estimate_constants.h"
#include "engine/classic/grid.h"
#include "engine/classic/histogram.h"

// x * (1 / (k * |x| + 1)): magnitude below 1/k for k > 0, the identity for k = 0.
constexpr double softClip(double x, double k)
{
    const double s = x < 0.0 ? -1.0 : 1.0;
    const double d = (s * k) * x + 1.0;
    const double r = 1.0 / d;
    return x * r;
}

struct BlockEstimate {
    double blackR, blackG, blackB;
    double whiteR, whiteG, whiteB;
};

// What one channel's histogram and sum say on their own, before the channels
// are compared.
struct ChannelMeasure {
    int32_t darkEdge;    // 0..127; 127 when the cut is never passed
    int32_t brightEdge;  // 128..255; 128 when the cut is never passed
    double darkMass;     // smoothed count of bins 0..79
    double brightMass;   // smoothed count of bins 176..255
    double mean;         // sum / blockPixels
};

// Puts the six estimates of block blockIndex into its slot of the six arrays.
inline void storeBlockEstimate(BlockLevels& levels, int32_t blockIndex, const BlockEstimate& e)
{
    levels.blackR[blockIndex] = e.blackR;
    levels.blackG[blockIndex] = e.blackG;
    levels.blackB[blockIndex] = e.blackB;
    levels.whiteR[blockIndex] = e.whiteR;
    levels.whiteG[blockIndex] = e.whiteG;
    levels.whiteB[blockIndex] = e.whiteB;
}

ChannelMeasure measureChannel(const double smooth[binCount], int64_t sum, double blockPixels,
                              double cut);

BlockEstimate estimateBlock(const BlockTables& tables, const FrameConstants& k);
