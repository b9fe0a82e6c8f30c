#include "obs/frame_correction.h"

#include "engine/classic/bottom_up.h"
#include "engine/classic/correct.h"
#include "engine/classic/frame_pass.h"
#include "engine/classic/steady_correct.h"
#include "engine/neutral/light_estimate.h"
#include "engine/neutral/neutral_gains.h"

namespace {

constexpr double nanoseconds = 1e9;
constexpr double jumpPeriods = 4.0;
// OBS frames are shown as they come: the sRGB curve is what a webcam's and a
// media file's 8-bit pictures carry.
constexpr Transfer frameTransfer = Transfer::srgb;

FrameCorrection neutralCorrection(const NeutralShift& shift)
{
    FrameCorrection c;
    c.kind = FrameCorrection::Kind::neutral;
    c.tables = neutralTables(neutralGains(shift), frameTransfer, TopByte::carried);
    return c;
}

// Every pixel corrected, in place; alpha kept.
void applyCorrection(const FrameCorrection& correction, uint32_t* pixels, int32_t width,
                     int32_t height)
{
    const FrameView view{pixels, width, height, 0};
    switch (correction.kind) {
    case FrameCorrection::Kind::classicFrame:
        correctPixels(correction.levels, view, pixels, 0, TopByte::carried);
        break;
    case FrameCorrection::Kind::classicSteady:
        correctSteadyPixels(correction.levels, pixels, pixels, width, height, TopByte::carried);
        break;
    case FrameCorrection::Kind::neutral:
        correctNeutralPixels(correction.tables, view, pixels, 0);
        break;
    }
}

}  // namespace

FrameStep stepFrameTime(CorrectionState& state, uint64_t timestamp)
{
    const bool forward = state.started && timestamp > state.lastTime;
    const double seconds =
        forward ? static_cast<double>(timestamp - state.lastTime) / nanoseconds : 0.0;
    const bool jump = state.period > 0.0 && seconds > jumpPeriods * state.period;
    state.started = true;
    state.lastTime = timestamp;
    if (!forward || jump) {
        state.period = 0.0;
        return {true, 0.0};
    }
    state.period = seconds;
    return {false, seconds};
}

FrameCorrection analyseFrame(CorrectionState& state, const FilterSettings& settings,
                             const FrameView& view, uint64_t timestamp)
{
    // A property changed: the steady state belongs to the old settings.
    if (!(settings == state.settings)) {
        state.settings = settings;
        state.started = false;
    }
    const FrameStep step = stepFrameTime(state, timestamp);
    if (step.restart) {
        state.classic = SteadyState{};
        state.neutral = NeutralSteadyState{};
    }
    const bool steady = settings.steadySeconds > 0.0;
    const double weight = steadyWeight(settings.steadySeconds, step.seconds);

    if (settings.method == FilterMethod::neutral && !steady)
        return neutralCorrection(neutralShift(estimateLight(view, frameTransfer),
                                              settings.strength));
    if (settings.method == FilterMethod::neutral) {
        NeutralBlocks blocks;
        SceneSignature signature;
        measureBlocks(view, frameTransfer, blocks, &signature);
        neutralSteadyStep(state.neutral, blocks, signature, weight, settings.strength);
        return neutralCorrection(state.neutral.shift);
    }
    BlockLevels levels;
    SceneSignature signature;
    analyzeMeasuredBlocks(settings.levels, bottomUpView(view), levels,
                          steady ? &signature : nullptr);
    FrameCorrection c;
    if (!steady) {
        c.kind = FrameCorrection::Kind::classicFrame;
        c.levels = levels.frame;
        return c;
    }
    state.classic = steadyStep(state.classic, levels.frame, signature, SteadySettings{weight});
    c.kind = FrameCorrection::Kind::classicSteady;
    c.levels = state.classic.levels;
    return c;
}

void identityTables(uint32_t* words)
{
    for (uint32_t v = 0; v < 256; ++v) words[v] = 0xff000000u | v << 16 | v << 8 | v;
}

void correctionTables(const FrameCorrection& correction, uint32_t* words)
{
    // Each channel is mapped on its own, so a grey ramp through the pixel
    // kernels gives the maps exactly as the frames get them.
    identityTables(words);
    applyCorrection(correction, words, 256, 1);
}
