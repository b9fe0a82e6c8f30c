#include <cstring>

#include <gtest/gtest.h>

#include "engine/classic/histogram.h"
#include "tests/support/pictures.h"

namespace {

BlockTables tablesOf(TestFrame& f, const BlockBounds& bounds)
{
    BlockTables t;
    clearBlockTables(t);
    const FrameView v = f.view();
    accumulateBlock(v.pixels, v.width, v.rowGap, bounds, t);
    return t;
}

}  // namespace

TEST(Accumulate, CountsAndSumsOneBlock)
{
    TestFrame f(2, 2, 0);
    f.at(0, 0) = rgb(10, 1, 2);
    f.at(1, 0) = rgb(10, 1, 2);
    f.at(0, 1) = rgb(20, 1, 2);
    f.at(1, 1) = rgb(30, 1, 2);
    const BlockTables t = tablesOf(f, {0, 2, 0, 2});
    EXPECT_EQ(t.histR[10], 2u);
    EXPECT_EQ(t.histR[20], 1u);
    EXPECT_EQ(t.histR[30], 1u);
    EXPECT_EQ(t.sumR, 70);
    EXPECT_EQ(t.histG[1], 4u);
    EXPECT_EQ(t.sumB, 8);
}

TEST(Accumulate, IgnoresTopByteAndRowGap)
{
    TestFrame tight(8, 8, 0), padded(8, 8, 64);
    Random random{12345};
    paintNoise(padded, random, 0xFFFFFFFF);
    for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 0; x < 8; ++x) tight.at(x, y) = padded.at(x, y) & 0xFFFFFF;  // other top bytes
    const BlockBounds b{2, 6, 3, 7};
    const BlockTables a = tablesOf(tight, b), c = tablesOf(padded, b);
    EXPECT_EQ(0, std::memcmp(a.histR, c.histR, sizeof a.histR));
    EXPECT_EQ(0, std::memcmp(a.histG, c.histG, sizeof a.histG));
    EXPECT_EQ(0, std::memcmp(a.histB, c.histB, sizeof a.histB));
    EXPECT_EQ(a.sumR, c.sumR);
    EXPECT_EQ(a.sumG, c.sumG);
    EXPECT_EQ(a.sumB, c.sumB);

    const BlockTables empty = tablesOf(tight, {4, 4, 0, 8});
    EXPECT_EQ(empty.sumR + empty.sumG + empty.sumB, 0);
}

// Smoothing a table whose pixels all have one value v: the non-zero bins.
TEST(Smooth, SingleValueTables)
{
    const uint32_t n = 7;
    struct Row {
        int v;
        std::vector<std::pair<int, double>> bins;
    };
    const Row rows[] = {
        {0, {{0, 0.2 * (3 * n)}, {1, 0.1 * (4 * n)}, {2, 0.2 * n}}},
        {1, {{0, 0.2 * (2 * n)}, {1, 0.1 * (3 * n)}, {2, 0.2 * n}, {3, 0.2 * n}}},
        {3, {{1, 0.1 * n}, {2, 0.2 * n}, {3, 0.2 * n}, {4, 0.2 * n}, {5, 0.2 * n}}},
        {4, {{0, 0.2 * -double(n)}, {2, 0.2 * n}, {3, 0.2 * n}, {4, 0.2 * n}, {5, 0.2 * n}, {6, 0.2 * n}}},
        {100, {{98, 0.2 * n}, {99, 0.2 * n}, {100, 0.2 * n}, {101, 0.2 * n}, {102, 0.2 * n}}},
        {251, {{249, 0.2 * n}, {250, 0.2 * n}, {251, 0.2 * n}, {252, 0.2 * n}, {253, 0.2 * n}, {255, 0.2 * -double(n)}}},
        {252, {{250, 0.2 * n}, {251, 0.2 * n}, {252, 0.2 * n}, {253, 0.2 * n}, {254, 0.1 * n}}},
        {254, {{252, 0.2 * n}, {253, 0.2 * n}, {254, 0.1 * (3 * n)}, {255, 0.2 * (2 * n)}}},
        {255, {{253, 0.2 * n}, {254, 0.1 * (4 * n)}, {255, 0.2 * (3 * n)}}},
    };
    for (const Row& row : rows) {
        uint32_t hist[binCount] = {};
        hist[row.v] = n;
        double smooth[binCount];
        smoothHistogram(hist, smooth);
        double expected[binCount] = {};
        for (auto [bin, value] : row.bins) expected[bin] = value;
        for (int i = 0; i < binCount; ++i)
            EXPECT_EQ(smooth[i], expected[i]) << "value " << row.v << ", bin " << i;
    }
}

TEST(Smooth, StraightLinesComeThroughUnchanged)
{
    uint32_t flat[binCount], ramp[binCount];
    for (int i = 0; i < binCount; ++i) {
        flat[i] = 40;
        ramp[i] = 1000 + 3 * i;
    }
    double smooth[binCount];
    smoothHistogram(flat, smooth);
    for (int i = 0; i < binCount; ++i) EXPECT_NEAR(smooth[i], 40.0, 1e-12) << i;
    smoothHistogram(ramp, smooth);
    for (int i = 0; i < binCount; ++i) EXPECT_NEAR(smooth[i], 1000.0 + 3 * i, 1e-9) << i;

    const uint32_t zeros[binCount] = {};
    smoothHistogram(zeros, smooth);
    for (double s : smooth) EXPECT_EQ(s, 0.0);
}

TEST(Smooth, HugeCountsDoNotOverflow)
{
    // Five counts near 2^31 overflow a 32-bit weighted sum.
    uint32_t hist[binCount] = {};
    hist[0] = hist[1] = hist[2] = 1u << 30;
    double smooth[binCount];
    smoothHistogram(hist, smooth);
    EXPECT_EQ(smooth[0], static_cast<double>(6LL << 30) * 0.2);
    EXPECT_EQ(smooth[2], static_cast<double>(3LL << 30) * 0.2);
}
