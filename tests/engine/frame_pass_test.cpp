#include <algorithm>
#include <climits>
#include <cstring>

#include <gtest/gtest.h>

#include "engine/classic/bottom_up.h"
#include "engine/classic/correct.h"
#include "engine/classic/correct_kernels.h"
#include "engine/classic/estimate.h"
#include "engine/classic/frame_levels.h"
#include "engine/classic/frame_pass.h"
#include "engine/classic/grid.h"
#include "engine/classic/histogram.h"
#include "tests/support/pictures.h"

namespace {

constexpr double sixDecimals = 5e-7;

}  // namespace

// Frames of one colour, 8 x 8 (four pixels a block), at level 20: the six
// levels blocks 8 and 9 estimate, the frame's six reduced from them, the
// correction's bytes and the colour every pixel comes out as. A grey frame's
// cast is small but not zero (0.3333333 is not a third), and its bytes leave
// it as it was.
TEST(FramePass, SolidColourFrames)
{
    const struct {
        uint32_t colour;
        CorrectionLevels block, frame;
        uint32_t gainWord, blackWord, pixel;
    } cases[] = {
        {rgb(150, 100, 60),
         {16.986081, 11.844206, 2.207600, 250.943938, 245.906466, 237.553567},
         {14.986081, 9.844206, 0.207600, 255.0, 250.906466, 242.553567},
         0x434343,
         0x0E0900,
         rgb(142, 95, 62)},
        {rgb(100, 100, 100),
         {10.213656, 10.213656, 10.213656, 244.275916, 244.275916, 244.275916},
         {0.213656, 0.213656, 0.213656, 255.0, 255.0, 255.0},
         0x404040,
         0,
         rgb(100, 100, 100)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << c.colour);
        TestFrame src(8, 8, 0, c.colour | 0xAB000000), dst(8, 8);
        BlockLevels l;
        runFramePass(defaultStrengths, src.view(), dst.first(), 0, &l);
        const CorrectionLevels frame = correctionLevels(l);
        for (int32_t block : {8, 9}) {
            const double* got[] = {&l.blackR[block], &l.blackG[block], &l.blackB[block],
                                   &l.whiteR[block], &l.whiteG[block], &l.whiteB[block]};
            const double* want = &c.block.blackR;
            for (int i = 0; i < 6; ++i)
                EXPECT_NEAR(*got[i], want[i], sixDecimals) << block << " " << i;
        }
        for (int i = 0; i < 6; ++i)
            EXPECT_NEAR((&frame.blackR)[i], (&c.frame.blackR)[i], sixDecimals) << i;
        EXPECT_NE(l.blackR[8], softClip(98 * 0.5, levelLimit(20)));
        const CorrectionBytes bytes = correctionBytes(frame);
        EXPECT_EQ(bytes.gainWord, c.gainWord);
        EXPECT_EQ(bytes.blackWord, c.blackWord);
        for (int32_t y = 0; y < 8; ++y)
            for (int32_t x = 0; x < 8; ++x) ASSERT_EQ(dst.at(x, y), c.pixel);
    }
}

// Frames the pass leaves as they were: grey ones at any level, and those
// under 4 x 4 pixels, which have no block to measure. The fourth byte is
// cleared, or with the top byte carried, as the frei0r plug-in asks, the whole
// word comes through. Around them the destination's row gaps keep their bytes.
TEST(FramePass, PassThroughWithGapsUntouched)
{
    const struct {
        int32_t width, height;
        intptr_t sourceGap, destinationGap;
        bool backward, grey;
        int32_t level;
    } cases[] = {
        {37, 23, 12, 12, false, true, 1}, {37, 23, 12, 20, true, true, 20},
        {37, 23, 0, 4, false, true, 40},  {33, 17, 12, 12, false, true, 20},
        {3, 5, 4, 4, false, false, 20},   {1, 1, 4, 4, true, false, 20},
        {5, 3, 4, 8, false, false, 20},   {3, 3, 0, 4, false, false, 20},
    };
    Random random{3};
    for (const auto& c : cases)
        for (TopByte top : {TopByte::cleared, TopByte::carried}) {
            SCOPED_TRACE(::testing::Message()
                         << c.width << "x" << c.height << " level " << c.level);
            TestFrame src(c.width, c.height, c.sourceGap, 0, c.backward);
            TestFrame dst(c.width, c.height, c.destinationGap, 0xA5A5A5A5, c.backward);
            TestFrame expected = dst;
            const uint32_t kept = top == TopByte::carried ? 0xFFFFFFFF : 0xFFFFFF;
            for (int32_t y = 0; y < c.height; ++y)
                for (int32_t x = 0; x < c.width; ++x) {
                    const uint32_t w = random.word();
                    src.at(x, y) =
                        c.grey ? rgb(w & 0xFF, w & 0xFF, w & 0xFF) | (w & 0xFF000000) : w;
                    expected.at(x, y) = src.at(x, y) & kept;
                }
            const Strengths s = {c.level, c.level, c.level};
            runFramePass(s, src.view(), dst.first(), dst.rowGap(), nullptr, top);
            ASSERT_EQ(dst.words, expected.words);
        }
}

