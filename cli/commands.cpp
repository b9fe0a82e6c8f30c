#include "cli/commands.h"

#include <unistd.h>

#include <bit>

#include "cli/apply_image.h"
#include "cli/batch.h"
#include "cli/files.h"
#include "cli/frame_queue.h"
#include "cli/formats/image.h"
#include "cli/progress.h"
#include "cli/raw_stream.h"
#include "cli/report.h"
#include "engine/bottom_up.h"
#include "engine/correct.h"
#include "engine/steady.h"

// Raw frames are bgra bytes, which are the engine's words only on a
// little-endian machine.
static_assert(std::endian::native == std::endian::little);

namespace {

bool steadyAsked(const Options& options)
{
    return options.steadySeconds > 0.0;
}

SteadySettings steadySettingsOf(const Options& options)
{
    const double frameSeconds = options.frameRate > 0.0 ? 1.0 / options.frameRate : 0.0;
    return {steadyWeight(options.steadySeconds, frameSeconds)};
}

Status applyToStream(const Options& options)
{
    InputStream in;
    Status s = openInput(options.input, in);
    if (!s.ok()) return s;
    OutputFile out;
    s = openOutput(options.output, out);
    if (!s.ok()) return s;

    const ChannelLevels user = levelsOf(options);
    const int32_t width = options.width, height = options.height;
    RawReader reader{&in, width, height};
    ProgressMeter meter = startProgress(options.quiet);
    FrameSteps steps;
    steps.read = [&](FrameJob& job, Status& status) {
        const ReadStep step = reader(job, status);
        if (step == ReadStep::frame) job.result.resize(job.source.size());  // not on a worker
        return step;
    };
    // With --steady each frame is analysed on a worker, its levels are
    // smoothed in frame order at the turnstile, and it is corrected on the
    // worker again: the same bytes for every thread count.
    const bool steady = steadyAsked(options);
    const SteadySettings settings = steadySettingsOf(options);
    SteadyState state;
    FrameTurnstile turnstile;
    steps.work = [&](FrameJob& job) {
        if (!steady) {
            correctFrame(user, job.source.data(), job.result.data(), width, height, job.levels);
            return;
        }
        analyzeCentreBottomUp(user, job.source.data(), width, height, job.levels,
                                 &job.signature);
        CorrectionLevels use{};
        turnstile.pass(job.index, [&] {
            state = steadyStep(state, correctionLevels(job.levels), job.signature, settings);
            use = state.levels;
        });
        // Each pixel is corrected on its own, so the rows may go top down, as
        // one run.
        correctPixels(use, {job.source.data(), width, height, 0}, job.result.data(), 0);
    };
    int64_t written = 0;
    steps.emit = [&](FrameJob& job) {
        const Status w = writeOutput(out, job.result.data(), job.result.size() * 4);
        if (w.ok()) ++written;
        return w;
    };
    steps.progress = [&](int64_t done) { updateProgress(meter, done); };
    steps.jobBytes = 2 * 4 * size_t(width) * size_t(height);  // source and result
    s = runFrames(threadCount(options), steps);
    finishProgress(meter);

    // A stream cut inside a frame keeps the whole frames before it: the
    // output holds exactly those, never part of a frame. Only when that cut
    // is the one thing wrong: a failed write (which several threads can meet
    // after the reader has found the cut) discards the output, and a stream
    // without a whole frame leaves an existing file alone.
    const bool onlyCut = reader.shortFrame && reader.frames > 0 && written == reader.frames;
    if (s.ok() || onlyCut) {
        const Status committed = commitOutput(out);
        return committed.ok() ? s : committed;
    }
    discardOutput(out);
    return s;
}

}  // namespace

Status runApply(const Options& options)
{
    // Pictures on a terminal are noise to the reader and can upset the
    // terminal: a missing redirection is refused, as compressors do.
    if (options.output == "-" && !options.force && isatty(STDOUT_FILENO) == 1)
        return usageError("standard output is a terminal; redirect it, or add --force to write "
                          "there (see 'velto apply --help')");
    if (!options.outDir.empty()) return runApplyBatch(options);
    return options.raw ? applyToStream(options) : applyToImage(options);
}

Status runAnalyze(const Options& options)
{
    if (!options.raw) return runAnalyzeFiles(options);
    const ChannelLevels user = levelsOf(options);
    OutputFile out;
    Status s = openOutput("-", out);
    if (!s.ok()) return s;
    const bool steady = steadyAsked(options);
    const SteadySettings settings = steadySettingsOf(options);
    SteadyState state;
    // Frames are emitted in order, so the levels are smoothed there.
    auto print = [&](const FrameJob& job, int32_t width, int32_t height) {
        if (steady)
            state = steadyStep(state, correctionLevels(job.levels), job.signature, settings);
        const FrameReport report{job.index,     width,          height,
                                 options.levelR, options.levelG, options.levelB,
                                 &job.levels,    options.blocks, nullptr,
                                 steady ? &state : nullptr};
        const std::string text = options.json ? jsonReport(report) : textReport(report);
        return writeOutput(out, text.data(), text.size());
    };

    InputStream in;
    s = openInput(options.input, in);
    if (!s.ok()) return s;
    const int32_t width = options.width, height = options.height;
    RawReader reader{&in, width, height};
    ProgressMeter meter = startProgress(options.quiet);
    FrameSteps steps;
    steps.read = std::ref(reader);
    steps.work = [&](FrameJob& job) {
        analyzeFrameBottomUp(user, job.source.data(), width, height, job.levels,
                                steady ? &job.signature : nullptr);
    };
    steps.emit = [&](FrameJob& job) { return print(job, width, height); };
    steps.progress = [&](int64_t done) { updateProgress(meter, done); };
    steps.jobBytes = 4 * size_t(width) * size_t(height);
    s = runFrames(threadCount(options), steps);
    finishProgress(meter);
    return s;
}
