#include "obs/frame_filter.h"

#include <new>

#include "obs/frame_formats.h"

void filterFrame(CorrectionState& state, const FilterSettings& settings, obs_source_frame& frame,
                 std::vector<uint32_t>& scratch)
{
    // BGRA and BGRX frames are the engine's words already: no copy either way.
    uint32_t* words = frameOwnWords(frame);
    const bool own = words != nullptr;
    if (!own) {
        try {
            scratch.resize(size_t(frame.width) * frame.height);
        } catch (const std::bad_alloc&) {
            return;
        }
        words = scratch.data();
        frameToWords(frame, words);
    }
    const auto width = static_cast<int32_t>(frame.width);
    const auto height = static_cast<int32_t>(frame.height);
    const FrameCorrection c = analyseFrame(state, settings, words, width, height, frame.timestamp);
    applyCorrection(c, words, width, height);
    if (!own) wordsToFrame(words, frame);
}
