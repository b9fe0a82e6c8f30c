#include "engine/frame_pass.h"

#include "engine/correct.h"
#include "engine/estimate.h"
#include "engine/frame_levels.h"
#include "engine/grid.h"
#include "engine/histogram.h"

namespace {

// One block as every analysis treats it: clear, count, smooth, estimate, and
// the six estimates into the block's slot.
void analyzeBlock(const BitmapView& source, const FrameConstants& k, int32_t blockIndex,
                  BlockTables& tables, BlockLevels& levels)
{
    const BlockBounds bounds = blockBounds(k.blockWidth, k.blockHeight, blockIndex);
    clearBlockTables(tables);
    accumulateBlock(source.pixels, source.width, source.rowGap, bounds, tables);
    smoothHistogram(tables.histR, tables.smoothR);
    smoothHistogram(tables.histG, tables.smoothG);
    smoothHistogram(tables.histB, tables.smoothB);
    storeBlockEstimate(levels, blockIndex, estimateBlock(tables, k));
}

void reduceToFrameLevels(const FrameConstants& k, BlockLevels& levels)
{
    reduceFrameLevels(levels);
    // Under 4 pixels wide or 4 rows high every block is empty and each estimate
    // is 0 / 0. Such a frame is passed through unchanged rather than blanked.
    if (k.blockPixels == 0) setNeutralLevels(levels);
}

FrameConstants constantsFor(const FilterSettings& settings, const BitmapView& source)
{
    return frameConstants(settings.levelR, settings.levelG, settings.levelB, source.width,
                          source.height);
}

}  // namespace

void analyzeFrame(const FilterSettings& settings, const BitmapView& source, BlockLevels& levels)
{
    const FrameConstants k = constantsFor(settings, source);
    levels = BlockLevels{};
    BlockTables tables;
    for (int32_t blockIndex = 1; blockIndex <= blockCount; ++blockIndex)
        analyzeBlock(source, k, blockIndex, tables, levels);
    reduceToFrameLevels(k, levels);
}

void analyzeCentreBlocks(const FilterSettings& settings, const BitmapView& source,
                         BlockLevels& levels)
{
    const FrameConstants k = constantsFor(settings, source);
    levels = BlockLevels{};
    // Each block is analysed on its own, so these two come out as they do
    // among all sixteen, and the reduction reads nothing else.
    BlockTables tables;
    analyzeBlock(source, k, centreBlockA, tables, levels);
    analyzeBlock(source, k, centreBlockB, tables, levels);
    reduceToFrameLevels(k, levels);
}

void runFramePass(const FilterSettings& settings, const BitmapView& source, uint32_t* destination,
                  intptr_t destinationRowGap, BlockLevels* levels)
{
    BlockLevels local;
    BlockLevels& out = levels ? *levels : local;
    analyzeCentreBlocks(settings, source, out);
    correctPixels(correctionLevels(out), source, destination, destinationRowGap);
}

int32_t VELTO_CDECL frameCallback(FrameContext* context)
{
    const BitmapView& destination = *context->destination;
    runFramePass(*context->settings, *context->source, destination.pixels, destination.rowGap);
    return 0;
}
