#include <algorithm>
#include <climits>
#include <cstring>

#include <gtest/gtest.h>

#include "engine/correct.h"
#include "engine/correct_kernels.h"
#include "engine/frame_pass.h"
#include "tests/support/pictures.h"

namespace {

void correctInto(const Strengths& user, const TestFrame& src, TestFrame& dst)
{
    runFramePass(user, src.view(), dst.first(), dst.rowGap());
}

constexpr double sixDecimals = 5e-7;

}  // namespace

TEST(FramePass, SolidColourFrame)
{
    TestFrame src(8, 8, 0, rgb(150, 100, 60) | 0xAB000000), dst(8, 8);
    Strengths s = {20, 20, 20};
    BlockLevels l;
    runFramePass(s, src.view(), dst.first(), 0, &l);
    EXPECT_NEAR(l.frame.blackR, 14.986081, sixDecimals);
    EXPECT_NEAR(l.frame.blackG, 9.844206, sixDecimals);
    EXPECT_NEAR(l.frame.blackB, 0.207600, sixDecimals);
    EXPECT_EQ(l.frame.whiteR, 255.0);
    EXPECT_NEAR(l.frame.whiteG, 250.906466, sixDecimals);
    EXPECT_NEAR(l.frame.whiteB, 242.553567, sixDecimals);
    const CorrectionBytes c = correctionBytes(correctionLevels(l));
    EXPECT_EQ(c.gainWord, 0x00434343u);
    EXPECT_EQ(c.blackWord, 0x000E0900u);
    for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 0; x < 8; ++x) EXPECT_EQ(dst.at(x, y), rgb(142, 95, 62));
}

// Also with the top byte carried, as the frei0r plug-in asks: then the whole
// word comes through.
TEST(FramePass, GreyFramesComeThroughUnchanged)
{
    Random random{3};
    for (int32_t level : {1, 20, 40})
        for (TopByte top : {TopByte::cleared, TopByte::carried}) {
            TestFrame src(37, 23, 12), dst(37, 23, 12);
            for (uint32_t& p : src.words) {
                const uint32_t w = random.word();
                p = rgb(w & 0xFF, w & 0xFF, w & 0xFF) | (w & 0xFF000000);
            }
            Strengths s = {level, level, level};
            runFramePass(s, src.view(), dst.first(), dst.rowGap(), nullptr, top);
            const uint32_t kept = top == TopByte::carried ? 0xFFFFFFFF : 0xFFFFFF;
            for (int32_t y = 0; y < 23; ++y)
                for (int32_t x = 0; x < 37; ++x) ASSERT_EQ(dst.at(x, y), src.at(x, y) & kept);
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

TEST(FramePass, FramesUnderFourPixelsPassThrough)
{
    for (auto [w, h] : {std::pair{3, 5}, {1, 1}, {5, 3}, {3, 3}}) {
        TestFrame src(w, h, 4), dst(w, h, 4, 0xCDCDCDCD);
        Random random{static_cast<uint32_t>(w * 10 + h)};
        paintNoise(src, random, 0xFFFFFFFF);
        Strengths s = {20, 20, 20};
        correctInto(s, src, dst);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) EXPECT_EQ(dst.at(x, y), src.at(x, y) & 0xFFFFFF);
    }
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
        for (int32_t y = 0; y < h; ++y) {
            for (int32_t x = 0; x < w; ++x)
                ASSERT_EQ(dst.at(x, y), correctPixel(src.at(x, y), c.blackWord, c.gainWord));
            for (int32_t x = w; x < w + dstGap / 4 && y + 1 < h; ++x)
                ASSERT_EQ(dst.at(x, y), 0xA5A5A5A5u);
        }
    }
}

// The pass analyses blocks 8 and 9 only. Against the analysis of all sixteen
// blocks followed by the same pixel pass it must give the same frame levels,
// bit for bit, and the same destination bytes: frames of every shape, under
// 4 x 4 too, with row gaps, rows bottom-up, levels in and out of the dialog's
// range, and pictures whose blocks differ from one another.
TEST(FramePass, MeasuredBlocksGiveWhatAllSixteenGive)
{
    Random random{31};
    const int32_t wild[] = {INT_MIN, -5, 0, 41, 51, 52, 1000, INT_MAX};
    auto anyLevel = [&] {
        return random.below(4) == 0 ? wild[random.below(std::size(wild))] : 1 + int32_t(random.below(40));
    };
    std::vector<std::pair<int32_t, int32_t>> sizes = {{1, 1}, {2, 3}, {3, 3}, {3, 9}, {9, 3},
                                                      {4, 4}, {5, 7}, {8, 8}, {643, 483}, {1920, 1080}};
    for (int i = 0; i < 80; ++i) sizes.push_back({1 + int32_t(random.below(300)), 1 + int32_t(random.below(220))});
    for (auto [w, h] : sizes) {
        const bool backward = random.below(3) == 0;
        TestFrame src(w, h, 4 * random.below(9), 0, backward);
        TestFrame pass(w, h, 4 * random.below(5), 0xA5A5A5A5, backward), full = pass;
        // Blocks that see other values, a cast, noise of a random strength
        // (none: flat areas) and a random top byte.
        paintScene(src, random, randomLook(random));
        const Strengths s = {anyLevel(), anyLevel(), anyLevel()};

        BlockLevels byPass, byFull;
        runFramePass(s, src.view(), pass.first(), pass.rowGap(), &byPass);
        analyzeFrame(s, src.view(), byFull);
        correctPixels(correctionLevels(byFull), src.view(), full.first(), full.rowGap());

        SCOPED_TRACE(::testing::Message() << w << "x" << h << (backward ? " bottom-up" : "") << " levels "
                                          << s.levelR << "," << s.levelG << "," << s.levelB);
        const CorrectionLevels a = correctionLevels(byPass), b = correctionLevels(byFull);
        EXPECT_EQ(0, std::memcmp(&a, &b, sizeof a));  // bits, so that NaN equals NaN
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
    }
}
