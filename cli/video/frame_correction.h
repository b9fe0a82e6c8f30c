// One video frame through the filter: the classic correction or the neutral
// one, on the frame's own analysis or on steady levels (a steady light for
// the neutral correction) carried from frame to frame. The pictures are
// 32-bit words stored top row first and handed to the engine as 'velto apply
// --raw' hands them, so a frame's bytes equal its bytes on the same pixels.
// Pictures deeper than 8 bits are analysed in those words and corrected at
// their own depth through tables (deep_tables.h).
#pragma once

#include <cstdint>
#include <memory>

#include "cli/arguments.h"
#include "cli/io/frame_queue.h"
#include "engine/classic/correct.h"
#include "engine/classic/strengths.h"
#include "engine/deep_tables.h"
#include "engine/frame_view.h"
#include "engine/neutral/neutral_pass.h"
#include "engine/neutral/neutral_steady.h"
#include "engine/steady.h"

struct VideoCorrection {
    Method method = Method::neutral;
    Strengths user = defaultStrengths;  // the classic's levels
    NeutralSettings neutral{};          // the strength, and the stream's own transfer
    double steadySeconds = 0.0;         // 0: each frame on its own
    TopByte topByte = TopByte::cleared; // carried where the video has alpha
    // What the steady correction carries from frame to frame; the neutral
    // one's pool of blocks is some 100 KB, so it lives on the heap.
    SteadyState state{};
    std::unique_ptr<NeutralSteadyState> neutralState = std::make_unique<NeutralSteadyState>();
};

// Corrects frame index. Several frames may be corrected at once: with
// steady levels, the one step that carries from frame to frame waits at the
// turnstile for the frames before. frameSeconds is the time since the frame
// before, from the two frames' time stamps (0 for the first).
void correctVideoFrame(VideoCorrection& c, FrameTurnstile& turnstile, int64_t index,
                       const uint32_t* source, uint32_t* destination, int32_t width, int32_t height,
                       double frameSeconds);
// The same analysis and steady step, for samples of bits (9 to 16) a
// channel: the tables that correct them, from the frame's words.
void deepVideoTables(VideoCorrection& c, FrameTurnstile& turnstile, int64_t index,
                     const uint32_t* words, int32_t width, int32_t height, double frameSeconds,
                     int32_t bits, DeepTables& tables);
// A frame that is not corrected (it failed before) still takes its turn.
void skipVideoFrame(const VideoCorrection& c, FrameTurnstile& turnstile, int64_t index);
