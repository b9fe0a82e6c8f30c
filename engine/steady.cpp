#include "engine/steady.h"

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
        return next;
    }
    // A scene younger than one time constant follows its running mean, so
    // that a first frame that happened to measure off is not held on to.
    next.sceneAge = state.sceneAge + settings.weight;
    const bool settled = next.sceneAge >= 1.0;
    for (double CorrectionLevels::*level : allLevels) {
        const double mean = state.smoothed.*level;
        const double smoothed = mean + (frame.*level - mean) * settings.weight;
        next.smoothed.*level = smoothed;
        next.levels.*level =
            settled ? holdWithin(state.levels.*level, smoothed, settings.hold) : smoothed;
    }
    return next;
}