TEST(FramePass, OnlyTheAnalysedAreaDecidesTheLevels)
{
    Random random{11};
    TestFrame a(643, 483, 0), b(643, 483, 64), outA(643, 483), outB(643, 483, 16);
    paintNoise(a, random, 0x7F9FFF);
    // Outside columns 0..639 and rows 0..479, and in the top byte, b differs.
    for (int32_t y = 0; y < 483; ++y)
        for (int32_t x = 0; x < 643; ++x)
            b.at(x, y) = (x >= 640 || y >= 480) ? random.word() : a.at(x, y) | 0x5A000000;
    Strengths s = {12, 30, 7};
    BlockLevels la, lb;
    runFramePass(s, a.view(), outA.first(), 0, &la);
    runFramePass(s, b.view(), outB.first(), 16, &lb);
    EXPECT_EQ(0, std::memcmp(&la, &lb, sizeof la));
    // The unanalysed pixels are still corrected.
    const CorrectionBytes c = correctionBytes(correctionLevels(lb));
    EXPECT_EQ(outB.at(642, 482), correctPixel(b.at(642, 482), c.blackWord, c.gainWord));
    EXPECT_EQ(outB.at(641, 10), correctPixel(b.at(641, 10), c.blackWord, c.gainWord));
}

// Random frames, gaps and levels, any 32-bit level included. Under the
// sanitizers this shows the pass free of undefined behaviour; everywhere it
// checks what must hold for every frame.
TEST(FramePass, RandomFramesAndLevels)
{
    Random random{2024};
    const int32_t wild[] = {INT_MIN, -1000000, -7, 0, 41, 50, 51, 52, 60, 1000, INT_MAX};
    auto anyLevel = [&] {
        return random.below(3) == 0 ? wild[random.below(std::size(wild))] : 1 + int32_t(random.below(40));
    };
    std::vector<std::pair<int32_t, int32_t>> sizes = {{1, 1}, {3, 5}, {4, 4}, {643, 483}, {4, 1000}};
    for (int i = 0; i < 40; ++i) sizes.push_back({1 + int32_t(random.below(200)), 1 + int32_t(random.below(150))});
    for (auto [w, h] : sizes) {
        const intptr_t srcGap = 4 * random.below(17), dstGap = 4 * random.below(17);
        TestFrame src(w, h, srcGap), dst(w, h, dstGap, 0xA5A5A5A5);
        const uint32_t cast = random.word() & 0x3F3F3F;
        for (uint32_t& p : src.words) p = (random.word() & 0xFFBFBFBF) + cast;
        Strengths s = {anyLevel(), anyLevel(), anyLevel()};
        const bool dialogLevels = s.levelR >= 1 && s.levelR <= 40 && s.levelG >= 1 &&
                                  s.levelG <= 40 && s.levelB >= 1 && s.levelB <= 40;
        BlockLevels l;
        runFramePass(s, src.view(), dst.first(), dstGap, &l);
        const CorrectionBytes c = correctionBytes(correctionLevels(l));
        if (dialogLevels && w >= 4 && h >= 4) {
            // The ranges the pixel pass is laid out for.
            for (uint8_t g : {c.gainR, c.gainG, c.gainB}) {
                EXPECT_GE(g, 64);
                EXPECT_LE(g, 119);
            }
            for (uint8_t b : {c.blackR, c.blackG, c.blackB}) EXPECT_LE(b, 95);
        }
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                ASSERT_EQ(dst.at(x, y), correctPixel(src.at(x, y), c.blackWord, c.gainWord));
    }
}

namespace {

// All sixteen blocks assembled from the plain counting, one phase after
// another: what every analysis path must give.
BlockLevels plainAnalysis(const Strengths& s, const FrameView& v)
{
    const FrameConstants k = frameConstants(s.levelR, s.levelG, s.levelB, v.width, v.height);
    BlockLevels levels{};
    for (int32_t blockIndex = 1; blockIndex <= blockCount; ++blockIndex) {
        BlockTables t;
        clearBlockTables(t);
        accumulateBlockPlain(v.pixels, v.width, v.rowGap,
                             blockBounds(k.blockWidth, k.blockHeight, blockIndex), t);
        smoothHistogram(t.histR, t.smoothR);
        smoothHistogram(t.histG, t.smoothG);
        smoothHistogram(t.histB, t.smoothB);
        storeBlockEstimate(levels, blockIndex, estimateBlock(t, k));
    }
    reduceFrameLevels(levels);
    if (k.blockPixels == 0) setNeutralLevels(levels);
    return levels;
}

}  // namespace

