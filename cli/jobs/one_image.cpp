#include "cli/jobs/one_image.h"

#include <new>

#include "cli/formats/names.h"
#include "cli/io/input.h"
#include "cli/io/output.h"
#include "cli/jobs/corrected_image.h"
#include "cli/jobs/images.h"
#include "cli/jobs/progress.h"

namespace {

// Where the encoder's bytes go: straight into the output.
struct OutputSink {
    OutputFile* out;
    Status status;
};

bool writeToOutput(void* context, const uint8_t* data, size_t count)
{
    auto* sink = static_cast<OutputSink*>(context);
    try {  // no exception may cross the codecs' C code
        sink->status = writeOutput(*sink->out, data, count);
    } catch (const std::bad_alloc&) {
        sink->status = Status{exitBadData, "out of memory"};
    }
    return sink->status.ok();
}

}  // namespace

Status readImage(const std::string& path, const Options& options, Image& image,
                 const Progress* progress)
{
    std::vector<uint8_t> bytes;
    const Status s = readWholeInput(path, bytes);
    if (!s.ok()) return s;
    return decodeImage(bytes, inputName(path), image, options.keepGoing, progress);
}

Status fitAlpha(Image& image, ImageFormat format, const Options& options, const std::string& name)
{
    if (!image.hasAlpha) return success();
    if (options.flatten) {
        flattenOnto(image, options.flattenColour);
        return success();
    }
    if (holdsAlpha(format)) return success();
    if (allOpaque(image)) {
        dropAlpha(image);
        return success();
    }
    return usageError(name + (format == ImageFormat::ppm ? ": a PPM" : ": a JPEG") +
                      " holds no alpha and the input is not opaque; write .png or .pam, or "
                      "give --flatten COLOUR (see 'velto apply --help')");
}

std::vector<std::string> afterWriting(const Image& image, const std::string& input,
                                      const std::string& output, const std::string& lost)
{
    std::vector<std::string> lines;
    if (!image.damage.empty())
        lines.push_back(inputName(input) + ": corrupt " +
                        (image.format == ImageFormat::tiff ? "TIFF" : "JPEG") + " (" +
                        image.damage + "), written all the same (--keep-going)");
    if (!image.left.empty()) lines.push_back(inputName(input) + ": " + image.left);
    if (!lost.empty())
        lines.push_back(inputName(input) + ": not carried to " + outputName(output) + ": " + lost);
    return lines;
}

Status applyToImage(const Options& options)
{
    // An unknown extension is a mistake of the command line: say so before
    // reading anything.
    ImageFormat format = options.format;
    if (!options.formatGiven && !outputFormatFor(options.output, ImageFormat::png, false, format))
        return usageError(options.output +
                          ": unknown image extension; write .png, .jpg, .webp, .tif, .heic, .avif, .ppm, .pnm "
                          "or .pam, or "
                          "give --format (see 'velto apply --help')");

    // A large picture takes seconds: on a terminal, its stages are shown.
    ProgressMeter meter = startProgress(options.quiet);
    const std::string reading = inputName(options.input) + ": reading";
    const std::string writing = outputName(options.output) + ": writing";
    const Progress read = [&](double f) { updateStage(meter, reading, f); };
    const Progress write = [&](double f) { updateStage(meter, writing, f); };

    Image image;
    Status s = readImage(options.input, options, image, &read);
    clearProgress(meter);
    if (!s.ok()) return s;
    if (!options.formatGiven) outputFormatFor(options.output, image.format, image.hasAlpha, format);
    const std::string name = outputName(options.output);
    // Everything that can refuse the picture comes before the output is opened.
    if (!canWrite(format)) return badData(name + ": " + cannotWriteText(format));
    s = fitAlpha(image, format, options, name);
    if (!s.ok()) return s;
    updateStage(meter, inputName(options.input) + ": correcting", -1.0);
    correctImage(options, image);

    OutputFile out;
    s = openOutput(options.output, out);
    if (!s.ok()) return s;
    OutputSink sink{&out, success()};
    std::string lost;
    s = encodeImage(image, format, name, ByteSink{&sink, writeToOutput},
                    EncodeSettings{options.qualityGiven ? options.quality : 0, &lost, &write});
    clearProgress(meter);
    if (!sink.status.ok()) s = sink.status;
    if (s.ok()) s = commitOutput(out);
    if (!s.ok()) {
        discardOutput(out);
        return s;
    }
    for (const std::string& line : afterWriting(image, options.input, options.output, lost))
        printMessage(meter, line);
    return success();
}
