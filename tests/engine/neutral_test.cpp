// The neutral correction: its kernels against their plain twins, its tables
// against the transfer's curve, and what it finds in pictures: a cast
// removed, a grey picture left alone, and the scenes it must hold back on.
#include <cmath>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "engine/neutral/block_maxima.h"
#include "engine/neutral/neutral_pass.h"
#include "engine/portable_math.h"
#include "tests/support/pictures.h"

namespace {

// Random bytes with many values at the ends, where the toe and clipping are.
void paintEnds(TestFrame& f, Random& random)
{
    for (int32_t y = 0; y < f.height; ++y)
        for (int32_t x = 0; x < f.width; ++x) {
            uint32_t w = 0;
            for (int lane = 0; lane < 4; ++lane) {
                const uint32_t pick = random.below(4);
                const uint32_t v = pick == 0 ? random.below(40) : pick == 1 ? 255 - random.below(3)
                                                                             : random.below(256);
                w |= v << (8 * lane);
            }
            f.at(x, y) = w;
        }
}

double angleDegrees(const double a[3], const double b[3])
{
    double dot = 0, na = 0, nb = 0;
    for (int c = 0; c < 3; ++c) dot += a[c] * b[c], na += a[c] * a[c], nb += b[c] * b[c];
    return std::acos(std::fmin(1.0, dot / std::sqrt(na * nb))) * 180.0 / 3.14159265358979323846;
}

}  // namespace

TEST(NeutralKernels, EveryKernelGivesTheTablesBytes)
{
    Random random{77};
    struct Shape {
        int32_t width, height;
        intptr_t gap;
        bool backward, inPlace;
    };
    const Shape shapes[] = {{37, 5, 0, false, false}, {64, 9, 12, false, false},
                            {1, 3, 4, true, false},   {45, 7, 0, false, true},
                            {16, 16, 0, true, true}};
    for (int round = 0; round < 60; ++round) {
        const Shape& s = shapes[round % 5];
        const Transfer transfer = round % 3 == 0 ? Transfer::bt709 : Transfer::srgb;
        const double g[3] = {portableExp(random.unit() * 3.7 - 0.9), round % 4 == 0 ? 1.0 : 0.4,
                             portableExp(random.unit() * 3.7 - 0.9)};
        const NeutralTables t = neutralTables({g[0], g[1], g[2]}, transfer,
                                              round % 2 ? TopByte::carried : TopByte::cleared);
        TestFrame source(s.width, s.height, s.gap, 0, s.backward);
        paintEnds(source, random);
        TestFrame want(s.width, s.height, s.gap, guardWord, s.backward);
        ASSERT_TRUE(correctNeutralPixelsWith(NeutralKernelId::table, t, source.view(), want.first(),
                                             want.rowGap()));
        for (const NeutralKernelId id : neutralKernelIds) {
            TestFrame got =
                s.inPlace ? source : TestFrame(s.width, s.height, s.gap, guardWord, s.backward);
            if (!correctNeutralPixelsWith(id, t, s.inPlace ? got.view() : source.view(), got.first(),
                                          got.rowGap()))
                continue;
            for (int32_t y = 0; y < s.height; ++y)
                for (int32_t x = 0; x < s.width; ++x)
                    ASSERT_EQ(want.at(x, y), got.at(x, y))
                        << neutralKernelName(id) << " round " << round << " at " << x << "," << y;
            if (!s.inPlace) {
                EXPECT_EQ(want.words, got.words) << "row gaps written";
            }
        }
    }
}

TEST(NeutralTables, FollowTheTransferWithinOneLevel)
{
    for (const Transfer transfer : {Transfer::srgb, Transfer::bt709, Transfer::pq}) {
        for (double gain = neutralLeastGain; gain <= neutralGreatestGain; gain *= 1.013) {
            const NeutralTables t = neutralTables({gain, 1.0, gain}, transfer, TopByte::carried);
            for (int32_t v = 0; v < 256; ++v) {
                const double exact =
                    encodeTransfer(transfer, decodeTransfer(transfer, v / 255.0) * gain) * 255.0;
                ASSERT_LE(std::fabs(t.lanes.lane[2][v] - std::floor(exact + 0.5)), 1.0)
                    << transferName(transfer) << " gain " << gain << " at " << v;
                ASSERT_EQ(t.lanes.lane[1][v], v);  // a gain of 1, and the carried top byte
                ASSERT_EQ(t.lanes.lane[3][v], v);
            }
        }
    }
}

