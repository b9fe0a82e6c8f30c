#include "engine/frame_levels.h"

#include "engine/truncate.h"

namespace {

double measuredMean(const double a[levelSlots])
{
    return (a[measuredBlockB] + a[measuredBlockA]) * 0.5;
}

}  // namespace

void reduceFrameLevels(BlockLevels& levels)
{
    double* const blacks[3] = {levels.blackR, levels.blackG, levels.blackB};
    double* const whites[3] = {levels.whiteR, levels.whiteG, levels.whiteB};
    for (double* a : blacks) a[0] = measuredMean(a);
    for (double* a : whites) a[0] = measuredMean(a);

    // A value that is not a number fails both comparisons and is never taken.
    int32_t minBlack = 255;
    for (double* a : blacks)
        if (a[0] < minBlack) minBlack = truncateToInt32(a[0]);
    int32_t maxWhite = 0;
    for (double* a : whites)
        if (a[0] > maxWhite) maxWhite = truncateToInt32(a[0]);

    // 255 - maxWhite is formed wide: maxWhite can be any int32 for levels a
    // script has pushed beyond the dialog's range.
    const double whiteShift = static_cast<double>(int64_t{255} - maxWhite);
    for (double* a : blacks) {
        a[0] = a[0] - minBlack;
        if (a[0] < 0.0) a[0] = 0.0;
    }
    for (double* a : whites) {
        a[0] = a[0] + whiteShift;
        if (a[0] > 255.0) a[0] = 255.0;
    }
}

void setNeutralLevels(BlockLevels& levels)
{
    levels.blackR[0] = levels.blackG[0] = levels.blackB[0] = 0.0;
    levels.whiteR[0] = levels.whiteG[0] = levels.whiteB[0] = 255.0;
}
