// The correction of one frame, on the engine's methods, as the command-line
// tool runs them: a frame's analysis first (its levels or its light, stepped
// through the steady state in frame order), then every pixel mapped through
// one table per channel, which the filter's shader applies on the GPU
// (correctionTables).
#pragma once

#include <cstdint>

#include "engine/classic/block_levels.h"
#include "engine/neutral/neutral_correct.h"
#include "engine/neutral/neutral_steady.h"
#include "engine/steady.h"
#include "obs/filter_settings.h"

// What carries from frame to frame. About 100 KB: held in the heap-made filter.
struct CorrectionState {
    FilterSettings settings;  // the last frame's: a change starts afresh
    bool started = false;
    uint64_t lastTime = 0;    // the last frame's time stamp, in nanoseconds
    double period = 0.0;      // the step before it, in seconds; 0 before the second frame
    SteadyState classic;
    NeutralSteadyState neutral;
};

// A frame's correction once its analysis is done: each channel's map.
struct FrameCorrection {
    enum class Kind { classicFrame, classicSteady, neutral } kind = Kind::neutral;
    CorrectionLevels levels{};  // classicFrame and classicSteady
    NeutralTables tables{};     // neutral
};

// How far a frame lies from the one before in seconds, or a restart: the
// first frame, time standing still or going back (a media file looping, a
// seek), or a jump ahead of more than four frame periods.
struct FrameStep {
    bool restart;
    double seconds;
};
FrameStep stepFrameTime(CorrectionState& state, uint64_t timestamp);

// The analysis of a picture of BGRA words, top row first, its rows' gap
// whole words (the top byte is alpha, never read), at the frame's time stamp.
FrameCorrection analyseFrame(CorrectionState& state, const FilterSettings& settings,
                             const FrameView& view, uint64_t timestamp);

// The maps that change nothing: word v holds v in blue, green and red.
void identityTables(uint32_t* words);

// The three maps as 256 BGRA words: word v holds blue's, green's and red's
// value for v in its blue, green and red bytes, 255 in the top one.
void correctionTables(const FrameCorrection& correction, uint32_t* words);
