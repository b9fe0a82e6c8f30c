// Steady levels for video: the frame's six levels smoothed over time, in frame
// order, and started afresh at a scene cut. A host asks for it; the frame pass
// itself knows nothing of it, so its bytes stay the same without it.
//
// Each frame's own levels feed a running mean (a one-pole low-pass whose time
// constant is the user's, in seconds). Once a scene is a time constant old,
// the levels the correction uses move only when the running mean leaves a
// band around them, and only as far as its edge: a scene whose levels wander
// within the band, as light and noise make them, keeps one correction, and a
// steady drift is followed smoothly, the band's width behind. (Before that
// they are the running mean itself.)
//
// The band is steadyHold wide while the frame's own levels move smoothly, and
// widens when they jump from one frame to the next by more than noise does:
// then something is crossing the measured blocks (a person walking through,
// a car), whose levels are not the scene's and which leaves again after a few
// seconds. Following it would make the picture pump; a pan or a change of
// light moves the levels gradually and keeps the band narrow, so it is
// followed closely.
//
// A frame whose blocks 8 and 9 look unlike the frame before (sceneChange
// above steadyCutThreshold) starts a new scene and is corrected with its own
// levels. The correction itself is steady_correct.h's, continuous in the
// levels.
#pragma once

#include "engine/classic/block_levels.h"
#include "engine/scene_change.h"

// Chosen on generated clips (bench/steady_measure.cpp): within a shot, noise,
// a slow change of light and pans of up to a fortieth of the width a frame
// change the blocks by at most 0.09; the cuts between differently cast scenes
// there change them by 0.30 or more.
constexpr double steadyCutThreshold = 0.15;
// In levels: the narrowest band, kept while the levels move smoothly. Without
// a band a still scene's levels wander with the noise; each band width costs
// as much lag on a drift.
constexpr double steadyHold = 0.5;
// The band widens by steadyHoldPerJump for every level a frame's own level
// jumps beyond steadyJumpNoise from the frame before (the largest of the six),
// up to steadyHoldWidest, and the widening fades over steadyJumpMemory time
// constants. On the generated clips the per-frame levels of a still or slowly
// panning scene jump by at most 1.17 levels with the noise; a figure entering
// or leaving the measured blocks moves them by 2 to 4 at once.
constexpr double steadyJumpNoise = 1.25;
constexpr double steadyHoldPerJump = 0.4;
constexpr double steadyHoldWidest = 3.0;
constexpr double steadyJumpMemory = 10.0;

struct SteadySettings {
    double weight;  // share of each frame's own levels in the running mean, 0..1
    double cutThreshold = steadyCutThreshold;
    double hold = steadyHold;  // the narrowest band
};

// The band's rule in the units of the values a steady track smooths: the
// classic's six levels, or the neutral correction's shift.
struct SteadyBand {
    double hold;        // the narrowest band
    double jumpNoise;   // frame-to-frame moves noise makes, at most
    double perJump;     // widening for each unit jumped beyond the noise
    double widest;      // the widest band
};

// What a steady track of count values carries from frame to frame.
struct SteadyTrackStep {
    const double* frame;  // this frame's own values
    const double* own;    // the last frame's own values
    const double* mean;   // the running mean after the last frame
    const double* held;   // the values the last frame was corrected with
    double jumps;         // the last frame's fading jumps
};

// One frame of a track within a scene (not its first frame): the running
// means and the held values into mean and held, and the fading jumps
// returned. settled: the scene is a time constant old, so the values hold
// within the band; before that they follow the running mean.
double steadyTrack(int count, const SteadyTrackStep& last, double weight, bool settled,
                   const SteadyBand& band, double* mean, double* held);

// Whether a frame starts a new scene: the first frame, or one whose
// signature lies further than cutThreshold from the last frame's.
bool steadyNewScene(bool started, const SceneSignature& last, const SceneSignature& signature,
                    double cutThreshold);

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
    CorrectionLevels own{};       // the last frame's own levels
    double jumps = 0.0;           // levels jumped beyond noise, fading: widens the band
    SceneSignature signature{};   // the last frame's
};

// One frame, in frame order: its own levels and its signature from the
// analysis (analyzeMeasuredBlocks or analyzeFrame) in, the next state out, whose
// levels are the ones to correct this frame with.
SteadyState steadyStep(const SteadyState& state, const CorrectionLevels& frame,
                       const SceneSignature& signature, const SteadySettings& settings);
