// Steady levels for video: the frame's six levels smoothed over time, in frame
// order, and started afresh at a scene cut. A host asks for it; the frame pass
// itself knows nothing of it, so its bytes stay the same without it.
//
// Each frame's own levels feed a running mean (a one-pole low-pass whose time
// constant is the user's, in seconds). Once a scene is a time constant old,
// the levels the correction uses move only when the running mean leaves a
// band of steadyHold around them, and only as far as its edge: a scene whose
// levels wander within the band, as light and noise make them, keeps one
// correction, and a steady drift is followed smoothly, steadyHold behind.
// (Before that they are the running mean itself.) A frame whose blocks 8 and
// 9 look unlike the frame before (sceneChange above steadyCutThreshold)
// starts a new scene and is corrected with its own levels. The correction
// itself is steady_correct.h's, continuous in the levels.
#pragma once

#include "engine/block_levels.h"
#include "engine/scene_change.h"

// Chosen on generated clips (bench/steady_measure.cpp): within a shot, noise,
// a slow change of light and pans of up to a fortieth of the width a frame
// change the blocks by at most 0.09; the cuts between differently cast scenes
// there change them by 0.30 or more.
constexpr double steadyCutThreshold = 0.15;
// In levels. It was made to keep the correction's gain and black bytes from
// stepping; the tables of steady_correct.h no longer step, and it stays for
// the flicker it still takes away, which costs as much lag on a drift. On the
// generated clips (--steady 1), with the band and without (0): the walkers'
// flicker 1.14 and 1.24 x the input's, the still scene's 1.03 and 1.06; the
// slow pan 2.10 and 1.91 levels from the per-frame levels of 1 s before.
constexpr double steadyHold = 0.75;

struct SteadySettings {
    double weight;  // share of each frame's own levels in the running mean, 0..1
    double cutThreshold = steadyCutThreshold;
    double hold = steadyHold;
};

// The weight for a time constant of steadySeconds and frames frameSeconds
// apart (a frame's share of the running mean). 1, no smoothing, when either
// is not above 0.
double steadyWeight(double steadySeconds, double frameSeconds);

// What carries from one frame to the next. A default-made state has seen no
// frame: the next frame starts a scene.
struct SteadyState {
    bool started = false;
    bool newScene = false;        // the last frame started a new scene
    double sceneAge = 0.0;        // time constants since then: the weights summed
    CorrectionLevels smoothed{};  // the running mean of the frames' own levels
    CorrectionLevels levels{};    // the levels to correct the last frame with
    SceneSignature signature{};   // the last frame's
};

// One frame, in frame order: its own levels and its signature from the
// analysis (analyzeMeasuredBlocks or analyzeFrame) in, the next state out, whose
// levels are the ones to correct this frame with.
SteadyState steadyStep(const SteadyState& state, const CorrectionLevels& frame,
                       const SceneSignature& signature, const SteadySettings& settings);
