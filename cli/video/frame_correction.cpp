#include "cli/video/frame_correction.h"

#include "engine/bottom_up.h"

void correctVideoFrame(VideoCorrection& c, const uint32_t* source, uint32_t* destination,
                       int32_t width, int32_t height, double frameSeconds)
{
    BlockLevels levels;
    if (!(c.steadySeconds > 0.0)) {
        correctFrame(c.user, source, destination, width, height, levels, c.topByte);
        return;
    }
    SceneSignature signature;
    analyzeCentreBottomUp(c.user, source, width, height, levels, &signature);
    const SteadySettings settings{steadyWeight(c.steadySeconds, frameSeconds)};
    c.state = steadyStep(c.state, correctionLevels(levels), signature, settings);
    // Each pixel is corrected on its own, so the rows may go top down.
    correctPixels(c.state.levels, {source, width, height, 0}, destination, 0, c.topByte);
}
