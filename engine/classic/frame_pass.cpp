#include "engine/classic/frame_pass.h"

#include "engine/classic/correct.h"
#include "engine/classic/estimate.h"
#include "engine/classic/frame_levels.h"
#include "engine/classic/grid.h"
#include "engine/classic/histogram.h"
#include "engine/scene_change.h"

namespace {

// One block as every analysis treats it: clear, count, smooth, estimate, and
// the six estimates into the block's slot.
void analyzeBlock(const FrameView& source, const FrameConstants& k, int32_t blockIndex,
                  BlockTables& tables, BlockLevels& levels, SceneSignature* signature)
{
    const BlockBounds bounds = blockBounds(k.blockWidth, k.blockHeight, blockIndex);
    clearBlockTables(tables);
    accumulateBlock(source.pixels, source.width, source.rowGap, bounds, tables);
    if (signature && (blockIndex == measuredBlockA || blockIndex == measuredBlockB))
        signMeasuredBlock(tables.histR, tables.histG, tables.histB, k.blockPixels,
                          blockIndex == measuredBlockA ? 0 : 1, *signature);
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

FrameConstants constantsFor(const Strengths& user, const FrameView& source)
{
    return frameConstants(user.levelR, user.levelG, user.levelB, source.width, source.height);
}

}  // namespace

void analyzeFrame(const Strengths& user, const FrameView& source, BlockLevels& levels,
                  SceneSignature* signature)
{
    const FrameConstants k = constantsFor(user, source);
    levels = BlockLevels{};
    BlockTables tables;
    for (int32_t blockIndex = 1; blockIndex <= blockCount; ++blockIndex)
        analyzeBlock(source, k, blockIndex, tables, levels, signature);
    reduceToFrameLevels(k, levels);
}

void analyzeMeasuredBlocks(const Strengths& user, const FrameView& source,
                           BlockLevels& levels, SceneSignature* signature)
{
    const FrameConstants k = constantsFor(user, source);
    levels = BlockLevels{};
    // Each block is analysed on its own, so these two come out as they do
    // among all sixteen, and the reduction reads nothing else.
    BlockTables tables;
    analyzeBlock(source, k, measuredBlockA, tables, levels, signature);
    analyzeBlock(source, k, measuredBlockB, tables, levels, signature);
    reduceToFrameLevels(k, levels);
}

void runFramePass(const Strengths& user, const FrameView& source, uint32_t* destination,
                  intptr_t destinationRowGap, BlockLevels* levels, TopByte topByte)
{
    BlockLevels local;
    BlockLevels& out = levels ? *levels : local;
    analyzeMeasuredBlocks(user, source, out);
    correctPixels(correctionLevels(out), source, destination, destinationRowGap, topByte);
}
