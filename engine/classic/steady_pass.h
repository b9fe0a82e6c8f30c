// The steady pass over one picture stored top row first, as the command-line
// tool and the frei0r plug-in run it on video: the frame's own levels measured
// bottom-up (bottom_up.h), stepped through the caller's steady state in frame
// order (steady.h), and every pixel corrected with the steady levels
// (steady_correct.h).
#pragma once

#include <cstdint>

#include "engine/classic/bottom_up.h"
#include "engine/steady.h"
#include "engine/classic/steady_correct.h"

// step(const CorrectionLevels& own, const SceneSignature& signature) must
// return the levels to correct this frame with: it steps the caller's
// SteadyState, in frame order, and gives its levels. A caller that works on
// several frames at once lets the measuring and the correcting run on any
// thread and holds only step to frame order.
//
// The correction may take the rows top down, as one run: each pixel is
// corrected on its own, and the analysis has read the whole source before
// the first pixel is written, so the destination may be the source.
template <typename Step>
void runSteadyPass(const Strengths& user, const uint32_t* source, uint32_t* destination,
                   int32_t width, int32_t height, TopByte topByte, Step&& step)
{
    BlockLevels levels;
    SceneSignature signature;
    analyzeMeasuredBottomUp(user, source, width, height, levels, &signature);
    const CorrectionLevels steady = step(levels.frame, signature);
    correctSteadyPixels(steady, source, destination, width, height, topByte);
}
