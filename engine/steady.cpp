#include "engine/steady.h"

#include <cmath>

namespace {

// Each of the six levels is smoothed on its own.
constexpr double CorrectionLevels::*allLevels[] = {
    &CorrectionLevels::blackR, &CorrectionLevels::blackG, &CorrectionLevels::blackB,
    &CorrectionLevels::whiteR, &CorrectionLevels::whiteG, &CorrectionLevels::whiteB};

// The held level, moved just far enough to lie within band of the target.
double holdWithin(double held, double target, double band)
{
    if (held < target - band) return target - band;
    if (held > target + band) return target + band;
    return held;
}

// How far the frame's own levels jumped from the last frame's beyond what
// noise moves them: the largest of the six.
double jumpBeyondNoise(const CorrectionLevels& last, const CorrectionLevels& frame)
{
    double jump = 0.0;
    for (double CorrectionLevels::*level : allLevels)
        jump = std::fmax(jump, std::fabs(frame.*level - last.*level) - steadyJumpNoise);
    return jump;
}

}  // namespace

double steadyWeight(double steadySeconds, double frameSeconds)
{
    if (!(steadySeconds > 0.0) || !(frameSeconds > 0.0)) return 1.0;
    return frameSeconds / (steadySeconds + frameSeconds);
}

SteadyState steadyStep(const SteadyState& state, const CorrectionLevels& frame,
                       const SceneSignature& signature, const SteadySettings& settings)
{
    SteadyState next;
    next.started = true;
    next.signature = signature;
    next.newScene =
        !state.started || sceneChange(state.signature, signature) > settings.cutThreshold;
    if (next.newScene) {
        next.smoothed = frame;
        next.levels = frame;
        next.own = frame;
        return next;
    }
    // A scene younger than one time constant follows its running mean, so
    // that a first frame that happened to measure off is not held on to.
    next.sceneAge = state.sceneAge + settings.weight;
    const bool settled = next.sceneAge >= 1.0;
    // The jumps fade as a running mean of steadyJumpMemory time constants
    // would: by M (1 - w) / (M (1 - w) + w) a frame, w the frame's weight.
    // (Plain arithmetic rather than exp, whose last bit differs between C
    // libraries: every build must give the same bytes.)
    const double rest = steadyJumpMemory * (1.0 - settings.weight);
    const double fade = rest / (rest + settings.weight);
    next.own = frame;
    next.jumps = state.jumps * fade + jumpBeyondNoise(state.own, frame);
    const double band = std::fmin(settings.hold + steadyHoldPerJump * next.jumps, steadyHoldWidest);
    for (double CorrectionLevels::*level : allLevels) {
        const double mean = state.smoothed.*level;
        const double smoothed = mean + (frame.*level - mean) * settings.weight;
        next.smoothed.*level = smoothed;
        next.levels.*level =
            settled ? holdWithin(state.levels.*level, smoothed, band) : smoothed;
    }
    return next;
}
