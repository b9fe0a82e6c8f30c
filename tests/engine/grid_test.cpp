#include <climits>

#include <gtest/gtest.h>

#include "engine/classic/grid.h"

TEST(Grid, VgaFrameGivesSixteenEqualBlocks)
{
    const FrameConstants k = frameConstants(20, 20, 20, 640, 480);
    EXPECT_EQ(k.blockWidth, 160);
    EXPECT_EQ(k.blockHeight, 120);
    EXPECT_EQ(k.blockPixels, 19200);

    const BlockBounds six = blockBounds(k.blockWidth, k.blockHeight, 6);
    EXPECT_EQ(six.rowStart, 120);
    EXPECT_EQ(six.rowEnd, 240);
    EXPECT_EQ(six.colStart, 160);
    EXPECT_EQ(six.colEnd, 320);
}

TEST(Grid, MeasuredBlocksAndOddSizes)
{
    // Block 8 ends the second block row, block 9 starts the third.
    const BlockBounds eight = blockBounds(160, 120, 8);
    const BlockBounds nine = blockBounds(160, 120, 9);
    EXPECT_EQ(eight.rowStart, 120);
    EXPECT_EQ(eight.colStart, 480);
    EXPECT_EQ(eight.colEnd, 640);
    EXPECT_EQ(nine.rowStart, 240);
    EXPECT_EQ(nine.colStart, 0);

    // 643 x 483 lays the same grid as 640 x 480.
    const FrameConstants odd = frameConstants(20, 20, 20, 643, 483);
    EXPECT_EQ(odd.blockWidth, 160);
    EXPECT_EQ(odd.blockHeight, 120);

    EXPECT_EQ(frameConstants(20, 20, 20, 4, 9).blockWidth, 1);
    const FrameConstants narrow = frameConstants(20, 20, 20, 3, 100);
    EXPECT_EQ(narrow.blockPixels, 0);
    EXPECT_EQ(narrow.cutR, 0.0);
    EXPECT_EQ(narrow.massUnit, 0.0);
}

// Worked by hand for blocks of 10000 pixels (a 400 x 400 frame), to the
// digits the constants have.
TEST(Grid, LevelsSetLimitsAndCuts)
{
    const FrameConstants k = frameConstants(20, 1, 40, 400, 400);
    EXPECT_EQ(k.blockPixels, 10000);
    EXPECT_DOUBLE_EQ(k.massUnit, 126.58227);
    EXPECT_DOUBLE_EQ(k.cutR, 286.95652);  // 2.9 % of the block at level 20
    EXPECT_DOUBLE_EQ(k.cutG, 14.347826);
    EXPECT_DOUBLE_EQ(k.cutB, 573.91304);
    EXPECT_DOUBLE_EQ(k.limitR, 0.0775);
    EXPECT_DOUBLE_EQ(k.limitG, 0.125);
    EXPECT_DOUBLE_EQ(k.limitB, 0.0275);

    // Any 32-bit level: 51 - level must not overflow, and 51 gives limit 0.
    const FrameConstants wild = frameConstants(INT_MIN, INT_MAX, 51, 64, 64);
    EXPECT_DOUBLE_EQ(wild.limitR, 5368709.2475);
    EXPECT_DOUBLE_EQ(wild.limitG, -5368708.99);
    EXPECT_EQ(wild.limitB, 0.0);
}
