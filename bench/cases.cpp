#include "bench/cases.h"

#include <cstring>

#include "engine/classic/correct.h"
#include "engine/classic/frame_levels.h"
#include "engine/classic/frame_pass.h"
#include "engine/classic/histogram.h"
#include "engine/classic/steady_correct.h"
#include "engine/classic/bottom_up.h"
#include "engine/neutral/block_maxima.h"
#include "engine/neutral/neutral_pass.h"

namespace {

using Accumulate = void (*)(const uint32_t*, int32_t, intptr_t, const BlockBounds&, BlockTables&);

// Clears and counts blocks 8 and 9, as the pass's analysis does. The tables
// are the caller's, so the counting cannot be left out.
void countMeasuredBlocks(Accumulate accumulate, const BenchFrame& f, BlockTables& tables)
{
    const FrameConstants k = frameConstants(20, 20, 20, f.source.width, f.source.height);
    for (const int32_t blockIndex : {measuredBlockA, measuredBlockB}) {
        clearBlockTables(tables);
        accumulate(f.source.first(), f.source.width, 0, blockBounds(k.blockWidth, k.blockHeight, blockIndex),
                   tables);
    }
}

// Three stores a pixel of blocks 8 and 9, to the entries of its three channel
// values, without reading them first: what counting into three tables cannot
// beat, since nothing waits on anything but the stores.
void storeFloor(const BenchFrame& f, uint32_t (&tables)[3][binCount + 16])
{
    const FrameConstants k = frameConstants(20, 20, 20, f.source.width, f.source.height);
    for (const int32_t blockIndex : {measuredBlockA, measuredBlockB}) {
        const BlockBounds b = blockBounds(k.blockWidth, k.blockHeight, blockIndex);
        for (int32_t y = b.rowStart; y < b.rowEnd; ++y) {
            const uint8_t* row =
                reinterpret_cast<const uint8_t*>(f.source.first() + size_t(y) * size_t(f.source.width));
            for (int32_t x = b.colStart; x < b.colEnd; ++x) {
                tables[0][row[4 * x + 2]] = static_cast<uint32_t>(x);
                tables[1][row[4 * x + 1]] = static_cast<uint32_t>(x);
                tables[2][row[4 * x]] = static_cast<uint32_t>(x);
            }
        }
    }
}

}  // namespace

BenchFrame& BenchFrames::get(Scene scene, FrameSize size)
{
    for (BenchFrame& f : frames)
        if (f.scene == scene && f.source.width == size.width && f.source.height == size.height) return f;
    return frames.emplace_back(makeBenchFrame(scene, size));
}

std::string sizeName(FrameSize size)
{
    return std::to_string(size.width) + "x" + std::to_string(size.height);
}

