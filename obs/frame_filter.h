// One frame of an asynchronous source through the filter, in the frame's own
// memory: turned to the engine's words where its format needs it, analysed,
// corrected and turned back. velto_filter.cpp runs it for OBS, the benchmark
// for its timings.
#pragma once

#include <cstdint>
#include <vector>

#include <obs.h>

#include "obs/frame_correction.h"

// frame must be one that frameHandled takes. scratch holds the words of a
// frame in another format than BGRA words; where it cannot be had, the frame
// is left as it came.
void filterFrame(CorrectionState& state, const FilterSettings& settings, obs_source_frame& frame,
                 std::vector<uint32_t>& scratch);
