#include "cli/options.h"

#include <thread>

#include "cli/arguments.h"
#include "cli/formats/frame_size.h"
#include "cli/formats/names.h"

int32_t threadCount(const Options& options)
{
    if (options.threads > 0) return options.threads;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : cores > maximumThreads ? maximumThreads : static_cast<int32_t>(cores);
}

Strengths strengthsOf(const Options& options)
{
    return {options.levelR, options.levelG, options.levelB};
}

namespace {

const char* commandName(Command c)
{
    return c == Command::apply ? "apply" : c == Command::analyze ? "analyze" : "";
}

Status wrong(Command c, const std::string& what)
{
    // main puts "velto: " in front of every message.
    if (c == Command::none) return usageError(what + " (see 'velto --help')");
    const std::string name = commandName(c);
    return usageError(name + ": " + what + " (see 'velto " + name + " --help')");
}

bool toolTakesValue(std::string_view name)
{
    return name == "--levels" || name == "--method" || name == "--strength" || name == "--raw" || name == "--threads" || name == "--quality" ||
           name == "--format" || name == "--out-dir" || name == "--steady" || name == "--fps" ||
           name == "--flatten";
}

}  // namespace

Status resolveMethod(bool methodGiven, bool levelsGiven, bool strengthGiven, Method& method)
{
    if (levelsGiven && !methodGiven) method = Method::classic;
    if (levelsGiven && method == Method::neutral)
        return usageError("--levels steers the classic correction; it does not go with "
                          "--method neutral");
    if (strengthGiven && method == Method::classic)
        return usageError("--strength steers the neutral correction; it does not go with "
                          "--method classic or --levels");
    return success();
}