// Every analysis path gives the same levels, bit for bit, on one table of
// frames: all sixteen blocks (analyzeFrame) as assembled from the plain
// counting; blocks 8 and 9 alone (the pass, with or without the scene's
// signature) the same frame levels and, through the same pixel pass, the same
// bytes; and the picture stored top row first and walked bottom-up (the
// command-line tool's and frei0r's way) what the host's bottom-up frame gives.
// Frames of every shape, under 4 x 4 too, with row gaps, views walking back,
// levels in and out of the dialog's range, pictures whose blocks differ.
TEST(FramePass, EveryAnalysisPathGivesTheSameLevels)
{
    Random random{31};
    const int32_t wild[] = {INT_MIN, -5, 0, 41, 51, 52, 1000, INT_MAX};
    auto anyLevel = [&] {
        return random.below(4) == 0 ? wild[random.below(std::size(wild))]
                                    : 1 + int32_t(random.below(40));
    };
    std::vector<std::pair<int32_t, int32_t>> sizes = {
        {1, 1}, {2, 3}, {3, 3}, {3, 9}, {9, 3}, {4, 4}, {5, 7}, {8, 8}, {643, 483}, {1920, 1080}};
    for (int i = 0; i < 80; ++i)
        sizes.push_back({1 + int32_t(random.below(300)), 1 + int32_t(random.below(220))});
    int32_t orderMattered = 0;
    for (auto [w, h] : sizes) {
        const bool backward = random.below(3) == 0;
        TestFrame src(w, h, 4 * random.below(9), 0, backward);
        TestFrame pass(w, h, 4 * random.below(5), 0xA5A5A5A5, backward), full = pass;
        // Blocks that see other values, a cast, noise of a random strength
        // (none: flat areas) and a random top byte.
        paintScene(src, random, randomLook(random));
        const Strengths s = {anyLevel(), anyLevel(), anyLevel()};
        SCOPED_TRACE(::testing::Message()
                     << w << "x" << h << (backward ? " walking back" : "") << " levels " << s.levelR
                     << "," << s.levelG << "," << s.levelB);

        BlockLevels byPass, byFull;
        runFramePass(s, src.view(), pass.first(), pass.rowGap(), &byPass);
        analyzeFrame(s, src.view(), byFull);
        const BlockLevels plain = plainAnalysis(s, src.view());
        EXPECT_EQ(0, std::memcmp(&byFull, &plain, sizeof plain));  // bits: NaN equals NaN
        correctPixels(correctionLevels(byFull), src.view(), full.first(), full.rowGap());
        const CorrectionLevels a = correctionLevels(byPass), b = correctionLevels(byFull);
        EXPECT_EQ(0, std::memcmp(&a, &b, sizeof a));
        ASSERT_EQ(pass.words, full.words);

        // Asking for the signature of blocks 8 and 9 changes no level, and
        // both analyses give the same one.
        BlockLevels measuredSigned, fullSigned;
        SceneSignature measuredSignature, fullSignature;
        analyzeMeasuredBlocks(s, src.view(), measuredSigned, &measuredSignature);
        analyzeFrame(s, src.view(), fullSigned, &fullSignature);
        EXPECT_EQ(0, std::memcmp(&measuredSigned, &byPass, sizeof byPass));
        EXPECT_EQ(0, std::memcmp(&fullSigned, &byFull, sizeof byFull));
        EXPECT_EQ(0, std::memcmp(&measuredSignature, &fullSignature, sizeof fullSignature));

        // The same picture stored top row first, its rows in the opposite
        // order to the view's, through the bottom-up entry points.
        std::vector<uint32_t> topFirst(size_t(w) * size_t(h)), corrected(topFirst.size());
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                topFirst[size_t(h - 1 - y) * size_t(w) + size_t(x)] = src.at(x, y);
        BlockLevels byFrame, analysed;
        correctFrame(s, topFirst.data(), corrected.data(), w, h, byFrame);
        analyzeFrameBottomUp(s, topFirst.data(), w, h, analysed);
        EXPECT_EQ(0, std::memcmp(&byFrame, &byPass, sizeof byPass));
        EXPECT_EQ(0, std::memcmp(&analysed, &byFull, sizeof byFull));
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                ASSERT_EQ(corrected[size_t(h - 1 - y) * size_t(w) + size_t(x)], pass.at(x, y));
        // Top row first with a gap after each row, as a GPU stages pictures.
        const int32_t pad = 1 + w % 7;
        std::vector<uint32_t> padded(size_t(w + pad) * size_t(h));
        for (int32_t y = 0; y < h; ++y)
            std::copy_n(&topFirst[size_t(y) * size_t(w)], w, &padded[size_t(y) * size_t(w + pad)]);
        BlockLevels byPadded;
        analyzeMeasuredBlocks(s, bottomUpView({padded.data(), w, h, intptr_t{pad} * 4}), byPadded,
                              nullptr);
        EXPECT_EQ(0, std::memcmp(&byPadded, &byPass, sizeof byPass));
        // Read top row first, the same memory is another frame: the row order
        // decides the levels, so the comparisons above could tell a path that
        // ignored it.
        BlockLevels topDown;
        analyzeFrame(s, {topFirst.data(), w, h, 0}, topDown);
        orderMattered += std::memcmp(&topDown, &byFull, sizeof byFull) != 0;
    }
    EXPECT_GT(orderMattered, 80);
}
