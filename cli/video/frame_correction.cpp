#include "cli/video/frame_correction.h"

#include "engine/classic/bottom_up.h"
#include "engine/classic/steady_pass.h"

void correctVideoFrame(VideoCorrection& c, FrameTurnstile& turnstile, int64_t index,
                       const uint32_t* source, uint32_t* destination, int32_t width, int32_t height,
                       double frameSeconds)
{
    if (!(c.steadySeconds > 0.0)) {
        BlockLevels levels;
        correctFrame(c.user, source, destination, width, height, levels, c.topByte);
        return;
    }
    const SteadySettings settings{steadyWeight(c.steadySeconds, frameSeconds)};
    runSteadyPass(c.user, source, destination, width, height, c.topByte,
                  [&](const CorrectionLevels& own, const SceneSignature& signature) {
                      CorrectionLevels use{};
                      turnstile.pass(index, [&] {
                          c.state = steadyStep(c.state, own, signature, settings);
                          use = c.state.levels;
                      });
                      return use;
                  });
}

void skipVideoFrame(const VideoCorrection& c, FrameTurnstile& turnstile, int64_t index)
{
    if (c.steadySeconds > 0.0) turnstile.pass(index, [] {});
}
