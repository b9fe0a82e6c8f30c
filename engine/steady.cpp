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

}  // namespace

double steadyWeight(double steadySeconds, double frameSeconds)
{
    if (!(steadySeconds > 0.0) || !(frameSeconds > 0.0)) return 1.0;
    return frameSeconds / (steadySeconds + frameSeconds);
}

double steadyTrack(int count, const SteadyTrackStep& last, double weight, bool settled,
                   const SteadyBand& band, double* mean, double* held)
{
    // The jumps fade as a running mean of steadyJumpMemory time constants
    // would: by M (1 - w) / (M (1 - w) + w) a frame, w the frame's weight.
    // (Plain arithmetic rather than exp, whose last bit differs between C
    // libraries: every build must give the same bytes.)
    const double rest = steadyJumpMemory * (1.0 - weight);
    const double fade = rest / (rest + weight);
    // How far the frame's own values jumped from the last frame's beyond
    // what noise moves them: the largest of them.
    double jump = 0.0;
    for (int i = 0; i < count; ++i)
        jump = std::fmax(jump, std::fabs(last.frame[i] - last.own[i]) - band.jumpNoise);
    const double jumps = last.jumps * fade + jump;
    const double width = std::fmin(band.hold + band.perJump * jumps, band.widest);
    for (int i = 0; i < count; ++i) {
        const double m = last.mean[i];
        mean[i] = m + (last.frame[i] - m) * weight;
        held[i] = settled ? holdWithin(last.held[i], mean[i], width) : mean[i];
    }
    return jumps;
}

bool steadyNewScene(bool started, const SceneSignature& last, const SceneSignature& signature,
                    double cutThreshold)
{
    return !started || sceneChange(last, signature) > cutThreshold;
}

SteadyState steadyStep(const SteadyState& state, const CorrectionLevels& frame,
                       const SceneSignature& signature, const SteadySettings& settings)
{
    SteadyState next;
    next.started = true;
    next.signature = signature;
    next.newScene = steadyNewScene(state.started, state.signature, signature, settings.cutThreshold);
    if (next.newScene) {
        next.smoothed = frame;
        next.levels = frame;
        next.own = frame;
        return next;
    }
    // A scene younger than one time constant follows its running mean, so
    // that a first frame that happened to measure off is not held on to.
    next.sceneAge = state.sceneAge + settings.weight;
    next.own = frame;
    double in[4][6], mean[6], held[6];
    for (int i = 0; i < 6; ++i) {
        in[0][i] = frame.*allLevels[i];
        in[1][i] = state.own.*allLevels[i];
        in[2][i] = state.smoothed.*allLevels[i];
        in[3][i] = state.levels.*allLevels[i];
    }
    const SteadyBand band = {settings.hold, steadyJumpNoise, steadyHoldPerJump, steadyHoldWidest};
    next.jumps = steadyTrack(6, {in[0], in[1], in[2], in[3], state.jumps}, settings.weight,
                             next.sceneAge >= 1.0, band, mean, held);
    for (int i = 0; i < 6; ++i) {
        next.smoothed.*allLevels[i] = mean[i];
        next.levels.*allLevels[i] = held[i];
    }
    return next;
}
