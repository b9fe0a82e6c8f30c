// velto video's own work on one 1080p frame of 10-bit 4:2:0 video, stage by
// stage (cli/video/picture_convert.h, frame_correction.h), beside the same
// stages of the 8-bit path; the baseline is a copy of the frame's planes in
// the same run: the ratios are the figures to compare, the times those of
// this machine.
#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>

#include "cli/video/frame_correction.h"
#include "cli/video/picture_convert.h"

extern "C" {
#include <libavutil/frame.h>
}

namespace {

constexpr int width = 1920, height = 1080;

// A warm-cast gradient with a little texture, in limited-range samples.
AVFrame* makeFrame(AVPixelFormat format)
{
    AVFrame* f = av_frame_alloc();
    f->format = format;
    f->width = width;
    f->height = height;
    f->colorspace = AVCOL_SPC_BT2020_NCL;
    f->color_range = AVCOL_RANGE_MPEG;
    av_frame_get_buffer(f, 0);
    const bool deep = bitsPerChannel(format) > 8;
    for (int plane = 0; plane < 3; ++plane) {
        const int w = plane == 0 ? width : width / 2, h = plane == 0 ? height : height / 2;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const unsigned v = plane == 0 ? 64 + (x * 700 / w + y * 100 / h) +
                                                    (unsigned(x * 2654435761u) >> 29)
                                              : 512 + (plane == 1 ? -40 : 60) + x * 40 / w;
                uint8_t* row = f->data[plane] + ptrdiff_t{y} * f->linesize[plane];
                if (deep)
                    reinterpret_cast<uint16_t*>(row)[x] = uint16_t(v);
                else
                    row[x] = uint8_t(v >> 2);
            }
    }
    return f;
}

struct Stages {
    AVFrame* frame;
    AVFrame* picture;
    PictureConverter converter;
    std::vector<uint32_t> words = std::vector<uint32_t>(size_t(width) * height);
    VideoCorrection correction;
    FrameTurnstile turnstile;
    PictureColours colours{AVCOL_SPC_BT2020_NCL, false};

    explicit Stages(AVPixelFormat format) : frame(makeFrame(format)), picture(makeFrame(format))
    {
        correction.neutral.transfer = Transfer::pq;
        pictureToDeep(converter, frame, colours, deepFormatFor(format));
    }
    ~Stages()
    {
        av_frame_free(&frame);
        av_frame_free(&picture);
    }
};

void copyPlanes(benchmark::State& state)
{
    Stages s(AV_PIX_FMT_YUV420P10LE);
    for (auto _ : state) {
        av_frame_copy(s.picture, s.frame);
        benchmark::DoNotOptimize(s.picture->data[0][0]);
    }
}

void toDeep(benchmark::State& state)
{
    Stages s(AV_PIX_FMT_YUV420P10LE);
    for (auto _ : state) pictureToDeep(s.converter, s.frame, s.colours, AV_PIX_FMT_GBRP10);
}

void deepWords(benchmark::State& state)
{
    Stages s(AV_PIX_FMT_YUV420P10LE);
    for (auto _ : state) deepToWords(s.converter, s.words.data());
}

void deepTables(benchmark::State& state)
{
    Stages s(AV_PIX_FMT_YUV420P10LE);
    deepToWords(s.converter, s.words.data());
    s.correction.steadySeconds = 0.0;
    int64_t index = 0;
    for (auto _ : state)
        deepVideoTables(s.correction, s.turnstile, index++, s.words.data(), width, height, 0.04,
                        10, s.converter.tables);
}

void applyPlanes(benchmark::State& state)
{
    Stages s(AV_PIX_FMT_YUV420P10LE);
    deepToWords(s.converter, s.words.data());
    deepVideoTables(s.correction, s.turnstile, 0, s.words.data(), width, height, 0.0, 10,
                    s.converter.tables);
    const size_t count = size_t(s.converter.deep->linesize[0]) / 2 * height;
    for (auto _ : state)
        for (int plane = 0; plane < 3; ++plane)
            applyDeepPlane(s.converter.tables, plane,
                           reinterpret_cast<uint16_t*>(s.converter.deep->data[plane]), count);
}

void fromDeep(benchmark::State& state)
{
    Stages s(AV_PIX_FMT_YUV420P10LE);
    for (auto _ : state) deepToPicture(s.converter, s.colours, s.picture);
}

void toWords8(benchmark::State& state)
{
    Stages s(AV_PIX_FMT_YUV420P);
    for (auto _ : state) pictureToWords(s.converter, s.frame, s.colours, s.words.data());
}

void correct8(benchmark::State& state)
{
    Stages s(AV_PIX_FMT_YUV420P);
    pictureToWords(s.converter, s.frame, s.colours, s.words.data());
    std::vector<uint32_t> out(s.words.size());
    int64_t index = 0;
    for (auto _ : state)
        correctVideoFrame(s.correction, s.turnstile, index++, s.words.data(), out.data(), width,
                          height, 0.04);
}

void fromWords8(benchmark::State& state)
{
    Stages s(AV_PIX_FMT_YUV420P);
    for (auto _ : state) wordsToPicture(s.converter, s.words.data(), s.colours, s.picture);
}

}  // namespace

BENCHMARK(copyPlanes)->Name("1080p 10-bit/copy of the planes (baseline)")->Unit(benchmark::kMillisecond);
BENCHMARK(toDeep)->Name("1080p 10-bit/to planar R'G'B' 10")->Unit(benchmark::kMillisecond);
BENCHMARK(deepWords)->Name("1080p 10-bit/to words for the analysis")->Unit(benchmark::kMillisecond);
BENCHMARK(deepTables)->Name("1080p 10-bit/analysis and tables")->Unit(benchmark::kMillisecond);
BENCHMARK(applyPlanes)->Name("1080p 10-bit/tables applied")->Unit(benchmark::kMillisecond);
BENCHMARK(fromDeep)->Name("1080p 10-bit/back to 4:2:0")->Unit(benchmark::kMillisecond);
BENCHMARK(toWords8)->Name("1080p 8-bit/to words")->Unit(benchmark::kMillisecond);
BENCHMARK(correct8)->Name("1080p 8-bit/analysis and correction")->Unit(benchmark::kMillisecond);
BENCHMARK(fromWords8)->Name("1080p 8-bit/back to 4:2:0")->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
