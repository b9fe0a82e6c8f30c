// Steady levels over time: cuts told from noise, levels that hold, follow
// and start again at a cut.
#include <algorithm>
#include <cstring>

#include <gtest/gtest.h>

#include "engine/frame_pass.h"
#include "engine/steady.h"
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

    // The frames measure red's black point 3 higher. The running mean moves
    // 11.5, 12.25, 12.625: in the scene's first time constant (two frames at
    // this weight) the levels are the mean, then they hold while it is within
    // 0.75 of them, then follow 0.75 behind.
    CorrectionLevels higher = first;
    higher.blackR = 13.0;
    for (double expected : {11.5, 11.5, 11.875}) {
        state = steadyStep(state, higher, scene, half);
        EXPECT_FALSE(state.newScene);
        EXPECT_EQ(state.levels.blackR, expected);
        EXPECT_EQ(state.levels.whiteB, 240.0);
    }
    // A cut: the new scene's own levels at once.
    const CorrectionLevels cut = {2.0, 0.0, 9.0, 255.0, 230.0, 250.0};
    state = steadyStep(state, cut, other, half);
    EXPECT_TRUE(state.newScene);
    EXPECT_EQ(0, std::memcmp(&state.levels, &cut, sizeof cut));
}
