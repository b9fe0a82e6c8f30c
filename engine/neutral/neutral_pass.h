// The neutral frame pass: the light estimated from the frame
// (light_estimate.h), turned into gains (neutral_gains.h) and applied to
// every pixel through tables (neutral_correct.h). The analysis ends before
// the first pixel is written, so the destination may be the source.
#pragma once

#include <cstdint>

#include "engine/frame_view.h"
#include "engine/neutral/light_estimate.h"
#include "engine/neutral/neutral_correct.h"
#include "engine/neutral/neutral_gains.h"
#include "engine/transfer.h"

struct NeutralSettings {
    double strength = 1.0;  // 0..1: the share of the estimated cast to take off
    Transfer transfer = Transfer::srgb;
};

// estimate, when given, receives the analysis.
void runNeutralPass(const NeutralSettings& settings, const FrameView& source,
                    uint32_t* destination, intptr_t destinationRowGap,
                    LightEstimate* estimate = nullptr, TopByte topByte = TopByte::cleared);

// The same for a picture stored top row first without row gaps, with the
// shift to apply chosen by step(const NeutralBlocks& blocks, const
// SceneSignature& signature), the frame's analysis, which a caller uses to
// carry steady state from frame to frame (neutral_steady.h:
// neutralSteadyStep, then its state's shift). A caller that works on several
// frames at once holds only step to frame order.
template <typename Step>
void runNeutralSteadyPass(const NeutralSettings& settings, const uint32_t* source,
                          uint32_t* destination, int32_t width, int32_t height, TopByte topByte,
                          Step&& step)
{
    const FrameView view{source, width, height, 0};
    SceneSignature signature;
    NeutralBlocks blocks;
    measureBlocks(view, settings.transfer, blocks, &signature);
    const NeutralShift use = step(static_cast<const NeutralBlocks&>(blocks), signature);
    const NeutralTables tables = neutralTables(neutralGains(use), settings.transfer, topByte);
    correctNeutralPixels(tables, view, destination, 0);
}
