// The fast histogram counting and the SIMD pixel pass against their plain
// references: identical tables, sums and bytes on random and flat pictures,
// odd sizes and row gaps.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "engine/classic/correct.h"
#include "engine/classic/correct_kernels.h"
#include "engine/classic/histogram.h"
#include "tests/support/pictures.h"

namespace {

using Accumulate = void (*)(const uint32_t*, int32_t, intptr_t, const BlockBounds&, BlockTables&);

void expectSameTables(const BlockTables& a, const BlockTables& b, const char* what)
{
    EXPECT_EQ(0, std::memcmp(a.histR, b.histR, sizeof a.histR)) << what;
    EXPECT_EQ(0, std::memcmp(a.histG, b.histG, sizeof a.histG)) << what;
    EXPECT_EQ(0, std::memcmp(a.histB, b.histB, sizeof a.histB)) << what;
    EXPECT_EQ(a.sumR, b.sumR) << what;
    EXPECT_EQ(a.sumG, b.sumG) << what;
    EXPECT_EQ(a.sumB, b.sumB) << what;
}

// Accumulates two blocks into one set of tables, so that adding to counts
// already there is checked too.
BlockTables countTwo(Accumulate accumulate, TestFrame& f, const BlockBounds& first, const BlockBounds& second)
{
    BlockTables t;
    clearBlockTables(t);
    const FrameView v = f.view();
    accumulate(v.pixels, v.width, v.rowGap, first, t);
    accumulate(v.pixels, v.width, v.rowGap, second, t);
    return t;
}

template <uint64_t chunkPixels>
void accumulateInSmallChunks(const uint32_t* pixels, int32_t width, intptr_t rowGap, const BlockBounds& bounds,
                             BlockTables& tables)
{
    accumulateBlockInChunks(pixels, width, rowGap, bounds, tables, chunkPixels);
}

BlockBounds randomBounds(Random& random, int32_t width, int32_t height)
{
    const int32_t r0 = static_cast<int32_t>(random.below(static_cast<uint32_t>(height)));
    const int32_t r1 = r0 + static_cast<int32_t>(random.below(static_cast<uint32_t>(height - r0 + 1)));
    const int32_t c0 = static_cast<int32_t>(random.below(static_cast<uint32_t>(width)));
    const int32_t c1 = c0 + static_cast<int32_t>(random.below(static_cast<uint32_t>(width - c0 + 1)));
    return {r0, r1, c0, c1};
}

}  // namespace

TEST(FastHistogram, MatchesPlainOnRandomBlocks)
{
    Random random{2024};
    const Accumulate fast[] = {accumulateBlock, accumulateInSmallChunks<1>, accumulateInSmallChunks<7>,
                               accumulateInSmallChunks<100>};
    for (int32_t width : {1, 3, 4, 5, 7, 13, 64, 161})
        for (intptr_t gap : {0, 4, 12, 64})
            for (uint32_t palette : {0xFFFFFFFFu, 0x03070301u, 0x00000000u}) {
                TestFrame f(width, 1 + static_cast<int32_t>(random.below(40)), gap, guardWord);
                paintNoise(f, random, palette);
                const BlockBounds a = randomBounds(random, f.width, f.height);
                const BlockBounds b = {0, f.height, 0, f.width};
                const BlockTables expected = countTwo(accumulateBlockPlain, f, a, b);
                for (Accumulate accumulate : fast)
                    expectSameTables(countTwo(accumulate, f, a, b), expected, "random block");
            }
}

// Every pixel alike: the case the partial tables are for. Grey pixels put the
// same index into all three channels; the top byte must not count.
TEST(FastHistogram, MatchesPlainOnFlatBlocks)
{
    for (uint32_t pixel : {0x00000000u, 0xFF101010u, 0x00A07850u, 0xFFFFFFFFu, 0x7F00FF00u}) {
        TestFrame f(483, 21, 36, pixel);
        for (const BlockBounds bounds : {BlockBounds{0, 21, 0, 483}, BlockBounds{5, 20, 3, 480},
                                         BlockBounds{0, 1, 0, 1}, BlockBounds{2, 9, 100, 103}}) {
            const BlockTables expected = countTwo(accumulateBlockPlain, f, bounds, bounds);
            const BlockTables fast = countTwo(accumulateBlock, f, bounds, bounds);
            expectSameTables(fast, expected, "flat block");
            const int64_t n = 2 * int64_t{bounds.rowEnd - bounds.rowStart} * (bounds.colEnd - bounds.colStart);
            EXPECT_EQ(fast.histR[(pixel >> 16) & 0xFF], n);
            EXPECT_EQ(fast.sumB, n * (pixel & 0xFF));
        }
    }
}

TEST(FastHistogram, EmptyBlocksLeaveTablesAlone)
{
    TestFrame f(8, 8, 0, 0x00050607);
    BlockTables t;
    clearBlockTables(t);
    const FrameView v = f.view();
    accumulateBlock(v.pixels, v.width, v.rowGap, {0, 8, 0, 8}, t);
    const BlockTables before = t;
    for (const BlockBounds bounds : {BlockBounds{3, 3, 0, 8}, BlockBounds{0, 8, 5, 5}, BlockBounds{6, 2, 0, 8}}) {
        accumulateBlock(v.pixels, v.width, v.rowGap, bounds, t);
        accumulateBlockInChunks(v.pixels, v.width, v.rowGap, bounds, t, 1);
        expectSameTables(t, before, "empty block");
    }
}

// The whole pixel pass, driver and kernel, against the plain kernel row by
// row: rows of every length modulo 16, with row gaps on both sides, and rows
// without gaps, top-down and bottom-up, which the pass corrects as one run.
TEST(FastCorrection, PixelPassMatchesPlainKernel)
{
    Random random{99};
    for (int32_t width = 1; width <= 35; ++width) {
        const int32_t height = 1 + width % 6;
        const intptr_t gaps[][2] = {{8 + 4 * (width % 3), 4 * (width % 5)}, {0, 0}, {0, 4}, {4, 0}};
        for (auto [srcGap, dstGap] : gaps)
            for (bool backward : {false, true}) {
                TestFrame src(width, height, srcGap, 0, backward), dst(width, height, dstGap, 0x55555555, backward);
                paintNoise(src, random, 0xFFFFFFFF);
                TestFrame expected = dst;
                const CorrectionLevels levels{width * 2.5, 3.25, 90.0, 200.0 + width, 240.0, 255.0};
                const CorrectionBytes c = correctionBytes(levels);
                for (int32_t y = 0; y < height; ++y)
                    correctRowScalar(reinterpret_cast<const uint8_t*>(&src.at(0, y)),
                                     reinterpret_cast<uint8_t*>(&expected.at(0, y)), width, c.blackWord,
                                     c.gainWord);
                correctPixels(levels, src.view(), dst.first(), dst.rowGap());
                EXPECT_EQ(dst.words, expected.words)
                    << width << "x" << height << " gaps " << srcGap << "/" << dstGap << (backward ? " bottom-up" : "");
            }
    }
}
