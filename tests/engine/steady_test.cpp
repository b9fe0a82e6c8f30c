// Steady levels over time: cuts told from noise, levels that follow and
// start again at a cut; the steady correction's kernels against the plain
// stretch in doubles and against each other.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "engine/classic/frame_pass.h"
#include "engine/cpu_features.h"
#include "engine/steady.h"
#include "engine/classic/steady_correct.h"
#include "tests/support/pictures.h"

namespace {

// A picture of values from low up to low + range, with a cast and noise:
// another seed of noise is the same scene in another frame.
SceneSignature signatureOf(uint32_t low, uint32_t range, uint32_t cast, uint32_t noise)
{
    Random content{1}, grain{noise};
    TestFrame f(160, 120);
    for (uint32_t& p : f.words) {
        const uint32_t v = low + content.below(range), n = grain.below(7);
        p = rgb(std::min(255u, v + n + (cast >> 16)), (v + n) / 2 + (cast >> 8 & 0xFF),
                std::min(255u, v + n / 2 + (cast & 0xFF)));
    }
    BlockLevels l;
    SceneSignature signature;
    analyzeMeasuredBlocks(defaultStrengths, f.view(), l, &signature);
    return signature;
}

}  // namespace

TEST(Steady, ACutIsToldFromNoise)
{
    const SceneSignature a = signatureOf(20, 200, 0x200010, 1);
    EXPECT_EQ(sceneChange(a, a), 0.0);
    EXPECT_LT(sceneChange(a, signatureOf(20, 200, 0x200010, 2)), steadyCutThreshold / 4);
    EXPECT_GT(sceneChange(a, signatureOf(20, 200, 0x003040, 3)), steadyCutThreshold);  // recast
    EXPECT_GT(sceneChange(a, signatureOf(60, 80, 0x200010, 4)), steadyCutThreshold);   // flatter
    EXPECT_EQ(steadyWeight(1.0, 0.25), 0.2);
    EXPECT_EQ(steadyWeight(0.0, 0.04), 1.0);  // no time constant: every frame its own
}

TEST(Steady, LevelsHoldFollowAndStartAgainAtACut)
{
    const SceneSignature scene = signatureOf(20, 200, 0, 1), other = signatureOf(60, 80, 0, 1);
    const SteadySettings half = {0.5};
    const CorrectionLevels first = {10.0, 5.0, 0.5, 250.0, 255.0, 240.0};
    SteadyState state = steadyStep({}, first, scene, half);
    EXPECT_TRUE(state.newScene);
    EXPECT_EQ(0, std::memcmp(&state.levels, &first, sizeof first));

    // Red's black point drifts up a level a frame, within what noise moves
    // it. The running mean goes 10.5, 11.25, 12.125, 12.5625, 12.78125: in
    // the scene's first time constant (two frames at this weight) the levels
    // are the mean, then they hold while it is within 0.5 of them and follow
    // 0.5 behind.
    SteadyState drift = state;
    for (const auto& [measured, expected] :
         {std::pair{11.0, 10.5}, {12.0, 10.75}, {13.0, 11.625}, {13.0, 12.0625}, {13.0, 12.28125}}) {
        CorrectionLevels frame = first;
        frame.blackR = measured;
        drift = steadyStep(drift, frame, scene, half);
        EXPECT_FALSE(drift.newScene);
        EXPECT_EQ(drift.levels.blackR, expected);
        EXPECT_EQ(drift.levels.whiteB, 240.0);
    }
    // The same rise in one jump, as something crossing the blocks gives:
    // the band widens and the levels hold at the first time constant's mean
    // where a band of 0.5 would have moved them to 11.75.
    CorrectionLevels higher = first;
    higher.blackR = 13.0;
    state = steadyStep(state, higher, scene, half);
    EXPECT_EQ(state.levels.blackR, 11.5);
    state = steadyStep(state, higher, scene, half);
    EXPECT_EQ(state.levels.blackR, 11.5);
    // A cut: the new scene's own levels at once.
    const CorrectionLevels cut = {2.0, 0.0, 9.0, 255.0, 230.0, 250.0};
    state = steadyStep(state, cut, other, half);
    EXPECT_TRUE(state.newScene);
    EXPECT_EQ(0, std::memcmp(&state.levels, &cut, sizeof cut));
}

namespace {

// The plain stretch in doubles, written apart from the engine's. near is set
// where the exact stretch lies within 0.02 of a rounding edge, where the
// fixed-point form may give the byte one off.
uint8_t stretched(uint32_t v, double black, double white, bool& near)
{
    const double exact = (double(v) - black) * 255.0 / (white - black) + 0.5;
    near = near || std::fabs(exact - std::round(exact)) < 0.02;
    const double x = std::floor(exact);
    return static_cast<uint8_t>(x > 0.0 ? std::fmin(x, 255.0) : 0.0);
}

CorrectionLevels randomLevels(Random& random)
{
    // Blacks 0..95 and spans 136..255, as levels 1..40 give, and now and
    // then a narrow span; whites past 255 as a seek's first steady frame can
    // leave them.
    CorrectionLevels l;
    double* blacks[3] = {&l.blackR, &l.blackG, &l.blackB};
    double* whites[3] = {&l.whiteR, &l.whiteG, &l.whiteB};
    for (int c = 0; c < 3; ++c) {
        *blacks[c] = random.unit() * 96.0;
        const double span = random.below(8) == 0 ? 8.0 + random.unit() * 128.0 : 136.0 + random.unit() * 120.0;
        *whites[c] = *blacks[c] + span;
    }
    return l;
}

}  // namespace

