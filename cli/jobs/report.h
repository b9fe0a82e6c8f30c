// What `velto analyze` prints for a frame: plain text for people, or one JSON
// object a line.
#pragma once

#include <cstdint>
#include <string>

#include "engine/classic/block_levels.h"
#include "engine/neutral/light_estimate.h"
#include "engine/neutral/neutral_gains.h"
#include "engine/neutral/neutral_steady.h"
#include "engine/steady.h"

// The neutral correction's side of a frame's report.
struct NeutralReport {
    LightEstimate estimate;  // the frame's own
    double strength = 1.0;
    // With --steady: the state whose shift the correction uses instead of
    // the frame's own.
    const NeutralSteadyState* steady = nullptr;
};

struct FrameReport {
    int64_t frame;
    int32_t width, height;
    int32_t levelR, levelG, levelB;
    const BlockLevels* levels;
    bool blocks;  // also the sixteen block estimates
    const std::string* file = nullptr;  // named first when several files are reported
    // With --steady: the levels the correction uses instead of the frame's
    // own, which are then reported as measured, and whether a scene starts.
    const SteadyState* steady = nullptr;
    // The neutral correction's estimate, when that is the method; the
    // classic's levels are then reported beside it in JSON.
    const NeutralReport* neutral = nullptr;
};

// The shortest text that reads back as the same double; "null" for a value
// that is not finite, which JSON cannot hold (the block estimates of a frame
// under 4 x 4 pixels are 0 / 0).
void appendJsonNumber(std::string& out, double value);

// A JSON string of text's bytes. Bytes that are not UTF-8 (a file name can
// hold any) become U+FFFD, since JSON text is UTF-8.
void appendJsonString(std::string& out, const std::string& text);

// One line, ending in '\n'.
std::string jsonReport(const FrameReport& report);
std::string textReport(const FrameReport& report);
