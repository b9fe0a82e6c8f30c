// How much the picture in blocks 8 and 9 changed from one frame to the next:
// a cheap sign of a scene cut, taken from the counts the analysis makes anyway.
#pragma once

#include <cstdint>

// Each channel's 256 counts summed into 16 bins of 16 values, as shares of the
// block. Coarse bins let sensor noise and a slow change of light move few
// pixels across a bin edge, while a cut moves most of them.
constexpr int32_t signatureBins = 16;

struct SceneSignature {
    // [measured block: 8, then 9][channel: red, green, blue][coarse bin]
    double share[2][3][signatureBins];
};

// Fills one measured block's part (0 for block 8, 1 for block 9) from its count
// tables. An empty block gets shares of 0.
void signMeasuredBlock(const uint32_t histR[256], const uint32_t histG[256],
                       const uint32_t histB[256], int64_t blockPixels, int32_t part,
                       SceneSignature& signature);

// The share of pixels that changed coarse bins (half the sum of the absolute
// differences of the shares), averaged over the three channels of both
// blocks: 0 for the same picture, 1 when no pixel kept its bin.
double sceneChange(const SceneSignature& previous, const SceneSignature& current);