TEST(SteadyCorrection, EveryKernelGivesThePlainStretch)
{
    Random random{77};
    int forms = 0, runs = 0, checked = 0, nearEdges = 0;
    for (int round = 0; round < 300; ++round) {
        const CorrectionLevels l = randomLevels(random);
        const TopByte top = round % 2 ? TopByte::carried : TopByte::cleared;
        const int32_t width = 1 + int32_t(random.below(40)), height = 1 + int32_t(random.below(3));
        std::vector<uint32_t> source(size_t(width) * size_t(height));
        for (uint32_t& p : source) p = random.word();
        const double spans[3] = {l.whiteR - l.blackR, l.whiteG - l.blackG, l.whiteB - l.blackB};
        SteadyFixed fixed;
        const bool formed = steadyFixed(l, top, fixed);
        const bool inRange = *std::min_element(spans, spans + 3) >= 128.0;
        EXPECT_EQ(formed, inRange) << "spans " << spans[0] << ", " << spans[1] << ", " << spans[2];
        forms += formed;
        for (const SteadyKernelId id : steadyKernelIds) {
            std::vector<uint32_t> out(source.size(), 0xDEADBEEF);
            if (!correctSteadyPixelsWith(id, l, source.data(), out.data(), width, height, top)) continue;
            ++runs;
            for (size_t i = 0; i < source.size(); ++i) {
                const uint32_t p = source[i];
                bool near = false;
                ++checked;
                const uint32_t expected = uint32_t{stretched(p >> 16 & 0xFF, l.blackR, l.whiteR, near)} << 16 |
                                          uint32_t{stretched(p >> 8 & 0xFF, l.blackG, l.whiteG, near)} << 8 |
                                          stretched(p & 0xFF, l.blackB, l.whiteB, near) |
                                          (top == TopByte::carried ? p & 0xFF000000u : 0u);
                if (!near) {
                    ASSERT_EQ(out[i], expected) << steadyKernelName(id) << " pixel " << i;
                    continue;
                }
                ++nearEdges;
                for (int shift = 0; shift < 32; shift += 8)
                    ASSERT_LE(std::abs(int(out[i] >> shift & 0xFF) - int(expected >> shift & 0xFF)), 1)
                        << steadyKernelName(id) << " pixel " << i;
            }
        }
    }
    EXPECT_GT(forms, 150);
    EXPECT_GE(runs, 300 + forms);  // the table kernel always, the plain fixed one wherever there is a form
    EXPECT_LT(nearEdges, checked / 8);  // a few pixels, not a loose test
}

TEST(SteadyCorrection, SimdKernelsGiveTheirPlainTwinsBytes)
{
    using Kernel = void (*)(const uint8_t*, uint8_t*, int32_t, const SteadyFixed&);
    std::vector<Kernel> kernels;
#if defined(VELTO_HAS_STEADY_SSE2)
    kernels.push_back(steadyRowFixedSse2);
#endif
#if defined(VELTO_HAS_STEADY_AVX2)
    if (cpuRunsAvx2()) kernels.push_back(steadyRowFixedAvx2);
#endif
    if (kernels.empty()) GTEST_SKIP() << "no SIMD kernel here";
    Random random{5};
    for (int round = 0; round < 200; ++round) {
        // Any black points and gains, not only the levels' own forms.
        SteadyFixed fixed;
        for (int lane = 0; lane < 4; ++lane) {
            fixed.lift[lane] = uint8_t(random.word());
            fixed.black[lane] = uint16_t(random.word() >> (random.below(2) ? 16 : 20));
            fixed.gain[lane] = uint16_t(random.word() >> 16);
        }
        const int32_t count = int32_t(random.below(70));
        std::vector<uint32_t> source(size_t(count) + 1);
        for (uint32_t& p : source) p = random.word();
        std::vector<uint32_t> plain(source.size(), 7);
        const auto* from = reinterpret_cast<const uint8_t*>(source.data());
        steadyRowFixed(from, reinterpret_cast<uint8_t*>(plain.data()), count, fixed);
        for (const Kernel kernel : kernels) {
            std::vector<uint32_t> simd(source.size(), 7);
            kernel(from, reinterpret_cast<uint8_t*>(simd.data()), count, fixed);
            ASSERT_EQ(plain, simd) << "round " << round;  // the word past count untouched too
        }
    }
}

TEST(SteadyCorrection, InPlace)
{
    Random random{9};
    std::vector<uint32_t> frame(333);
    for (uint32_t& p : frame) p = random.word();
    const CorrectionLevels l = {10.25, 3.5, 0.0, 240.75, 255.0, 230.5};
    std::vector<uint32_t> apart(frame.size());
    correctSteadyPixels(l, frame.data(), apart.data(), 37, 9, TopByte::carried);
    correctSteadyPixels(l, frame.data(), frame.data(), 37, 9, TopByte::carried);
    EXPECT_EQ(frame, apart);
}
