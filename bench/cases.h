// The cases both benchmark programs time, each one frame's work: the frame
// pass and its phases on the natural and the flat frame, and the baseline, a
// memcpy of the same frame. Names are "what/scene/WxH", the baseline
// "memcpy/WxH".
//
//   memcpy            one copy of the frame
//   frame_pass        the whole pass at levels 20, 20, 20: blocks 8 and 9,
//                     then every pixel, with the fastest kernel
//   bottom_up         the same on a picture stored top row first, walked
//                     bottom row first, as the command-line tool runs it;
//                     natural frame only
//   bottom_up_alpha  the same with the top byte carried instead of cleared,
//                     as the frei0r plug-in runs it; natural frame only
//   measured_blocks     the pass's analysis alone: count, smooth and estimate
//                     blocks 8 and 9, reduce to the frame's levels
//   counting          counting blocks 8 and 9 alone
//   counting_plain    the same with the one-table reference counting
//   store_floor       three plain stores a pixel of blocks 8 and 9, natural
//                     frame only: the floor under counting into three tables
//   correction_KERNEL the pixel pass alone with that kernel (avx2, sse2,
//                     plain), with the frame's own levels; only the kernels
//                     this machine runs
//   steady_KERNEL     the steady correction alone with that kernel
//                     (fixed_avx2, fixed, table), the form or tables included,
//                     with the frame's own levels; natural frame only
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "bench/scene.h"

struct BenchCase {
    std::string name;
    double pixels;               // of the frame
    std::function<void()> run;   // one frame's work
};

// The frames the cases work on, each made on first use and kept for the
// whole run.
struct BenchFrames {
    std::deque<BenchFrame> frames;
    BenchFrame& get(Scene scene, FrameSize size);
};

std::string sizeName(FrameSize size);

// Every case at every size, in the order of the tables.
std::vector<BenchCase> frameCases(BenchFrames& frames, const std::vector<FrameSize>& sizes);
