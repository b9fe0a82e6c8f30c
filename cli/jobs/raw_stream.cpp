#include "cli/jobs/raw_stream.h"

#include <bit>
#include <functional>

#include "cli/io/frame_queue.h"
#include "cli/io/input.h"
#include "cli/io/output.h"
#include "cli/io/raw_frames.h"
#include "cli/jobs/progress.h"
#include "cli/jobs/report.h"
#include "engine/classic/bottom_up.h"
#include "engine/classic/correct.h"
#include "engine/steady.h"
#include "engine/classic/steady_pass.h"
#include "engine/neutral/neutral_pass.h"
#include "engine/neutral/neutral_steady.h"

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

// INPUT, opened, and the reader of its frames.
struct RawStream {
    InputStream in;
    RawReader reader{&in, 0, 0};
};

Status openRawStream(const Options& options, RawStream& stream)
{
    stream.reader = RawReader{&stream.in, options.width, options.height};
    return openInput(options.input, stream.in);
}

// The stream's frames, read in order, worked on by the threads and emitted in
// order, with progress on the terminal. withResult: each job also holds a
// frame for the corrected pixels, made ready on the calling thread.
Status runRawStream(const Options& options, RawStream& stream, bool withResult, bool withBlocks,
                    std::function<void(FrameJob&)> work, std::function<Status(FrameJob&)> emit)
{
    ProgressMeter meter = startProgress(options.quiet);
    FrameSteps steps;
    steps.read = [&](FrameJob& job, Status& status) {
        const ReadStep step = stream.reader(job, status);
        // Here, not on a worker: a worker must not throw, and an allocation can.
        if (withResult && step == ReadStep::frame) job.result.resize(job.source.size());
        if (withBlocks && step == ReadStep::frame && !job.blocks)
            job.blocks = std::make_unique<NeutralBlocks>();
        return step;
    };
    steps.work = std::move(work);
    steps.emit = std::move(emit);
    steps.progress = [&](int64_t done) { updateProgress(meter, done); };
    // The source, and the result when there is one.
    steps.jobBytes = (withResult ? 2 : 1) * 4 * size_t(options.width) * size_t(options.height) +
                     (withBlocks ? sizeof(NeutralBlocks) : 0);
    const Status s = runFrames(threadCount(options), steps);
    finishProgress(meter);
    return s;
}

}  // namespace

Status applyToStream(const Options& options)
{
    RawStream stream;
    Status s = openRawStream(options, stream);
    if (!s.ok()) return s;
    OutputFile out;
    s = openOutput(options.output, out);
    if (!s.ok()) return s;

    const Strengths user = strengthsOf(options);
    const NeutralSettings neutral{options.strength, Transfer::srgb};
    const int32_t width = options.width, height = options.height;
    // With --steady each frame is analysed on a worker, its levels (or its
    // neutral shift) are smoothed in frame order at the turnstile, and it is
    // corrected on the worker again: the same bytes for every thread count.
    const bool steady = steadyAsked(options);
    const SteadySettings settings = steadySettingsOf(options);
    SteadyState state;
    NeutralSteadyState neutralState;
    FrameTurnstile turnstile;
    auto work = [&](FrameJob& job) {
        const FrameView view{job.source.data(), width, height, 0};
        if (options.method == Method::neutral && !steady) {
            runNeutralPass(neutral, view, job.result.data(), 0);
        } else if (options.method == Method::neutral) {
            runNeutralSteadyPass(neutral, job.source.data(), job.result.data(), width, height,
                                 TopByte::cleared,
                                 [&](const NeutralBlocks& blocks, const SceneSignature& signature) {
                                     NeutralShift use{};
                                     turnstile.pass(job.index, [&] {
                                         neutralSteadyStep(neutralState, blocks, signature,
                                                           settings.weight, options.strength);
                                         use = neutralState.shift;
                                     });
                                     return use;
                                 });
        } else if (!steady) {
            correctFrame(user, job.source.data(), job.result.data(), width, height, job.levels);
        } else {
            runSteadyPass(user, job.source.data(), job.result.data(), width, height,
                          TopByte::cleared,
                          [&](const CorrectionLevels& own, const SceneSignature& signature) {
                              CorrectionLevels use{};
                              turnstile.pass(job.index, [&] {
                                  state = steadyStep(state, own, signature, settings);
                                  use = state.levels;
                              });
                              return use;
                          });
        }
    };
    int64_t written = 0;
    auto emit = [&](FrameJob& job) {
        const Status w = writeOutput(out, job.result.data(), job.result.size() * 4);
        if (w.ok()) ++written;
        return w;
    };
    s = runRawStream(options, stream, true, false, work, emit);

    // A stream cut inside a frame keeps the whole frames before it: the
    // output holds exactly those, never part of a frame. Only when that cut
    // is the one thing wrong: a failed write (which several threads can meet
    // after the reader has found the cut) discards the output, and a stream
    // without a whole frame leaves an existing file alone.
    const RawReader& reader = stream.reader;
    const bool onlyCut = reader.shortFrame && reader.frames > 0 && written == reader.frames;
    if (s.ok() || onlyCut) {
        const Status committed = commitOutput(out);
        return committed.ok() ? s : committed;
    }
    discardOutput(out);
    return s;
}

Status analyzeStream(const Options& options)
{
    const Strengths user = strengthsOf(options);
    OutputFile out;
    Status s = openOutput("-", out);
    if (!s.ok()) return s;
    const bool steady = steadyAsked(options);
    const SteadySettings settings = steadySettingsOf(options);
    SteadyState state;
    NeutralSteadyState neutralState;
    const bool neutral = options.method == Method::neutral;
    // Frames are emitted in order, so the levels are smoothed there.
    auto print = [&](const FrameJob& job, int32_t width, int32_t height) {
        if (steady && neutral)
            neutralSteadyStep(neutralState, *job.blocks, job.signature, settings.weight,
                              options.strength);
        else if (steady)
            state = steadyStep(state, correctionLevels(job.levels), job.signature, settings);
        const NeutralReport neutralReport{job.light, options.strength,
                                          steady ? &neutralState : nullptr};
        const FrameReport report{job.index,     width,          height,
                                 options.levelR, options.levelG, options.levelB,
                                 &job.levels,    options.blocks, nullptr,
                                 steady && !neutral ? &state : nullptr,
                                 neutral ? &neutralReport : nullptr};
        const std::string text = options.json ? jsonReport(report) : textReport(report);
        return writeOutput(out, text.data(), text.size());
    };

    RawStream stream;
    s = openRawStream(options, stream);
    if (!s.ok()) return s;
    const int32_t width = options.width, height = options.height;
    auto work = [&](FrameJob& job) {
        analyzeFrameBottomUp(user, job.source.data(), width, height, job.levels,
                             steady && !neutral ? &job.signature : nullptr);
        if (neutral && steady) {
            measureBlocks({job.source.data(), width, height, 0}, Transfer::srgb, *job.blocks,
                          &job.signature);
            job.light = estimateFromBlocks(*job.blocks);
        } else if (neutral) {
            job.light = estimateLight({job.source.data(), width, height, 0}, Transfer::srgb);
        }
    };
    auto emit = [&](FrameJob& job) { return print(job, width, height); };
    return runRawStream(options, stream, false, steady && neutral, work, emit);
}
