#include "cli/jobs/images.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <new>
#include <vector>

#include "cli/formats/image.h"
#include "cli/formats/names.h"
#include "cli/io/input.h"
#include "cli/io/ordered_work.h"
#include "cli/io/output.h"
#include "cli/jobs/corrected_image.h"
#include "cli/jobs/one_image.h"
#include "cli/jobs/progress.h"
#include "cli/jobs/report.h"
#include "engine/classic/bottom_up.h"

namespace {

// What one file comes to, filled by a worker and taken by the calling
// thread once the file's work is done.
struct FileResult {
    Status status;
    std::vector<uint8_t> bytes;  // apply: the encoded output
    std::vector<std::string> notes;  // apply: said once it is written
    int32_t width = 0, height = 0;
    BlockLevels levels{};  // analyze: the classic's levels
    LightEstimate light{};  // analyze: the neutral estimate
};

// The output path of every input, and for those refused before any work why:
// of two inputs with one output name, the first on the command line is
// written and the second named as a failure.
std::vector<std::string> planOutputs(const Options& options, std::vector<Status>& refused)
{
    std::vector<std::string> paths;
    std::map<std::string, size_t> taken;
    refused.assign(options.inputs.size(), success());
    for (size_t i = 0; i < options.inputs.size(); ++i) {
        const std::string& input = options.inputs[i];
        paths.push_back(outputPathIn(options.outDir, input, options.formatGiven, options.format));
        const std::string name = input.substr(splitPath(input).nameStart);
        if (name.empty() || name == "." || name == "..") {
            refused[i] = badData(input + ": names no file");
            continue;
        }
        const auto [at, isNew] = taken.emplace(paths.back(), i);
        if (!isNew)
            refused[i] = badData(input + ": skipped: " + paths.back() + " is the output of " +
                                 options.inputs[at->second] + " already");
    }
    return paths;
}

// The folder is made when the first output is ready for it, so a run that
// writes nothing leaves none behind; a name taken by a file is refused first.
Status checkFolder(const std::string& dir)
{
    struct stat st {};
    if (stat(dir.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) return badData(dir + ": not a folder");
    return success();
}

Status makeFolder(const std::string& dir)
{
    struct stat st {};
    if (stat(dir.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) ? success() : badData(dir + ": not a folder");
    if (mkdir(dir.c_str(), 0777) == 0 || errno == EEXIST) return success();
    return badData(dir + ": cannot make the folder: " + std::strerror(errno));
}

ImageFormat formatFor(const std::string& outputPath, const Options& options, const Image& image)
{
    if (options.formatGiven) return options.format;
    ImageFormat format;
    // A name whose extension velto does not write keeps to the input's family.
    if (!outputFormatFor(outputPath, image.format, image.hasAlpha, format))
        outputFormatFor("-", image.format, image.hasAlpha, format);
    return format;
}

// One file of `apply --out-dir`, on a worker: everything but the writing.
void correctFile(const Options& options, const std::string& input, const std::string& output,
                 FileResult& result)
{
    struct stat st {};
    if (!options.overwrite && lstat(output.c_str(), &st) == 0) {
        result.status = badData(output + ": " + existsAlready);
        return;
    }
    try {
        Image image;
        result.status = readImage(input, options, image);
        if (!result.status.ok()) return;
        const ImageFormat format = formatFor(output, options, image);
        result.status = fitAlpha(image, format, options, output);
        if (!result.status.ok()) return;
        correctImage(options, image);
        std::string lost;
        result.status = encodeImage(image, format, output, result.bytes,
                                    {options.qualityGiven ? options.quality : 0, &lost});
        if (result.status.ok()) result.notes = afterWriting(image, input, output, lost);
    } catch (const std::bad_alloc&) {
        result = FileResult{};
        result.status = badData(inputName(input) + ": out of memory");
    }
}

void analyzeFile(const Options& options, const std::string& input, FileResult& result)
{
    try {
        Image image;
        result.status = readImage(input, options, image);
        if (!result.status.ok()) return;
        result.width = image.width;
        result.height = image.height;
        analyzeFrameBottomUp(strengthsOf(options), image.words.data(), image.width,
                             image.height, result.levels);
        if (options.method == Method::neutral)
            result.light = estimateLight({image.words.data(), image.width, image.height, 0},
                                         Transfer::srgb);
    } catch (const std::bad_alloc&) {
        result.status = badData(inputName(input) + ": out of memory");
    }
}

// Runs work on every file, on the threads, and hands each result to emit in
// the order of the inputs. A failed file is reported and counted; emit's own
// failure (standard output gone) ends the run.
using FileStep = std::function<void(size_t index, FileResult& result)>;
using FileEmit = std::function<Status(size_t index, FileResult& result)>;

Status eachFile(const Options& options, const FileStep& work, const FileEmit& emit,
                ProgressMeter& meter)
{
    const int32_t threads = threadCount(options);
    std::vector<FileResult> slots(twoPerWorker(threads));
    int64_t failed = 0;
    OrderedSteps steps;
    steps.take = [&](int64_t index, size_t slot, Status&) {
        if (size_t(index) == options.inputs.size()) return false;
        slots[slot] = FileResult{};
        return true;
    };
    steps.work = [&](int64_t index, size_t slot) { work(size_t(index), slots[slot]); };
    steps.emit = [&](int64_t index, size_t slot) {
        FileResult& result = slots[slot];
        const Status s = result.status.ok() ? emit(size_t(index), result) : success();
        result.bytes = {};
        if (result.status.ok())
            for (const std::string& note : result.notes) printMessage(meter, note);
        if (!result.status.ok()) {
            printMessage(meter, result.status.message);
            ++failed;
        }
        return s;
    };
    steps.progress = [&](int64_t done) { updateProgress(meter, done); };
    const Status s = runOrdered(threads, slots.size(), steps);
    finishProgress(meter);
    if (!s.ok()) return s;
    return failed > 0 ? Status{exitBadData, ""} : success();
}

}  // namespace

Status applyToFolder(const Options& options)
{
    Status s = checkFolder(options.outDir);
    if (!s.ok()) return s;
    std::vector<Status> refused;
    const std::vector<std::string> outputs = planOutputs(options, refused);
    ProgressMeter meter = startProgress(options.quiet, static_cast<int64_t>(outputs.size()));
    return eachFile(
        options,
        [&](size_t i, FileResult& result) {
            if (refused[i].ok())
                correctFile(options, options.inputs[i], outputs[i], result);
            else
                result.status = refused[i];
        },
        [&](size_t i, FileResult& result) {
            const Status made = makeFolder(options.outDir);
            if (!made.ok()) return made;  // ends the run: nothing can be written
            OutputFile out;
            result.status = openOutput(outputs[i], out);
            if (result.status.ok()) result.status = writeOutput(out, result.bytes.data(), result.bytes.size());
            if (result.status.ok()) result.status = commitOutput(out, options.overwrite);
            return success();
        },
        meter);
}

Status analyzeImages(const Options& options)
{
    OutputFile out;
    Status s = openOutput("-", out);
    if (!s.ok()) return s;
    const bool named = options.inputs.size() > 1;
    ProgressMeter meter = startProgress(options.quiet || !named,
                                        static_cast<int64_t>(options.inputs.size()));
    return eachFile(
        options,
        [&](size_t i, FileResult& result) { analyzeFile(options, options.inputs[i], result); },
        [&](size_t i, FileResult& result) {
            const NeutralReport neutral{result.light, options.strength};
            const FrameReport report{0,
                                     result.width,
                                     result.height,
                                     options.levelR,
                                     options.levelG,
                                     options.levelB,
                                     &result.levels,
                                     options.blocks,
                                     named ? &options.inputs[i] : nullptr,
                                     nullptr,
                                     options.method == Method::neutral ? &neutral : nullptr};
            const std::string text = options.json ? jsonReport(report) : textReport(report);
            clearProgress(meter);
            return writeOutput(out, text.data(), text.size());
        },
        meter);
}