std::vector<BenchCase> frameCases(BenchFrames& frames, const std::vector<FrameSize>& sizes)
{
    // Kept for the whole run: the counting cases leave their tables here.
    static BlockTables tables;
    static uint32_t stored[3][binCount + 16];
    std::vector<BenchCase> cases;
    for (const FrameSize size : sizes) {
        const std::string at = sizeName(size);
        BenchFrame& natural = frames.get(Scene::natural, size);
        BenchFrame& flat = frames.get(Scene::flat, size);
        const double pixels = static_cast<double>(natural.pixelCount());
        cases.push_back({"memcpy/" + at, pixels, [&f = natural] {
                             std::memcpy(f.destination.first(), f.source.first(), f.pixelCount() * 4);
                         }});
        for (BenchFrame* frame : {&natural, &flat}) {
            BenchFrame& f = *frame;
            const std::string on = std::string(sceneName(f.scene)) + "/" + at;
            cases.push_back({"frame_pass/" + on, pixels, [&f] {
                                 runFramePass(defaultStrengths, f.source.view(), f.destination.first(), 0);
                             }});
            if (f.scene == Scene::natural)
                for (const TopByte top : {TopByte::cleared, TopByte::carried})
                    cases.push_back({(top == TopByte::carried ? "bottom_up_alpha/" : "bottom_up/") + on,
                                     pixels, [&f, top] {
                                         BlockLevels levels;
                                         correctFrame(defaultStrengths, f.source.first(), f.destination.first(),
                                                      f.source.width, f.source.height, levels, top);
                                     }});
            cases.push_back({"measured_blocks/" + on, pixels, [&f] {
                                 BlockLevels levels;
                                 analyzeMeasuredBlocks(defaultStrengths, f.source.view(), levels);
                                 f.destination.at(0, 0) = static_cast<uint32_t>(levels.frame.whiteB);
                             }});
            cases.push_back({"counting/" + on, pixels, [&f] { countMeasuredBlocks(accumulateBlock, f, tables); }});
            cases.push_back({"counting_plain/" + on, pixels,
                             [&f] { countMeasuredBlocks(accumulateBlockPlain, f, tables); }});
            if (f.scene == Scene::natural)
                cases.push_back({"store_floor/" + on, pixels, [&f] { storeFloor(f, stored); }});
            BlockLevels levels;
            analyzeMeasuredBlocks(defaultStrengths, f.source.view(), levels);
            const CorrectionLevels found = correctionLevels(levels);
            for (auto id = std::size(correctKernelIds); id-- > 0;) {
                const CorrectKernelId kernelId = correctKernelIds[id];
                const CorrectRowKernel kernel = correctKernel(kernelId);
                if (!kernel) continue;
                cases.push_back({"correction_" + std::string(correctKernelName(kernelId)) + "/" + on, pixels,
                                 [&f, kernel, found] {
                                     correctPixelsWith(kernel, found, f.source.view(), f.destination.first(), 0);
                                 }});
            }
            cases.push_back({"neutral_pass/" + on, pixels, [&f] {
                                 runNeutralPass({}, f.source.view(), f.destination.first(), 0);
                             }});
            cases.push_back({"neutral_analysis/" + on, pixels, [&f] {
                                 const LightEstimate e = estimateLight(f.source.view(), Transfer::srgb);
                                 f.destination.at(0, 0) = static_cast<uint32_t>(e.confidence * 255.0);
                             }});
            static uint32_t maxima[neutralMaximumBlocks];
            const NeutralGrid grid = neutralGrid(f.source.width, f.source.height);
            cases.push_back({"block_maxima/" + on, pixels,
                             [&f, grid] { fastestBlockMaxima()(f.source.view(), grid, maxima); }});
            const NeutralTables tables =
                neutralTables(neutralGains(neutralShift(estimateLight(f.source.view(), Transfer::srgb), 1.0)),
                              Transfer::srgb, TopByte::cleared);
            for (auto id = std::size(neutralKernelIds); id-- > 0;) {
                const NeutralKernelId kernelId = neutralKernelIds[id];
                if (!correctNeutralPixelsWith(kernelId, tables, f.source.view(), f.destination.first(), 0))
                    continue;
                cases.push_back({"neutral_" + std::string(neutralKernelName(kernelId)) + "/" + on, pixels,
                                 [&f, kernelId, tables] {
                                     correctNeutralPixelsWith(kernelId, tables, f.source.view(),
                                                              f.destination.first(), 0);
                                 }});
            }
            if (f.scene != Scene::natural) continue;
            for (const SteadyKernelId kernelId : steadyKernelIds) {
                if (!correctSteadyPixelsWith(kernelId, found, f.source.first(), f.destination.first(),
                                             f.source.width, f.source.height, TopByte::cleared))
                    continue;
                cases.push_back({"steady_" + std::string(steadyKernelName(kernelId)) + "/" + on, pixels,
                                 [&f, kernelId, found] {
                                     correctSteadyPixelsWith(kernelId, found, f.source.first(),
                                                             f.destination.first(), f.source.width,
                                                             f.source.height, TopByte::cleared);
                                 }});
            }
        }
    }
    return cases;
}
