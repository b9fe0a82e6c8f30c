// Steady neutral correction for video. A still scene's estimate from one
// frame wanders with the noise and with whatever crosses the picture, and a
// correction that followed it would pump. So the scene's blocks (their
// brightest values in linear light) are pooled over time, a running mean of
// the user's time constant per block, and the light is estimated from the
// pool: noise is averaged before the estimate, not after it. A block that
// changes at once by more than neutralForegroundChange (a figure walking in
// front of the scene, a car) is taken into the pool neutralForegroundShare
// as fast, so that passing things leave the scene's light alone while a
// pan, which changes blocks bit by bit, or a change of light, which
// changes all of them a little, is followed. The shift from the pool is
// then held within a narrow band, as the classic's steady levels are
// (steady.h), and moves by at most neutralSlewPerTimeConstant each time
// constant: the estimate of a slowly changing pool can still jump, where
// one block takes over the white patch from another, and the picture must
// not. A scene cut starts a new pool from the cut's own frame.
#pragma once

#include "engine/neutral/light_estimate.h"
#include "engine/neutral/neutral_gains.h"
#include "engine/scene_change.h"

// A block whose light in some channel moves by more than this share of the
// larger of its old and new value, from the pool to the frame.
constexpr double neutralForegroundChange = 0.25;
constexpr double neutralForegroundShare = 0.1;
// In units of the shift: 0.1 is a 10 % change of a channel against green,
// about 4 levels of an 8-bit value near white, spread over a time constant.
constexpr double neutralSlewPerTimeConstant = 0.05;

struct NeutralSteadyState {
    bool started = false;
    bool newScene = false;       // the last frame started a new scene
    double sceneAge = 0.0;       // time constants since then
    NeutralBlocks pool{};        // the scene's blocks, pooled
    LightEstimate estimate{};    // of the pool
    NeutralShift smoothed{};     // the pool's shift
    NeutralShift shift{};        // the shift to correct the last frame with
    NeutralShift own{};          // the pool's shift at the last frame
    double jumps = 0.0;          // beyond noise, fading: widens the band
    SceneSignature signature{};  // the last frame's
};

// One frame, in frame order, updating state; state.shift is the shift to
// correct the frame with. weight is steadyWeight(seconds, frameSeconds);
// strength 0..1, as for neutralShift.
void neutralSteadyStep(NeutralSteadyState& state, const NeutralBlocks& frame,
                       const SceneSignature& signature, double weight, double strength);
