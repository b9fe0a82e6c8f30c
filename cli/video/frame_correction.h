// One video frame through the filter: on its own levels as the plug-in does,
// or on steady levels carried from frame to frame. The pictures are 32-bit
// words stored top row first and handed to the engine bottom row first, so a
// frame's bytes equal those of 'velto apply --raw' on the same pixels.
#pragma once

#include <cstdint>

#include "cli/io/frame_queue.h"
#include "engine/classic/correct.h"
#include "engine/classic/strengths.h"
#include "engine/frame_view.h"
#include "engine/steady.h"

struct VideoCorrection {
    Strengths user;
    double steadySeconds;  // 0: each frame on its own levels
    TopByte topByte;       // carried where the video has alpha
    SteadyState state{};   // what steady levels carry from frame to frame
};

// Corrects frame index. Several frames may be corrected at once: with
// steady levels, the one step that carries from frame to frame waits at the
// turnstile for the frames before. frameSeconds is the time since the frame
// before, from the two frames' time stamps (0 for the first).
void correctVideoFrame(VideoCorrection& c, FrameTurnstile& turnstile, int64_t index,
                       const uint32_t* source, uint32_t* destination, int32_t width, int32_t height,
                       double frameSeconds);
// A frame that is not corrected (it failed before) still takes its turn.
void skipVideoFrame(const VideoCorrection& c, FrameTurnstile& turnstile, int64_t index);
