#include "cli/options.h"

#include <charconv>
#include <thread>

#include "cli/formats/names.h"
#include "engine/frame_view.h"

bool parseBoundedInt(std::string_view text, int32_t low, int32_t high, int32_t& value)
{
    // Digits only: from_chars would also take a minus sign, and a leading '+'
    // or a space would be a second way of writing the same number.
    if (text.empty() || text.size() > 10) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    int64_t v = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (error != std::errc{} || end != text.data() + text.size()) return false;
    if (v < low || v > high) return false;
    value = static_cast<int32_t>(v);
    return true;
}

bool nextArgument(ArgumentWalk& walk, bool (*takesValue)(std::string_view name),
                  Argument& argument, std::string& error)
{
    if (walk.next >= walk.argc) return false;
    const std::string_view arg = walk.argv[walk.next++];
    if (walk.optionsEnded || arg == "-" || arg.size() < 2 || arg[0] != '-') {
        argument = {{}, arg};
        return true;
    }
    if (arg == "--") {
        walk.optionsEnded = true;
        return nextArgument(walk, takesValue, argument, error);
    }
    const size_t eq = arg.find('=');
    argument.name = arg.substr(0, eq);
    argument.value = eq == std::string_view::npos ? std::string_view{} : arg.substr(eq + 1);
    if (takesValue(argument.name) && eq == std::string_view::npos) {
        if (walk.next >= walk.argc) {
            error = std::string(argument.name) + " needs a value";
            return false;
        }
        argument.value = walk.argv[walk.next++];
    } else if (!takesValue(argument.name) && eq != std::string_view::npos) {
        error = std::string(argument.name) + " takes no value";
        return false;
    }
    return true;
}

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

std::string levelRangeText()
{
    return std::to_string(minimumLevel) + " to " + std::to_string(maximumLevel);
}

std::string defaultLevelsText()
{
    const std::string one = std::to_string(defaultLevel);
    return one + "," + one + "," + one;
}

std::string threadRangeText()
{
    return "1 to " + std::to_string(maximumThreads);
}

std::string qualityRangeText()
{
    return std::to_string(minimumJpegQuality) + " to " + std::to_string(maximumJpegQuality);
}

// The two limits are whole numbers, and are quoted as such.
static_assert(maximumSteadySeconds == static_cast<int32_t>(maximumSteadySeconds));
static_assert(maximumFrameRate == static_cast<int32_t>(maximumFrameRate));

std::string maximumSteadyText()
{
    return std::to_string(static_cast<int32_t>(maximumSteadySeconds));
}

std::string maximumFrameRateText()
{
    return std::to_string(static_cast<int32_t>(maximumFrameRate));
}

namespace {

// Digits with at most one decimal point among or after them: "25", "0.5",
// "29.97". No sign, exponent or space, so there is one way to write a value.
bool parseDecimal(std::string_view text, double& value)
{
    if (text.empty() || text.size() > 32 || text[0] == '.') return false;
    int points = 0;
    for (char c : text) {
        if (c == '.')
            ++points;
        else if (c < '0' || c > '9')
            return false;
    }
    if (points > 1) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value,
                                              std::chars_format::fixed);
    return error == std::errc{} && end == text.data() + text.size();
}

}  // namespace

bool parseSteadySeconds(std::string_view text, double& seconds)
{
    double v = 0.0;
    if (!parseDecimal(text, v) || !(v > 0.0) || v > maximumSteadySeconds) return false;
    seconds = v;
    return true;
}

bool parseFrameRate(std::string_view text, double& rate)
{
    const size_t slash = text.find('/');
    double v = 0.0, d = 1.0;
    if (!parseDecimal(text.substr(0, slash), v)) return false;
    if (slash != std::string_view::npos && (!parseDecimal(text.substr(slash + 1), d) || !(d > 0.0)))
        return false;
    v = v / d;
    if (!(v > 0.0) || v > maximumFrameRate) return false;
    rate = v;
    return true;
}

bool parseLevels(std::string_view text, int32_t& r, int32_t& g, int32_t& b)
{
    const size_t first = text.find(',');
    if (first == std::string_view::npos) return false;
    const size_t second = text.find(',', first + 1);
    if (second == std::string_view::npos) return false;
    int32_t v[3];
    if (!parseBoundedInt(text.substr(0, first), minimumLevel, maximumLevel, v[0]) ||
        !parseBoundedInt(text.substr(first + 1, second - first - 1), minimumLevel, maximumLevel,
                         v[1]) ||
        !parseBoundedInt(text.substr(second + 1), minimumLevel, maximumLevel, v[2]))
        return false;
    r = v[0];
    g = v[1];
    b = v[2];
    return true;
}

bool parseColour(std::string_view text, uint32_t& colour)
{
    if (text == "white") return colour = 0xFFFFFF, true;
    if (text == "black") return colour = 0, true;
    if (!text.empty() && text[0] == '#') text.remove_prefix(1);
    if (text.size() != 6) return false;
    uint32_t v = 0;
    for (char c : text) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) return false;
        v = v << 4 | uint32_t(digit);
    }
    colour = v;
    return true;
}

bool parseFrameSize(std::string_view text, int32_t& width, int32_t& height)
{
    const size_t x = text.find_first_of("xX");
    if (x == std::string_view::npos) return false;
    int32_t w = 0, h = 0;
    if (!parseBoundedInt(text.substr(0, x), 1, INT32_MAX, w) ||
        !parseBoundedInt(text.substr(x + 1), 1, INT32_MAX, h) || !imageSizeAllowed(w, h))
        return false;
    width = w;
    height = h;
    return true;
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
    return name == "--levels" || name == "--raw" || name == "--threads" || name == "--quality" ||
           name == "--format" || name == "--out-dir" || name == "--steady" || name == "--fps" ||
           name == "--flatten";
}

}  // namespace

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
        } else if (name == "--levels") {
            if (!parseLevels(value, options.levelR, options.levelG, options.levelB))
                return wrong(c, "--levels wants R,G,B, three whole numbers from " + levelRangeText() +
                                    ", not '" + std::string(value) + "'");
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
    ImageFormat named;
    if (options.qualityGiven &&
        ((options.formatGiven && options.format != ImageFormat::jpeg) ||
         (!options.formatGiven && formatOfExtension(options.output, named) &&
          named != ImageFormat::jpeg)))
        return wrong(c, "--quality is for JPEG output");
    options.input = positional[0];
    options.inputs = std::move(positional);
    return success();
}
