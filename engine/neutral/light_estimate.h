// The neutral correction's analysis: the colour of the light, estimated from
// the frame, and how far the frame's own evidence lets a correction go.
//
// The picture is laid out in a grid of about neutralBlockTarget square
// blocks, and each block keeps the brightest value of each channel over
// every other row, leaving out pixels with a clipped channel (255), whose
// true colour is unknown. In linear light:
// - a first estimate is the grey edge (the 6-norm of the blocks' colour
//   gradients), which saturated objects and large single-coloured areas do
//   not pull the way they pull the brightest values;
// - the light is the white patch over the blocks whose colour lies within
//   neutralGateDegrees of that first estimate: the brightest value of each
//   channel among the blocks that may be white or grey, but not the yellow
//   band of a notebook or a lit orange.
// The confidence falls where the frame gives no clear answer: where the two
// estimates disagree (a sunset, whose brightest part is the sun), where the
// blocks hardly differ in colour (a single-coloured wall), and where the
// light would lie far off the colours that lights have (a forest whose
// green no lamp gives).
#pragma once

#include <cstdint>

#include "engine/frame_view.h"
#include "engine/neutral/block_maxima.h"
#include "engine/scene_change.h"
#include "engine/transfer.h"

struct LightEstimate {
    bool found = false;                 // false: no blocks to go on (tiny, flat or dark)
    double light[3] = {1.0, 1.0, 1.0};  // red, green, blue in linear light, green 1
    double confidence = 0.0;            // 0..1: the share of the cast the correction removes
    // What the confidence is made of, for reports: the angle in degrees
    // between the two estimates, the spread of the blocks' colours, and the
    // light's distance from the colours of lights (log-chromaticity units).
    double disagreement = 0.0;
    double spread = 0.0;
    double offLights = 0.0;
};

// The blocks' brightest values in linear light: what the estimate works on.
// A dark block (a channel at or below neutralDarkCode) is 0 in every channel.
struct BlockLight {
    float c[3];  // red, green, blue
};
struct NeutralBlocks {
    NeutralGrid grid;
    BlockLight light[neutralMaximumBlocks];  // across x down of them, block rows in memory order
};

// The frame's blocks, its code values read through transfer. signature,
// when given, receives the coarse look of the picture for the steady
// correction's scene cuts, from the same blocks.
void measureBlocks(const FrameView& frame, Transfer transfer, NeutralBlocks& blocks,
                   SceneSignature* signature = nullptr);

// The light of a frame's blocks, or of blocks pooled over several frames.
LightEstimate estimateFromBlocks(const NeutralBlocks& blocks);

// measureBlocks, then estimateFromBlocks.
LightEstimate estimateLight(const FrameView& frame, Transfer transfer,
                            SceneSignature* signature = nullptr);
