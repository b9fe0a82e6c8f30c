#include "engine/frame_pass.h"

#include "engine/correct.h"
#include "engine/estimate.h"
#include "engine/frame_levels.h"
#include "engine/grid.h"
#include "engine/histogram.h"

void analyzeFrame(const FilterSettings& settings, const BitmapView& source, BlockLevels& levels)
{
    const FrameConstants k =
        frameConstants(settings.levelR, settings.levelG, settings.levelB, source.width, source.height);
    levels = BlockLevels{};

    BlockTables tables;
    for (int32_t blockIndex = 1; blockIndex <= blockCount; ++blockIndex) {
        const BlockBounds bounds = blockBounds(k.blockWidth, k.blockHeight, blockIndex);
        clearBlockTables(tables);
        accumulateBlock(source.pixels, source.width, source.rowGap, bounds, tables);
        smoothHistogram(tables.histR, tables.smoothR);
        smoothHistogram(tables.histG, tables.smoothG);
        smoothHistogram(tables.histB, tables.smoothB);
        storeBlockEstimate(levels, blockIndex, estimateBlock(tables, k));
    }
    reduceFrameLevels(levels);
    // Under 4 pixels wide or 4 rows high every block is empty and each estimate
    // is 0 / 0. Such a frame is passed through unchanged rather than blanked.
    if (k.blockPixels == 0) setNeutralLevels(levels);
}

void runFramePass(const FilterSettings& settings, const BitmapView& source, uint32_t* destination,
                  intptr_t destinationRowGap, BlockLevels* levels)
{
    BlockLevels local;
    BlockLevels& out = levels ? *levels : local;
    analyzeFrame(settings, source, out);
    correctPixels(correctionLevels(out), source, destination, destinationRowGap);
}

int32_t VELTO_CDECL frameCallback(FrameContext* context)
{
    const BitmapView& destination = *context->destination;
    runFramePass(*context->settings, *context->source, destination.pixels, destination.rowGap);
    return 0;
}
