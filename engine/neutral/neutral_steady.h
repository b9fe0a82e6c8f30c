// Steady neutral correction for video: each frame's shift (the share of its
// light's cast to take off, in log-chromaticity) smoothed over time in frame
// order, held within a band so that a still scene keeps one correction, and
// started afresh at a scene cut. As the classic's steady levels do
// (steady.h), in the units of the shift.
#pragma once

#include "engine/neutral/neutral_gains.h"
#include "engine/scene_change.h"

struct NeutralSteadyState {
    bool started = false;
    bool newScene = false;       // the last frame started a new scene
    double sceneAge = 0.0;       // time constants since then
    NeutralShift smoothed{};     // the running mean of the frames' own shifts
    NeutralShift shift{};        // the shift to correct the last frame with
    NeutralShift own{};          // the last frame's own
    double jumps = 0.0;          // beyond noise, fading: widens the band
    SceneSignature signature{};  // the last frame's
};

// One frame, in frame order; weight is steadyWeight(seconds, frameSeconds).
NeutralSteadyState neutralSteadyStep(const NeutralSteadyState& state, const NeutralShift& own,
                                     const SceneSignature& signature, double weight);
