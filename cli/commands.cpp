#include "cli/commands.h"

#include <unistd.h>

#include <bit>
#include <thread>

#include "cli/files.h"
#include "cli/frame_queue.h"
#include "engine/host_order.h"
#include "cli/image.h"
#include "cli/progress.h"
#include "cli/raw_stream.h"
#include "cli/report.h"

// Raw frames are bgra bytes, which are the engine's words only on a
// little-endian machine.
static_assert(std::endian::native == std::endian::little);

namespace {

int32_t threadCount(const Options& options)
{
    if (options.threads > 0) return options.threads;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : cores > maximumThreads ? maximumThreads : static_cast<int32_t>(cores);
}

ChannelLevels levelsOf(const Options& options)
{
    return {options.levelR, options.levelG, options.levelB};
}

Status readImage(const std::string& path, Image& image)
{
    std::vector<uint8_t> bytes;
    const Status s = readWholeInput(path, bytes);
    if (!s.ok()) return s;
    return decodeImage(bytes, inputName(path), image);
}

Status applyToImage(const Options& options)
{
    // An unknown extension is a mistake of the command line: say so before
    // reading anything.
    ImageFormat format;
    if (!outputFormatFor(options.output, ImageFormat::png, false, format))
        return usageError(options.output +
                          ": unknown image extension; write .png, .ppm, .pnm or .pam "
                                            "(see 'velto apply --help')");

    Image image;
    Status s = readImage(options.input, image);
    if (!s.ok()) return s;
    outputFormatFor(options.output, image.format, image.hasAlpha, format);

    Image corrected = image;
    BlockLevels levels;
    correctFrame(levelsOf(options), image.words.data(), corrected.words.data(), image.width,
                 image.height, levels);
    // The filter clears the top byte; here it is the image's alpha, carried over.
    if (image.hasAlpha)
        for (size_t i = 0; i < image.words.size(); ++i)
            corrected.words[i] = (corrected.words[i] & 0x00FFFFFFu) | (image.words[i] & 0xFF000000u);

    std::vector<uint8_t> bytes;
    s = encodeImage(corrected, format, outputName(options.output), bytes);
    if (!s.ok()) return s;
    OutputFile out;
    s = openOutput(options.output, out);
    if (s.ok()) s = writeOutput(out, bytes.data(), bytes.size());
    if (s.ok()) return commitOutput(out);
    discardOutput(out);
    return s;
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
    steps.work = [&](FrameJob& job) {
        correctFrame(user, job.source.data(), job.result.data(), width, height, job.levels);
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
    return options.raw ? applyToStream(options) : applyToImage(options);
}

Status runAnalyze(const Options& options)
{
    const ChannelLevels user = levelsOf(options);
    OutputFile out;
    Status s = openOutput("-", out);
    if (!s.ok()) return s;
    auto print = [&](const FrameJob& job, int32_t width, int32_t height) {
        const FrameReport report{job.index, width, height, options.levelR, options.levelG,
                                 options.levelB, &job.levels, options.blocks};
        const std::string text = options.json ? jsonReport(report) : textReport(report);
        return writeOutput(out, text.data(), text.size());
    };

    if (!options.raw) {
        Image image;
        s = readImage(options.input, image);
        if (!s.ok()) return s;
        FrameJob job;
        analyzeFrameInHostOrder(user, image.words.data(), image.width, image.height,
                                job.levels);
        return print(job, image.width, image.height);
    }

    InputStream in;
    s = openInput(options.input, in);
    if (!s.ok()) return s;
    const int32_t width = options.width, height = options.height;
    RawReader reader{&in, width, height};
    ProgressMeter meter = startProgress(options.quiet);
    FrameSteps steps;
    steps.read = std::ref(reader);
    steps.work = [&](FrameJob& job) {
        analyzeFrameInHostOrder(user, job.source.data(), width, height, job.levels);
    };
    steps.emit = [&](FrameJob& job) { return print(job, width, height); };
    steps.progress = [&](int64_t done) { updateProgress(meter, done); };
    steps.jobBytes = 4 * size_t(width) * size_t(height);
    s = runFrames(threadCount(options), steps);
    finishProgress(meter);
    return s;
}
