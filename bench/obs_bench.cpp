// The OBS filter's cost on the CPU a frame at 1080p: an asynchronous
// source's frame turned to BGRA words where its format needs it, analysed
// with steady levels, corrected and turned back (obs/frame_filter.h), for the formats
// webcams give. The baseline is a memcpy of the same frame's bytes, in the
// same run: the ratio is the figure to compare, the time that of this machine.
#include <cstring>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include "obs/frame_filter.h"
#include "obs/frame_formats.h"

namespace {

constexpr uint32_t width = 1920, height = 1080;
constexpr uint64_t period = 1000000000 / 60;

// A warm-cast gradient with a little texture.
struct Frame {
    std::vector<uint8_t> bytes;
    obs_source_frame frame{};
};

Frame makeFrame(video_format format)
{
    Frame f;
    const bool nv12 = format == VIDEO_FORMAT_NV12;
    f.bytes.resize(nv12 ? size_t(width) * height * 3 / 2 : size_t(width) * height * 4);
    for (size_t i = 0; i < f.bytes.size(); ++i)
        f.bytes[i] = uint8_t((i * 7 / 5 + i / width * 3 + (i * 2654435761u >> 28)) & 0xff);
    f.frame.data[0] = f.bytes.data();
    f.frame.linesize[0] = nv12 ? width : width * 4;
    if (nv12) {
        f.frame.data[1] = f.bytes.data() + size_t(width) * height;
        f.frame.linesize[1] = width;
        video_format_get_parameters_for_format(VIDEO_CS_709, VIDEO_RANGE_PARTIAL, format,
                                               f.frame.color_matrix, f.frame.color_range_min,
                                               f.frame.color_range_max);
    }
    f.frame.width = width;
    f.frame.height = height;
    f.frame.format = format;
    // A YUV frame holds colours a camera gives, not noise (whose random
    // chroma puts most pixels outside the RGB cube): the same bytes taken
    // as BGRA words and turned into the format.
    if (nv12) {
        std::vector<uint32_t> words(size_t(width) * height);
        for (size_t i = 0; i < words.size(); ++i) {
            const size_t x = i % width, y = i / width;
            words[i] = 0xff000000u | uint32_t(40 + x * 200 / width) << 16 |
                       uint32_t(30 + y * 160 / height) << 8 | uint32_t(20 + (i * 2654435761u >> 27 & 63));
        }
        wordsToFrame(words.data(), f.frame);
    }
    return f;
}

void filterFrames(benchmark::State& state, video_format format, FilterMethod method)
{
    Frame f = makeFrame(format);
    auto correction = std::make_unique<CorrectionState>();
    std::vector<uint32_t> scratch;
    FilterSettings settings;
    settings.method = method;
    uint64_t time = 0;
    for (auto _ : state) {
        f.frame.timestamp = time += period;
        filterFrame(*correction, settings, f.frame, scratch);
        benchmark::DoNotOptimize(f.bytes.data());
    }
}

void copyFrame(benchmark::State& state, video_format format)
{
    const Frame f = makeFrame(format);
    std::vector<uint8_t> to(f.bytes.size());
    for (auto _ : state) {
        std::memcpy(to.data(), f.bytes.data(), f.bytes.size());
        benchmark::DoNotOptimize(to.data());
    }
}

}  // namespace

BENCHMARK_CAPTURE(copyFrame, bgra_1080p_memcpy, VIDEO_FORMAT_BGRA)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(filterFrames, bgra_1080p_neutral, VIDEO_FORMAT_BGRA, FilterMethod::neutral)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(filterFrames, bgra_1080p_classic, VIDEO_FORMAT_BGRA, FilterMethod::classic)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(copyFrame, nv12_1080p_memcpy, VIDEO_FORMAT_NV12)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(filterFrames, nv12_1080p_neutral, VIDEO_FORMAT_NV12, FilterMethod::neutral)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(filterFrames, nv12_1080p_classic, VIDEO_FORMAT_NV12, FilterMethod::classic)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
