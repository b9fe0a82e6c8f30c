// The OBS filter's analysis on the CPU a frame at 1080p: a staged BGRA
// picture stepped through the steady state into the three maps
// (obs/analysis_worker.h), the work of the filter's worker thread for each
// rendered frame. The baseline is a memcpy of the same picture's bytes, in
// the same run: the ratio is the figure to compare, the time that of this
// machine. bench/obs_render_bench times the graphics thread's side.
#include <cstring>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include "obs/analysis_worker.h"

namespace {

constexpr int32_t width = 1920, height = 1080;
constexpr uint64_t period = 1000000000 / 60;

// A warm-cast gradient with a little texture, as a camera gives it.
std::vector<uint32_t> castPicture()
{
    std::vector<uint32_t> words(size_t(width) * height);
    for (size_t i = 0; i < words.size(); ++i) {
        const size_t x = i % width, y = i / width;
        words[i] = 0xff000000u | uint32_t(40 + x * 200 / width) << 16 |
                   uint32_t(30 + y * 160 / height) << 8 | uint32_t(20 + (i * 2654435761u >> 27 & 63));
    }
    return words;
}

void analyse(benchmark::State& state, FilterMethod method, uint32_t linesize)
{
    const std::vector<uint32_t> words = castPicture();
    std::vector<uint8_t> bytes(size_t(linesize) * height);
    for (int32_t y = 0; y < height; ++y)
        std::memcpy(&bytes[size_t(y) * linesize], &words[size_t(y) * width], size_t(width) * 4);
    auto correction = std::make_unique<CorrectionState>();
    std::vector<uint32_t> rows;
    StagedPicture picture;
    picture.bytes = bytes.data();
    picture.linesize = linesize;
    picture.width = width;
    picture.height = height;
    picture.settings.method = method;
    uint32_t maps[256];
    for (auto _ : state) {
        picture.time += period;
        analysePicture(*correction, rows, picture, maps);
        benchmark::DoNotOptimize(maps);
    }
}

void copyPicture(benchmark::State& state)
{
    const std::vector<uint32_t> from = castPicture();
    std::vector<uint32_t> to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * 4);
        benchmark::DoNotOptimize(to.data());
    }
}

}  // namespace

BENCHMARK(copyPicture)->Name("bgra_1080p_memcpy")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(analyse, bgra_1080p_neutral, FilterMethod::neutral, width * 4)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(analyse, bgra_1080p_classic, FilterMethod::classic, width * 4)
    ->Unit(benchmark::kMillisecond);
// Rows with gaps, as some GPUs stage them, read where they lie.
BENCHMARK_CAPTURE(analyse, bgra_1080p_neutral_row_gaps, FilterMethod::neutral, width * 4 + 256)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