Status parseCommandLine(int argc, const char* const* argv, Options& options)
{
    options = Options{};
    if (argc < 2) return wrong(Command::none, "no command given");
    const std::string_view first = argv[1];
    if (first == "--help" || first == "-h" || first == "help") {
        options.help = true;
        return success();
    }
    if (first == "--version") {
        options.version = true;
        return success();
    }
    if (first == "apply")
        options.command = Command::apply;
    else if (first == "analyze")
        options.command = Command::analyze;
    else
        return wrong(Command::none, "unknown command '" + std::string(first) + "'");
    const Command c = options.command;

    std::vector<std::string> positional;
    bool methodGiven = false, levelsGiven = false, strengthGiven = false;
    ArgumentWalk walk{argc, argv};
    Argument argument;
    std::string error;
    while (nextArgument(walk, toolTakesValue, argument, error)) {
        const std::string_view name = argument.name, value = argument.value;
        if (name.empty()) {
            positional.emplace_back(value);
            continue;
        }
        const bool analyzeOnly = name == "--json" || name == "--blocks";
        if (analyzeOnly && c != Command::analyze)
            return wrong(c, std::string(name) + " belongs to 'velto analyze'");
        const bool applyOnly = name == "--force" || name == "-f" || name == "--quality" ||
                               name == "--format" || name == "--out-dir" || name == "--overwrite" ||
                               name == "--keep-going" || name == "--flatten";
        if (applyOnly && c != Command::apply)
            return wrong(c, std::string(name) + " belongs to 'velto apply'");

        if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (name == "--method") {
            if (!parseMethod(value, options.method))
                return wrong(c, "--method wants neutral or classic, not '" + std::string(value) + "'");
            methodGiven = true;
        } else if (name == "--strength") {
            if (!parseStrength(value, options.strength))
                return wrong(c, "--strength wants a percentage from 0 to 100, not '" +
                                    std::string(value) + "'");
            strengthGiven = true;
        } else if (name == "--levels") {
            if (!parseLevels(value, options.levelR, options.levelG, options.levelB))
                return wrong(c, "--levels wants R,G,B, three whole numbers from " + levelRangeText() +
                                    ", not '" + std::string(value) + "'");
            levelsGiven = true;
        } else if (name == "--raw") {
            if (!parseFrameSize(value, options.width, options.height))
                return wrong(c, "--raw wants WIDTHxHEIGHT, " + frameLimitsText() + ", not '" +
                                    std::string(value) + "'");
            options.raw = true;
        } else if (name == "--threads") {
            if (!parseBoundedInt(value, 1, maximumThreads, options.threads))
                return wrong(c, "--threads wants a whole number from " + threadRangeText() + ", not '" +
                                    std::string(value) + "'");
        } else if (name == "--quality") {
            if (!parseBoundedInt(value, minimumJpegQuality, maximumJpegQuality, options.quality))
                return wrong(c, "--quality wants a whole number from " + qualityRangeText() +
                                    ", not '" + std::string(value) + "'");
            options.qualityGiven = true;
        } else if (name == "--format") {
            if (!formatOfName(std::string(value), options.format))
                return wrong(c, "--format wants png, ppm, pam or jpeg, not '" +
                                    std::string(value) + "'");
            options.formatGiven = true;
        } else if (name == "--out-dir") {
            if (value.empty()) return wrong(c, "--out-dir needs a folder");
            options.outDir = std::string(value);
        } else if (name == "--overwrite") {
            options.overwrite = true;
        } else if (name == "--keep-going") {
            options.keepGoing = true;
        } else if (name == "--flatten") {
            if (!parseColour(value, options.flattenColour))
                return wrong(c, "--flatten wants a colour: white, black or RRGGBB in hexadecimal, "
                                "not '" + std::string(value) + "'");
            options.flatten = true;
        } else if (name == "--steady") {
            if (!parseSteadySeconds(value, options.steadySeconds))
                return wrong(c, "--steady wants SECONDS, a number above 0 and at most " +
                                    maximumSteadyText() + ", not '" + std::string(value) + "'");
        } else if (name == "--fps") {
            if (!parseFrameRate(value, options.frameRate))
                return wrong(c, "--fps wants frames a second such as 25, 29.97 or 30000/1001, "
                                "above 0 and at most " + maximumFrameRateText() + ", not '" +
                                    std::string(value) + "'");
        } else if (name == "--quiet" || name == "-q") {
            options.quiet = true;
        } else if (name == "--force" || name == "-f") {
            options.force = true;
        } else if (name == "--json") {
            options.json = true;
        } else if (name == "--blocks") {
            options.blocks = true;
        } else {
            return wrong(c, "unknown option '" + std::string(name) + "'");
        }
    }
    if (!error.empty()) return wrong(c, error);
    if (options.help) return success();
    const Status method = resolveMethod(methodGiven, levelsGiven, strengthGiven, options.method);
    if (!method.ok()) return wrong(c, method.message);
    if (options.steadySeconds > 0.0 && !options.raw)
        return wrong(c, "--steady works on a stream of raw frames: add --raw WIDTHxHEIGHT");
    if (options.steadySeconds > 0.0 && !(options.frameRate > 0.0))
        return wrong(c, "--steady needs the stream's frame rate: add --fps RATE");
    if (options.frameRate > 0.0 && !(options.steadySeconds > 0.0))
        return wrong(c, "--fps serves only --steady");

    const bool batch = !options.outDir.empty();
    if (options.raw && (batch || options.formatGiven || options.qualityGiven ||
                        options.keepGoing || options.flatten))
        return wrong(c, std::string(batch                 ? "--out-dir"
                                    : options.formatGiven  ? "--format"
                                    : options.qualityGiven ? "--quality"
                                    : options.keepGoing    ? "--keep-going"
                                                           : "--flatten") +
                            " is for images, not raw frames");
    if (options.overwrite && !batch) return wrong(c, "--overwrite goes with --out-dir");
    if (c == Command::apply && !batch) {
        if (positional.size() < 2) return wrong(c, "wants INPUT and OUTPUT");
        if (positional.size() > 2) return wrong(c, "too many arguments (several files go with --out-dir)");
        options.output = positional[1];
        positional.pop_back();
    }
    if (positional.empty()) return wrong(c, batch ? "wants at least one FILE" : "wants INPUT");
    if (options.raw && positional.size() > 1) return wrong(c, "--raw reads one INPUT");
    for (const std::string& p : positional)
        if (p == "-" && (batch || positional.size() > 1))
            return wrong(c, batch ? "--out-dir takes files, not standard input"
                                  : "standard input is read alone, not among other files");
    // --quality where the output cannot be JPEG: an output whose format is
    // named, by --format or by OUTPUT's extension, as another.
    const auto lossy = [](ImageFormat f) {
        return f == ImageFormat::jpeg || f == ImageFormat::webp || f == ImageFormat::heif ||
               f == ImageFormat::avif;
    };
    ImageFormat named;
    if (options.qualityGiven &&
        ((options.formatGiven && !lossy(options.format)) ||
         (!options.formatGiven && formatOfExtension(options.output, named) && !lossy(named))))
        return wrong(c, "--quality is for JPEG, WebP, HEIC and AVIF output");
    options.input = positional[0];
    options.inputs = std::move(positional);
    return success();
}
