#include "cli/video/frame_correction.h"

#include "engine/classic/bottom_up.h"
#include "engine/classic/steady_pass.h"

namespace {

bool isSteady(const VideoCorrection& c)
{
    return c.steadySeconds > 0.0;
}

// The steady steps, at the turnstile in frame order.
CorrectionLevels steadyLevels(VideoCorrection& c, FrameTurnstile& turnstile, int64_t index,
                              const CorrectionLevels& own, const SceneSignature& signature,
                              double frameSeconds)
{
    const SteadySettings settings{steadyWeight(c.steadySeconds, frameSeconds)};
    CorrectionLevels use{};
    turnstile.pass(index, [&] {
        c.state = steadyStep(c.state, own, signature, settings);
        use = c.state.levels;
    });
    return use;
}

NeutralShift steadyShift(VideoCorrection& c, FrameTurnstile& turnstile, int64_t index,
                         const NeutralBlocks& blocks, const SceneSignature& signature,
                         double frameSeconds)
{
    const double weight = steadyWeight(c.steadySeconds, frameSeconds);
    NeutralShift use{};
    turnstile.pass(index, [&] {
        neutralSteadyStep(*c.neutralState, blocks, signature, weight, c.neutral.strength);
        use = c.neutralState->shift;
    });
    return use;
}

}  // namespace

void correctVideoFrame(VideoCorrection& c, FrameTurnstile& turnstile, int64_t index,
                       const uint32_t* source, uint32_t* destination, int32_t width, int32_t height,
                       double frameSeconds)
{
    if (c.method == Method::neutral && !isSteady(c)) {
        runNeutralPass(c.neutral, {source, width, height, 0}, destination, 0, nullptr, c.topByte);
    } else if (c.method == Method::neutral) {
        runNeutralSteadyPass(c.neutral, source, destination, width, height, c.topByte,
                             [&](const NeutralBlocks& blocks, const SceneSignature& signature) {
                                 return steadyShift(c, turnstile, index, blocks, signature,
                                                    frameSeconds);
                             });
    } else if (!isSteady(c)) {
        BlockLevels levels;
        correctFrame(c.user, source, destination, width, height, levels, c.topByte);
    } else {
        runSteadyPass(c.user, source, destination, width, height, c.topByte,
                      [&](const CorrectionLevels& own, const SceneSignature& signature) {
                          return steadyLevels(c, turnstile, index, own, signature, frameSeconds);
                      });
    }
}

void deepVideoTables(VideoCorrection& c, FrameTurnstile& turnstile, int64_t index,
                     const uint32_t* words, int32_t width, int32_t height, double frameSeconds,
                     int32_t bits, DeepTables& tables)
{
    const FrameView view{words, width, height, 0};
    if (c.method == Method::neutral) {
        NeutralShift shift{};
        if (isSteady(c)) {
            SceneSignature signature;
            NeutralBlocks blocks;  // on the stack, as the 8-bit steady pass keeps it
            measureBlocks(view, c.neutral.transfer, blocks, &signature);
            shift = steadyShift(c, turnstile, index, blocks, signature, frameSeconds);
        } else {
            shift = neutralShift(estimateLight(view, c.neutral.transfer), c.neutral.strength);
        }
        neutralDeepTables(neutralGains(shift), c.neutral.transfer, bits, tables);
        return;
    }
    BlockLevels levels;
    SceneSignature signature;
    analyzeMeasuredBottomUp(c.user, words, width, height, levels,
                            isSteady(c) ? &signature : nullptr);
    const CorrectionLevels use =
        isSteady(c) ? steadyLevels(c, turnstile, index, levels.frame, signature, frameSeconds)
                    : levels.frame;
    classicDeepTables(use, bits, tables);
}

void skipVideoFrame(const VideoCorrection& c, FrameTurnstile& turnstile, int64_t index)
{
    if (isSteady(c)) turnstile.pass(index, [] {});
}
