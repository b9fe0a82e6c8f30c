#include "engine/classic/frame_levels.h"

#include "engine/truncate.h"

namespace {

double measuredMean(const double a[levelSlots])
{
    return (a[measuredBlockB] + a[measuredBlockA]) * 0.5;
}

}  // namespace

void reduceFrameLevels(BlockLevels& levels)
{
    CorrectionLevels& f = levels.frame;
    f.blackR = measuredMean(levels.blackR);
    f.blackG = measuredMean(levels.blackG);
    f.blackB = measuredMean(levels.blackB);
    f.whiteR = measuredMean(levels.whiteR);
    f.whiteG = measuredMean(levels.whiteG);
    f.whiteB = measuredMean(levels.whiteB);
    double* const blacks[3] = {&f.blackR, &f.blackG, &f.blackB};
    double* const whites[3] = {&f.whiteR, &f.whiteG, &f.whiteB};

    // A value that is not a number fails both comparisons and is never taken.
    int32_t minBlack = 255;
    for (double* a : blacks)
        if (*a < minBlack) minBlack = truncateToInt32(*a);
    int32_t maxWhite = 0;
    for (double* a : whites)
        if (*a > maxWhite) maxWhite = truncateToInt32(*a);

    // 255 - maxWhite is formed wide: maxWhite can be any int32 for levels a
    // script has pushed beyond the dialog's range.
    const double whiteShift = static_cast<double>(int64_t{255} - maxWhite);
    for (double* a : blacks) {
        *a = *a - minBlack;
        if (*a < 0.0) *a = 0.0;
    }
    for (double* a : whites) {
        *a = *a + whiteShift;
        if (*a > 255.0) *a = 255.0;
    }
}

void setNeutralLevels(BlockLevels& levels)
{
    levels.frame = {0.0, 0.0, 0.0, 255.0, 255.0, 255.0};
}
