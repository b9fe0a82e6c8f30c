// The frame pass and its phases on realistic and flat frames, each against a
// memcpy of the same frame. Run with no arguments for the medians of nine
// repetitions, interleaved at random so that a noisy neighbour hits every case
// alike; any Google Benchmark flag given on the command line wins.
//
// Cases, each at 640x480, 1920x1080 and 3840x2160:
//   memcpy            the baseline: one copy of the frame
//   frame_pass        the whole pass at levels 20, 20, 20, all sixteen blocks
//   histograms        clearing and counting the sixteen blocks
//   histograms_plain  the same with the one-table reference counting
//   correction        the pixel pass alone, with the frame's own levels
//   correction_plain  the same with the plain kernel
//   store_floor       three scattered stores a pixel: what counting cannot beat
#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench/ratio_table.h"
#include "bench/scene.h"
#include "engine/correct.h"
#include "engine/correct_kernels.h"
#include "engine/frame_pass.h"
#include "engine/histogram.h"

namespace {

FilterSettings defaultLevels()
{
    return settingsWithLevels(defaultLevel, defaultLevel, defaultLevel);
}

// Frames are built on first use and kept for the whole run.
BenchFrame& frameFor(Scene scene, FrameSize size)
{
    static std::map<std::string, std::unique_ptr<BenchFrame>> frames;
    const std::string key = std::string(sceneName(scene)) + std::to_string(size.width) + "x" +
                            std::to_string(size.height);
    std::unique_ptr<BenchFrame>& f = frames[key];
    if (!f) f = std::make_unique<BenchFrame>(makeBenchFrame(scene, size));
    return *f;
}

void setPixels(benchmark::State& state, const BenchFrame& f)
{
    state.counters["pixels"] = static_cast<double>(f.pixelCount());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(f.pixelCount()) * 4);
}

void copyFrame(benchmark::State& state, FrameSize size)
{
    BenchFrame& f = frameFor(Scene::natural, size);
    for (auto _ : state) {
        std::memcpy(f.destination.data(), f.source.data(), f.pixelCount() * 4);
        benchmark::ClobberMemory();
    }
    setPixels(state, f);
}

void framePass(benchmark::State& state, Scene scene, FrameSize size)
{
    BenchFrame& f = frameFor(scene, size);
    const FilterSettings settings = defaultLevels();
    const BitmapView source = f.sourceView();
    for (auto _ : state) {
        runFramePass(settings, source, f.destination.data(), 0);
        benchmark::ClobberMemory();
    }
    setPixels(state, f);
}

// Clear and accumulate all sixteen blocks, as the frame pass does.
template <void (*accumulate)(const uint32_t*, int32_t, intptr_t, const BlockBounds&, BlockTables&)>
void histograms(benchmark::State& state, Scene scene, FrameSize size)
{
    BenchFrame& f = frameFor(scene, size);
    const FrameConstants k = frameConstants(20, 20, 20, f.width, f.height);
    BlockTables tables;
    for (auto _ : state) {
        for (int32_t blockIndex = 1; blockIndex <= blockCount; ++blockIndex) {
            clearBlockTables(tables);
            accumulate(f.source.data(), f.width, 0, blockBounds(k.blockWidth, k.blockHeight, blockIndex), tables);
            benchmark::DoNotOptimize(tables);
        }
    }
    setPixels(state, f);
}

// The floor under any counting with three tables: every pixel writes its three
// channel values' entries, without reading them first, so nothing waits on
// anything but the stores themselves. Counting that runs close to this is
// bound by the stores the processor can retire, not by its own code.
void storeFloor(benchmark::State& state, Scene scene, FrameSize size)
{
    BenchFrame& f = frameFor(scene, size);
    uint32_t r[binCount + 16], g[binCount + 16], b[binCount + 16];
    const size_t n = f.pixelCount();
    const uint32_t* pixels = f.source.data();
    for (auto _ : state) {
        for (size_t i = 0; i < n; ++i) {
            const uint32_t p = pixels[i];
            r[(p >> 16) & 0xFF] = static_cast<uint32_t>(i);
            g[(p >> 8) & 0xFF] = static_cast<uint32_t>(i);
            b[p & 0xFF] = static_cast<uint32_t>(i);
        }
        benchmark::DoNotOptimize(r);
        benchmark::DoNotOptimize(g);
        benchmark::DoNotOptimize(b);
    }
    setPixels(state, f);
}

