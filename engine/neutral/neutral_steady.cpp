#include "engine/neutral/neutral_steady.h"

#include "engine/steady.h"

namespace {

// In units of the shift (natural log of a channel ratio): 0.01 is a 1 %
// change of a channel against green. The narrowest band holds the
// frame-to-frame wander of a still scene's estimate; the rest follows the
// classic's proportions (steady.h).
constexpr double neutralSteadyHold = 0.004;
constexpr double neutralJumpNoise = 0.01;
constexpr SteadyBand neutralBand = {neutralSteadyHold, neutralJumpNoise, steadyHoldPerJump,
                                    neutralSteadyHold * (steadyHoldWidest / steadyHold)};

}  // namespace

NeutralSteadyState neutralSteadyStep(const NeutralSteadyState& state, const NeutralShift& own,
                                     const SceneSignature& signature, double weight)
{
    NeutralSteadyState next;
    next.started = true;
    next.signature = signature;
    next.own = own;
    next.newScene = steadyNewScene(state.started, state.signature, signature, steadyCutThreshold);
    if (next.newScene) {
        next.smoothed = own;
        next.shift = own;
        return next;
    }
    next.sceneAge = state.sceneAge + weight;
    const double frame[2] = {own.red, own.blue}, last[2] = {state.own.red, state.own.blue},
                 mean[2] = {state.smoothed.red, state.smoothed.blue},
                 held[2] = {state.shift.red, state.shift.blue};
    double outMean[2], outHeld[2];
    next.jumps = steadyTrack(2, {frame, last, mean, held, state.jumps}, weight,
                             next.sceneAge >= 1.0, neutralBand, outMean, outHeld);
    next.smoothed = {outMean[0], outMean[1]};
    next.shift = {outHeld[0], outHeld[1]};
    return next;
}
