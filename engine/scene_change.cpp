#include "engine/scene_change.h"

namespace {

void coarseShares(const uint32_t hist[256], int64_t blockPixels, double share[signatureBins])
{
    constexpr int32_t width = 256 / signatureBins;
    for (int32_t bin = 0; bin < signatureBins; ++bin) {
        uint64_t count = 0;
        for (int32_t v = bin * width; v < (bin + 1) * width; ++v) count += hist[v];
        share[bin] = blockPixels > 0 ? static_cast<double>(count) / static_cast<double>(blockPixels)
                                     : 0.0;
    }
}

double channelChange(const double a[signatureBins], const double b[signatureBins])
{
    double moved = 0.0;
    for (int32_t bin = 0; bin < signatureBins; ++bin)
        moved += a[bin] > b[bin] ? a[bin] - b[bin] : b[bin] - a[bin];
    return moved * 0.5;
}

}  // namespace

void signMeasuredBlock(const uint32_t histR[256], const uint32_t histG[256],
                       const uint32_t histB[256], int64_t blockPixels, int32_t part,
                       SceneSignature& signature)
{
    coarseShares(histR, blockPixels, signature.share[part][0]);
    coarseShares(histG, blockPixels, signature.share[part][1]);
    coarseShares(histB, blockPixels, signature.share[part][2]);
}

double sceneChange(const SceneSignature& previous, const SceneSignature& current)
{
    double sum = 0.0;
    for (int32_t part = 0; part < 2; ++part)
        for (int32_t channel = 0; channel < 3; ++channel)
            sum += channelChange(previous.share[part][channel], current.share[part][channel]);
    return sum / 6.0;
}
