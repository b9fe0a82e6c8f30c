#include <cmath>

#include <gtest/gtest.h>

#include "engine/classic/estimate.h"

namespace {

// A block of 10000 pixels (a 400 x 400 frame) in which every pixel is (r, g, b).
BlockTables solidBlock(uint32_t r, uint32_t g, uint32_t b)
{
    BlockTables t;
    clearBlockTables(t);
    t.histR[r] = t.histG[g] = t.histB[b] = 10000;
    t.sumR = 10000 * r;
    t.sumG = 10000 * g;
    t.sumB = 10000 * b;
    smoothHistogram(t.histR, t.smoothR);
    smoothHistogram(t.histG, t.smoothG);
    smoothHistogram(t.histB, t.smoothB);
    return t;
}

constexpr double sixDecimals = 5e-7;

}  // namespace

TEST(SoftClip, ShapeAndKnownValues)
{
    EXPECT_EQ(softClip(0.0, 0.0775), 0.0);
    EXPECT_EQ(softClip(3.7, 0.0), 3.7);
    for (double x : {0.5, 7.25, 63.5, 1e6})
        EXPECT_EQ(softClip(-x, 0.0775), -softClip(x, 0.0775));
    EXPECT_NEAR(softClip(63.5, 0.125), 7.104895, sixDecimals);
    EXPECT_NEAR(softClip(63.5, 0.0775), 10.724087, sixDecimals);
    EXPECT_NEAR(softClip(63.5, 0.0275), 23.122440, sixDecimals);
    EXPECT_LT(softClip(1e12, 0.0775), 1 / 0.0775);
    // The reciprocal times x: x divided by the denominator gives the double below.
    EXPECT_EQ(softClip(0.1, 0.3), 0x1.8dab7ec1dd344p-4);
}

TEST(EstimateBlock, EdgeSearches)
{
    // Value 127 at level 40: edges found at 125 and 129, never at 127 or 128.
    BlockTables t = solidBlock(127, 200, 50);
    const FrameConstants k = frameConstants(40, 20, 20, 400, 400);
    const ChannelMeasure mid = measureChannel(t.smoothR, t.sumR, 10000.0, k.cutR);
    EXPECT_EQ(mid.darkEdge, 125);
    EXPECT_EQ(mid.brightEdge, 129);
    // Nothing on one side keeps that side's default.
    EXPECT_EQ(measureChannel(t.smoothG, t.sumG, 10000.0, k.cutG).darkEdge, 127);
    EXPECT_EQ(measureChannel(t.smoothB, t.sumB, 10000.0, k.cutB).brightEdge, 128);

    // A running sum equal to the cut does not stop the search.
    double smooth[binCount] = {};
    smooth[3] = 2.5;
    smooth[4] = 0.25;
    smooth[252] = 2.5;
    smooth[251] = 1.0;
    const ChannelMeasure exact = measureChannel(smooth, 0, 1.0, 2.5);
    EXPECT_EQ(exact.darkEdge, 4);
    EXPECT_EQ(exact.brightEdge, 251);
}

TEST(EstimateBlock, StrongCastsAreNotClamped)
{
    // Blue far below the others at the most permissive level.
    const BlockTables t = solidBlock(250, 250, 2);
    const FrameConstants k = frameConstants(40, 40, 40, 400, 400);
    const BlockEstimate e = estimateBlock(t, k);
    EXPECT_LT(e.blackB, 0.0);
    EXPECT_GT(e.whiteR, 255.0);
}
