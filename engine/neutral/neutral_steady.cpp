#include "engine/neutral/neutral_steady.h"

#include <cmath>

#include "engine/steady.h"

namespace {

// In units of the shift (natural log of a channel ratio): 0.01 is a 1 %
// change of a channel against green. The narrowest band holds what noise
// is left in the pool's estimate of a still scene (up to 0.01 on the
// generated clips of bench/steady_measure); the rest follows the classic's
// proportions (steady.h).
constexpr double neutralSteadyHold = 0.012;
constexpr double neutralJumpNoise = 0.03;
constexpr SteadyBand neutralBand = {neutralSteadyHold, neutralJumpNoise, steadyHoldPerJump,
                                    neutralSteadyHold * (steadyHoldWidest / steadyHold)};

// How far a block moved from the pool, as a share of the larger value.
double blockChange(const BlockLight& pooled, const BlockLight& frame)
{
    double most = 0.0;
    for (int32_t c = 0; c < 3; ++c) {
        const double a = pooled.c[c], b = frame.c[c];
        const double larger = a > b ? a : b;
        if (larger > 0.0) most = std::fmax(most, std::fabs(a - b) / larger);
    }
    return most;
}

void poolBlocks(NeutralBlocks& pool, const NeutralBlocks& frame, double weight)
{
    const int64_t count = int64_t{frame.grid.across} * frame.grid.down;
    const float foreground = static_cast<float>(weight * neutralForegroundShare);
    const float background = static_cast<float>(weight);
    for (int64_t i = 0; i < count; ++i) {
        BlockLight& p = pool.light[i];
        const BlockLight& f = frame.light[i];
        const float w = blockChange(p, f) > neutralForegroundChange ? foreground : background;
        for (int32_t c = 0; c < 3; ++c) p.c[c] = p.c[c] + (f.c[c] - p.c[c]) * w;
    }
}

}  // namespace

void neutralSteadyStep(NeutralSteadyState& state, const NeutralBlocks& frame,
                       const SceneSignature& signature, double weight, double strength)
{
    const bool sameGrid = state.pool.grid.across == frame.grid.across &&
                          state.pool.grid.down == frame.grid.down;
    state.newScene = !sameGrid ||
                     steadyNewScene(state.started, state.signature, signature, steadyCutThreshold);
    state.started = true;
    state.signature = signature;
    if (state.newScene) {
        state.pool = frame;
        state.estimate = estimateFromBlocks(state.pool);
        state.sceneAge = 0.0;
        state.jumps = 0.0;
        state.own = state.smoothed = state.shift = neutralShift(state.estimate, strength);
        return;
    }
    poolBlocks(state.pool, frame, weight);
    state.estimate = estimateFromBlocks(state.pool);
    const NeutralShift own = neutralShift(state.estimate, strength);
    state.sceneAge = state.sceneAge + weight;
    // The pool is already the running mean: the track is given the pool's
    // shift as its mean, and only holds it within the band.
    const double frameShift[2] = {own.red, own.blue}, last[2] = {state.own.red, state.own.blue},
                 held[2] = {state.shift.red, state.shift.blue};
    double outMean[2], outHeld[2];
    state.jumps = steadyTrack(2, {frameShift, last, frameShift, held, state.jumps}, weight,
                              state.sceneAge >= 1.0, neutralBand, outMean, outHeld);
    // A frame is weight / (1 - weight) time constants long.
    const double most = weight < 1.0 ? neutralSlewPerTimeConstant * weight / (1.0 - weight) : 1e9;
    const auto slewed = [most](double from, double to) {
        return to > from + most ? from + most : to < from - most ? from - most : to;
    };
    state.own = own;
    state.smoothed = own;
    state.shift = {slewed(state.shift.red, outHeld[0]), slewed(state.shift.blue, outHeld[1])};
}