CorrectionLevels levelsOf(BenchFrame& f)
{
    BlockLevels levels;
    analyzeFrame(defaultLevels(), f.sourceView(), levels);
    return correctionLevels(levels);
}

void correction(benchmark::State& state, Scene scene, FrameSize size)
{
    BenchFrame& f = frameFor(scene, size);
    const CorrectionLevels levels = levelsOf(f);
    const BitmapView source = f.sourceView();
    for (auto _ : state) {
        correctPixels(levels, source, f.destination.data(), 0);
        benchmark::ClobberMemory();
    }
    setPixels(state, f);
}

// The reference kernel, row by row, to show what the SIMD one gains.
void correctionPlain(benchmark::State& state, Scene scene, FrameSize size)
{
    BenchFrame& f = frameFor(scene, size);
    const CorrectionBytes c = correctionBytes(levelsOf(f));
    for (auto _ : state) {
        for (int32_t y = 0; y < f.height; ++y) {
            const size_t row = static_cast<size_t>(y) * static_cast<size_t>(f.width);
            correctRowScalar(reinterpret_cast<const uint8_t*>(f.source.data() + row),
                             reinterpret_cast<uint8_t*>(f.destination.data() + row), f.width, c.blackWord,
                             c.gainWord);
        }
        benchmark::ClobberMemory();
    }
    setPixels(state, f);
}

std::string sizeName(FrameSize size)
{
    return std::to_string(size.width) + "x" + std::to_string(size.height);
}

// Registers every case and returns their names in order.
std::vector<std::string> registerAll()
{
    std::vector<std::string> names;
    auto add = [&names](const std::string& name, auto&&... args) {
        benchmark::RegisterBenchmark(name.c_str(), args...);
        names.push_back(name);
    };
    for (const FrameSize size : benchSizes) {
        const std::string at = sizeName(size);
        add("memcpy/" + at, copyFrame, size);
        for (const Scene scene : {Scene::natural, Scene::flat}) {
            const std::string on = std::string(sceneName(scene)) + "/" + at;
            add("frame_pass/" + on, framePass, scene, size);
            add("histograms/" + on, histograms<accumulateBlock>, scene, size);
            add("histograms_plain/" + on, histograms<accumulateBlockPlain>, scene, size);
        }
        add("store_floor/natural/" + at, storeFloor, Scene::natural, size);
        const std::string on = "natural/" + at;
        add("correction/" + on, correction, Scene::natural, size);
        add("correction_plain/" + on, correctionPlain, Scene::natural, size);
    }
    return names;
}

// Prints Google Benchmark's usual lines, then the ratio table built from the
// medians (or from the single runs when there are no repetitions), in the
// order of registration whatever order the cases ran in.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    explicit RatioReporter(std::vector<std::string> order) : order_(std::move(order)) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if (!median && !single) continue;
            const auto pixels = run.counters.find("pixels");
            if (pixels == run.counters.end() || run.iterations == 0) continue;
            const double seconds = run.real_accumulated_time / static_cast<double>(run.iterations);
            results_.push_back({run.run_name.function_name, seconds, pixels->second.value});
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::vector<CaseTime> sorted;
        for (const std::string& name : order_)
            for (const CaseTime& c : results_)
                if (c.name == name) sorted.push_back(c);
        printRatioTable(stdout, sorted,
                        "Medians of the repetitions; x memcpy = time / memcpy of the same frame in this run.");
    }

private:
    std::vector<std::string> order_;
    std::vector<CaseTime> results_;
};

}  // namespace

int main(int argc, char** argv)
{
    // Defaults first, so that the same flags given by the caller override them.
    std::vector<char*> args{argv[0]};
    char repetitions[] = "--benchmark_repetitions=9";
    char aggregatesOnly[] = "--benchmark_report_aggregates_only=true";
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    char minTime[] = "--benchmark_min_time=0.2";
    for (char* a : {repetitions, aggregatesOnly, interleave, minTime}) args.push_back(a);
    for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
    RatioReporter reporter(registerAll());
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
