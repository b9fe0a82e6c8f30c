#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "engine/classic/frame_levels.h"

namespace {

// Blocks 8 and 9 both hold the given frame values; every other block holds junk.
BlockLevels measuredLevels(const double black[3], const double white[3])
{
    BlockLevels l;
    double* arrays[6] = {l.blackR, l.blackG, l.blackB, l.whiteR, l.whiteG, l.whiteB};
    for (int a = 0; a < 6; ++a)
        for (int slot = 0; slot < levelSlots; ++slot) arrays[a][slot] = 1000.0 + slot;
    for (int c = 0; c < 3; ++c) {
        arrays[c][8] = arrays[c][9] = black[c];
        arrays[3 + c][8] = arrays[3 + c][9] = white[c];
    }
    return l;
}

CorrectionLevels reduce(std::initializer_list<double> black, std::initializer_list<double> white)
{
    BlockLevels l = measuredLevels(black.begin(), white.begin());
    reduceFrameLevels(l);
    return correctionLevels(l);
}

}  // namespace

TEST(FrameLevels, WorkedExample)
{
    BlockLevels l{};
    l.blackR[8] = 10.0, l.blackR[9] = 12.0;
    l.blackG[8] = 5.5, l.blackG[9] = 5.9;
    l.blackB[8] = 20.0, l.blackB[9] = 20.5;
    l.whiteR[8] = 240.0, l.whiteR[9] = 241.0;
    l.whiteG[8] = 250.0, l.whiteG[9] = 251.8;
    l.whiteB[8] = 230.0, l.whiteB[9] = 230.0;
    l.blackR[1] = -500.0;  // other blocks take no part
    l.whiteG[16] = 900.0;
    reduceFrameLevels(l);
    EXPECT_EQ(l.frame.blackR, 6.0);
    EXPECT_EQ(l.frame.blackG, 0.7000000000000002);  // 5.7 - 5 in doubles
    EXPECT_EQ(l.frame.blackB, 15.25);
    EXPECT_EQ(l.frame.whiteR, 245.5);
    EXPECT_EQ(l.frame.whiteG, 255.0);
    EXPECT_EQ(l.frame.whiteB, 235.0);
}

TEST(FrameLevels, ShiftsAndLimits)
{
    CorrectionLevels c = reduce({-3.7, 10.0, 12.0}, {260.2, 250.0, 240.0});
    EXPECT_EQ(c.blackR, 0.0);
    EXPECT_EQ(c.blackG, 13.0);
    EXPECT_EQ(c.blackB, 15.0);
    EXPECT_EQ(c.whiteR, 255.0);
    EXPECT_EQ(c.whiteG, 245.0);
    EXPECT_EQ(c.whiteB, 235.0);

    c = reduce({300.0, 280.0, 255.0}, {-5.0, -1.0, 0.0});
    EXPECT_EQ(c.blackR, 45.0);
    EXPECT_EQ(c.blackG, 25.0);
    EXPECT_EQ(c.blackB, 0.0);
    EXPECT_EQ(c.whiteR, 250.0);
    EXPECT_EQ(c.whiteG, 254.0);
    EXPECT_EQ(c.whiteB, 255.0);

    c = reduce({4.0, 9.0, 6.0}, {251.0, 249.0, 250.0});
    EXPECT_EQ(c.blackR, 0.0);
    EXPECT_EQ(c.blackG, 5.0);
    EXPECT_EQ(c.blackB, 2.0);
    EXPECT_EQ(c.whiteR, 255.0);
    EXPECT_EQ(c.whiteG, 253.0);
    EXPECT_EQ(c.whiteB, 254.0);

    c = reduce({7.25, 7.25, 7.25}, {10.0, 10.0, 10.0});
    EXPECT_EQ(c.blackR, 0.25);
    EXPECT_EQ(c.blackB, 0.25);
    EXPECT_EQ(c.whiteG, 255.0);
}

TEST(FrameLevels, ValuesNoIntegerHolds)
{
    // What levels far outside the dialog's range can produce: infinities and
    // NaN must neither be taken as the minimum or maximum nor break the shift.
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    CorrectionLevels c = reduce({nan, 3.5, 1e300}, {nan, 1e300, 200.0});
    EXPECT_TRUE(std::isnan(c.blackR));
    EXPECT_EQ(c.blackG, 0.5);
    EXPECT_TRUE(std::isnan(c.whiteR));
    EXPECT_EQ(c.whiteG, 255.0);
    EXPECT_EQ(c.whiteB, -2147483192.0);  // 200 + 255 - 2147483647: 1e300 taken as INT_MAX

    c = reduce({-inf, 2.0, 3.0}, {inf, 250.0, 240.0});
    EXPECT_EQ(c.blackR, 0.0);
    EXPECT_EQ(c.whiteR, 255.0);
}
