// The frame pass against a memcpy of the same frame, timed with a plain loop:
// the program for the 32-bit build, which runs under wine where Google
// Benchmark is not at hand. The native build has it too, so both can be
// compared number for number.
//
//   frame_timing [--repetitions N] [--min-ms M] [--size WxH]
//
// Each repetition times every case once, in a rotating order, for at least M
// milliseconds; the table shows the median over the repetitions.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/ratio_table.h"
#include "bench/scene.h"
#include "engine/correct.h"
#include "engine/frame_pass.h"
#include "engine/histogram.h"

namespace {

struct Options {
    int repetitions = 9;
    double minSeconds = 0.2;
    std::vector<FrameSize> sizes{std::begin(benchSizes), std::end(benchSizes)};
};

enum class Kind { copy, framePass, histograms, correction };

struct Case {
    std::string name;
    Kind kind;
    BenchFrame* frame;
    CorrectionLevels levels;
    std::vector<double> times;  // seconds per frame, one per repetition
};

volatile uint32_t sink;  // keeps the histogram work observable

FilterSettings defaultLevels()
{
    return settingsWithLevels(defaultLevel, defaultLevel, defaultLevel);
}

void runOnce(Case& c)
{
    BenchFrame& f = *c.frame;
    const BitmapView source = f.sourceView();
    const FilterSettings settings = defaultLevels();
    switch (c.kind) {
    case Kind::copy:
        std::memcpy(f.destination.data(), f.source.data(), f.pixelCount() * 4);
        break;
    case Kind::framePass:
        runFramePass(settings, source, f.destination.data(), 0);
        break;
    case Kind::histograms: {
        const FrameConstants k = frameConstants(20, 20, 20, f.width, f.height);
        BlockTables tables;
        for (int32_t blockIndex = 1; blockIndex <= blockCount; ++blockIndex) {
            clearBlockTables(tables);
            accumulateBlock(f.source.data(), f.width, 0, blockBounds(k.blockWidth, k.blockHeight, blockIndex),
                            tables);
            sink = tables.histR[blockIndex] + static_cast<uint32_t>(tables.sumB);
        }
        break;
    }
    case Kind::correction:
        correctPixels(c.levels, source, f.destination.data(), 0);
        break;
    }
    sink = f.destination[f.pixelCount() / 2];
}

// Seconds per frame over at least minSeconds of back-to-back runs.
double timeCase(Case& c, double minSeconds)
{
    using Clock = std::chrono::steady_clock;
    int64_t runs = 0;
    const Clock::time_point start = Clock::now();
    double elapsed = 0.0;
    do {
        runOnce(c);
        ++runs;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < minSeconds);
    return elapsed / static_cast<double>(runs);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

bool parseSize(const char* text, FrameSize& size)
{
    char* end = nullptr;
    const long w = std::strtol(text, &end, 10);
    if (*end != 'x') return false;
    const long h = std::strtol(end + 1, &end, 10);
    if (*end != '\0' || w < 1 || h < 1 || w > 16384 || h > 16384) return false;
    size = {static_cast<int32_t>(w), static_cast<int32_t>(h)};
    return true;
}

bool parseOptions(int argc, char** argv, Options& o)
{
    bool sizeGiven = false;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        const char* value = argv[i + 1];
        if (flag == "--repetitions") {
            o.repetitions = std::atoi(value);
        } else if (flag == "--min-ms") {
            o.minSeconds = std::atof(value) / 1000.0;
        } else if (flag == "--size") {
            FrameSize s;
            if (!parseSize(value, s)) return false;
            if (!sizeGiven) o.sizes.clear();
            sizeGiven = true;
            o.sizes.push_back(s);
        } else {
            return false;
        }
    }
    return argc % 2 == 1 && o.repetitions >= 1 && o.minSeconds >= 0.0;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: frame_timing [--repetitions N] [--min-ms M] [--size WxH]...\n");
        return 2;
    }
    std::vector<BenchFrame> frames;
    frames.reserve(2 * options.sizes.size());
    std::vector<Case> cases;
    for (const FrameSize size : options.sizes) {
        const std::string at = std::to_string(size.width) + "x" + std::to_string(size.height);
        BenchFrame& natural = frames.emplace_back(makeBenchFrame(Scene::natural, size));
        BenchFrame& flat = frames.emplace_back(makeBenchFrame(Scene::flat, size));
        BlockLevels levels;
        analyzeFrame(defaultLevels(), natural.sourceView(), levels);
        const CorrectionLevels found = correctionLevels(levels);
        cases.push_back({"memcpy/" + at, Kind::copy, &natural, found, {}});
        cases.push_back({"frame_pass/natural/" + at, Kind::framePass, &natural, found, {}});
        cases.push_back({"frame_pass/flat/" + at, Kind::framePass, &flat, found, {}});
        cases.push_back({"histograms/natural/" + at, Kind::histograms, &natural, found, {}});
        cases.push_back({"histograms/flat/" + at, Kind::histograms, &flat, found, {}});
        cases.push_back({"correction/natural/" + at, Kind::correction, &natural, found, {}});
    }
    for (int r = 0; r < options.repetitions; ++r)
        for (size_t i = 0; i < cases.size(); ++i) {
            Case& c = cases[(i + static_cast<size_t>(r)) % cases.size()];
            c.times.push_back(timeCase(c, options.minSeconds));
        }
    std::vector<CaseTime> table;
    for (const Case& c : cases)
        table.push_back({c.name, median(c.times), static_cast<double>(c.frame->pixelCount())});
    std::printf("frame_timing, %d-bit build, median of %d repetitions of at least %.0f ms each\n",
                static_cast<int>(8 * sizeof(void*)), options.repetitions, options.minSeconds * 1000.0);
    printRatioTable(stdout, table, "x memcpy = time / memcpy of the same frame in this run.");
    return 0;
}