TEST(BlockMaxima, EveryKernelMatchesThePlainOne)
{
    Random random{5};
    const BlockMaximaKernel kernels[] = {
#if defined(VELTO_HAS_MAXIMA_SSE2)
        blockMaximaSse2,
#endif
        fastestBlockMaxima()};
    for (const auto& [w, h, gap, back] : {std::tuple{1920, 1080, 0, false}, {97, 61, 8, false},
                                          {640, 360, 0, true}, {16, 8, 4, true}}) {
        TestFrame f(w, h, gap, 0, back);
        paintEnds(f, random);
        const NeutralGrid grid = neutralGrid(w, h);
        ASSERT_GT(grid.across, 0);
        std::vector<uint32_t> want(neutralMaximumBlocks), got(neutralMaximumBlocks);
        blockMaximaPlain(f.view(), grid, want.data());
        for (const BlockMaximaKernel kernel : kernels) {
            kernel(f.view(), grid, got.data());
            EXPECT_EQ(0, std::memcmp(want.data(), got.data(), sizeof(uint32_t) * grid.across * grid.down));
        }
    }
    EXPECT_EQ(neutralGrid(15, 100).across, 0);  // too narrow for two blocks of 8
}

TEST(LightEstimate, RemovesACastAndHoldsBackWhereThePictureIsColoured)
{
    // Grey shades, a white card and a few coloured patches, lit by 3000 K
    // light (the gains of a black body against daylight, exposure kept).
    Random random{11};
    TestFrame scene(320, 240);
    const Lattice shade(320, 240, 24.0, random);
    const uint32_t patches[] = {0xC03020, 0x3050B0, 0xD0C040, 0x40A050};
    for (int32_t y = 0; y < 240; ++y)
        for (int32_t x = 0; x < 320; ++x) {
            uint32_t v = 40 + static_cast<uint32_t>(150 * shade.at(x, y)) + random.below(5);
            uint32_t p = v << 16 | v << 8 | v;
            if (x >= 200 && x < 260 && y >= 30 && y < 90) p = 0xF0F0F0;  // the card
            if (y >= 160 && y < 200 && x % 80 < 40) p = patches[x / 80];
            scene.at(x, y) = p;
        }
    const double cast[3] = {1.0, 1.0 / 2.09, 0.32 / 2.09};
    TestFrame lit = scene;
    for (uint32_t& p : lit.words) {
        uint32_t w = 0;
        for (int c = 0; c < 3; ++c) {
            const double light = decodeTransfer(Transfer::srgb, (p >> (16 - 8 * c) & 0xFF) / 255.0);
            w |= uint32_t(encodeTransfer(Transfer::srgb, light * cast[c]) * 255.0 + 0.5) << (16 - 8 * c);
        }
        p = w;
    }
    LightEstimate e;
    TestFrame out(320, 240);
    runNeutralPass({}, lit.view(), out.first(), 0, &e);
    EXPECT_TRUE(e.found);
    EXPECT_EQ(e.confidence, 1.0);
    EXPECT_LT(angleDegrees(e.light, cast), 2.0);
    // Half the strength takes half the cast off, in log-chromaticity.
    const NeutralShift full = neutralShift(e, 1.0), half = neutralShift(e, 0.5);
    EXPECT_DOUBLE_EQ(half.red, full.red * 0.5);

    // Grey in, the same grey out, byte for byte.
    TestFrame grey(128, 96);
    for (uint32_t& p : grey.words) {
        const uint32_t v = random.below(256);
        p = v << 16 | v << 8 | v;
    }
    runNeutralPass({}, grey.view(), out.first(), 0, &e);
    for (size_t i = 0; i < grey.words.size(); ++i) ASSERT_EQ(out.words[i], grey.words[i]);

    for (const HeldScene held : {HeldScene::sunset, HeldScene::forest, HeldScene::wall}) {
        TestFrame f(640, 360);
        paintHeldScene(f, random, held);
        const LightEstimate h = estimateLight(f.view(), Transfer::srgb);
        EXPECT_LT(h.confidence, 0.2) << static_cast<int>(held) << ": light " << h.light[0] << ","
                                     << h.light[2] << ", disagreement " << h.disagreement
                                     << ", spread " << h.spread << ", off lights " << h.offLights;
    }
}
