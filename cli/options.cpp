#include "cli/options.h"

#include <charconv>
#include <thread>

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

std::string frameLimitsText()
{
    return "each side 1 to " + std::to_string(maximumSide) + " and at most " +
           std::to_string(maximumFrameBytes >> 30) + " GiB a frame";
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

bool parseFrameSize(std::string_view text, int32_t& width, int32_t& height)
{
    const size_t x = text.find_first_of("xX");
    if (x == std::string_view::npos) return false;
    int32_t w = 0, h = 0;
    if (!parseBoundedInt(text.substr(0, x), 1, maximumSide, w) ||
        !parseBoundedInt(text.substr(x + 1), 1, maximumSide, h))
        return false;
    if (int64_t{w} * h * 4 > maximumFrameBytes) return false;
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

// Splits "--name=value" into name and value; value stays empty otherwise.
bool splitInline(std::string_view arg, std::string_view& name, std::string_view& value)
{
    const size_t eq = arg.find('=');
    if (eq == std::string_view::npos) {
        name = arg;
        return false;
    }
    name = arg.substr(0, eq);
    value = arg.substr(eq + 1);
    return true;
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
    bool optionsEnded = false;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (optionsEnded || arg == "-" || arg.size() < 2 || arg[0] != '-') {
            positional.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string_view name, value;
        const bool inlineValue = splitInline(arg, name, value);
        const bool takesValue = name == "--levels" || name == "--raw" || name == "--threads" ||
                                name == "--quality" || name == "--format" || name == "--out-dir" ||
                                name == "--steady" || name == "--fps";
        if (takesValue && !inlineValue) {
            if (i + 1 == argc) return wrong(c, std::string(name) + " needs a value");
            value = argv[++i];
        } else if (!takesValue && inlineValue) {
            return wrong(c, std::string(name) + " takes no value");
        }
        const bool analyzeOnly = name == "--json" || name == "--blocks";
        if (analyzeOnly && c != Command::analyze)
            return wrong(c, std::string(name) + " belongs to 'velto analyze'");
        const bool applyOnly = name == "--force" || name == "-f" || name == "--quality" ||
                               name == "--format" || name == "--out-dir" || name == "--overwrite";
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
            if (!parseBoundedInt(value, 1, 100, options.quality))
                return wrong(c, "--quality wants a whole number from 1 to 100, not '" +
                                    std::string(value) + "'");
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
        } else if (name == "--steady") {
            if (!parseSteadySeconds(value, options.steadySeconds))
                return wrong(c, "--steady wants SECONDS, a number above 0 and at most 600, not '" +
                                    std::string(value) + "'");
        } else if (name == "--fps") {
            if (!parseFrameRate(value, options.frameRate))
                return wrong(c, "--fps wants frames a second such as 25, 29.97 or 30000/1001, "
                                "above 0 and at most 1000, not '" + std::string(value) + "'");
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
    if (options.help) return success();
    if (options.steadySeconds > 0.0 && !options.raw)
        return wrong(c, "--steady works on a stream of raw frames: add --raw WIDTHxHEIGHT");
    if (options.steadySeconds > 0.0 && !(options.frameRate > 0.0))
        return wrong(c, "--steady needs the stream's frame rate: add --fps RATE");
    if (options.frameRate > 0.0 && !(options.steadySeconds > 0.0))
        return wrong(c, "--fps serves only --steady");

    const bool batch = !options.outDir.empty();
    if (options.raw && (batch || options.formatGiven || options.qualityGiven))
        return wrong(c, std::string(batch ? "--out-dir" : options.formatGiven ? "--format"
                                                                            : "--quality") +
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

std::string toolHelp()
{
    return "Usage: velto COMMAND [OPTIONS] ...\n"
           "Automatic white balance for images and raw video frames.\n"
           "\n"
           "Commands:\n"
           "  apply     correct an image, many images, or a stream of raw frames\n"
           "  analyze   print the levels found in each frame\n"
           "\n"
           "Options:\n"
           "  --help, -h  this text\n"
           "  --version   the version of velto\n"
           "\n"
           "'velto COMMAND --help' describes each command.\n"
           "Exit status: 0 success, 1 bad input or failed output, 2 usage error.\n";
}

std::string applyHelp()
{
    return "Usage: velto apply [--levels R,G,B] [--format F] [--quality N] [--force]\n"
           "                   INPUT OUTPUT\n"
           "       velto apply --out-dir DIR [--levels R,G,B] [--format F] [--quality N]\n"
           "                   [--overwrite] [--threads N] [--quiet] FILE...\n"
           "       velto apply --raw WIDTHxHEIGHT [--levels R,G,B] [--steady SECONDS --fps RATE]\n"
           "                   [--threads N] [--quiet] [--force] INPUT OUTPUT\n"
           "Corrects the colour cast of an image (PNG, JPEG, PPM, PGM, PBM or PAM), of\n"
           "many images into a folder, or of a stream of raw frames of WIDTH x HEIGHT\n"
           "pixels, 4 bytes each in the order B, G, R, A (ffmpeg's bgra). '-' is standard\n"
           "input or standard output.\n"
           "\n"
           "  --levels R,G,B   levels of red, green and blue, " + levelRangeText() +
           " (default " + defaultLevelsText() + ")\n"
           "  --format F       write png, ppm, pam or jpeg, whatever the output's name says\n"
           "  --quality N      JPEG quality, 1 to 100 (default 95)\n"
           "  --out-dir DIR    write DIR/NAME for each FILE (DIR is made if missing)\n"
           "  --overwrite      with --out-dir: replace outputs that exist already\n"
           "  --raw WxH        read and write raw frames of this size\n"
           "  --steady SECONDS smooth the levels over time, for video without flicker:\n"
           "                   a running mean with this time constant (1 suits most\n"
           "                   video), started afresh at each scene cut\n"
           "  --fps RATE       the stream's frames a second, for --steady: 25, 29.97,\n"
           "                   30000/1001\n"
           "  --threads N      frames or files corrected at once, " + threadRangeText() + " (default: one\n"
           "                   per core); frames in flight take at most 256 MiB (or one)\n"
           "  --quiet, -q      no progress on standard error\n"
           "  --force, -f      write to standard output even when it is a terminal\n"
           "  --help, -h       this text\n"
           "\n"
           "An image's output format follows OUTPUT's extension (.png, .jpg or .jpeg,\n"
           ".ppm or .pnm, .pam), or the input's when there is none. A JPEG's EXIF block\n"
           "(with its orientation) and ICC profile go on to a JPEG or PNG output.\n"
           "\n"
           "With --out-dir, NAME is FILE's own name, its extension changed to the one of\n"
           "--format when given. A file that fails, or whose output exists (without\n"
           "--overwrite) or is another FILE's output too, is named in one line and\n"
           "skipped; the others are still written, and the exit status is then 1.\n"
           "\n"
           "Raw output frames have a fourth byte of 0. Without --steady each frame is\n"
           "corrected on its own levels alone; with it the output is the same for every\n"
           "thread count.\n";
}

std::string analyzeHelp()
{
    return "Usage: velto analyze [--levels R,G,B] [--json] [--blocks] [--threads N]\n"
           "                     [--quiet] FILE...\n"
           "       velto analyze --raw WIDTHxHEIGHT [--levels R,G,B] [--json] [--blocks]\n"
           "                     [--steady SECONDS --fps RATE] [--threads N] [--quiet] INPUT\n"
           "Prints, for each frame, the black and white points of red, green and blue, the\n"
           "three gains and the three black bytes the correction would use. Given several\n"
           "files, it names each: first in its text, as \"file\" in its JSON line.\n"
           "\n"
           "The frame is cut into 4 x 4 blocks, and its levels come from two of them\n"
           "alone, blocks 8 and 9. In a picture shown top row first, these are\n"
           "the left-most block of the second block row and the right-most block of the\n"
           "third. --blocks numbers the blocks as the filter does, bottom row first: 1 to\n"
           "4 are the bottom block row, left to right, and 13 to 16 the top row.\n"
           "\n"
           "  --levels R,G,B   levels of red, green and blue, " + levelRangeText() +
           " (default " + defaultLevelsText() + ")\n"
           "  --raw WxH        read raw bgra frames of this size\n"
           "  --json           one JSON object per frame and line\n"
           "  --blocks         also the black and white points of the sixteen blocks\n"
           "  --steady SECONDS with --raw: the levels smoothed over time, as 'velto apply'\n"
           "                   uses them, the frame's own as measured, and whether the\n"
           "                   frame starts a new scene\n"
           "  --fps RATE       the stream's frames a second, for --steady\n"
           "  --threads N      frames or files analysed at once, " + threadRangeText() + " (default: one\n"
           "                   per core); frames in flight take at most 256 MiB (or one)\n"
           "  --quiet, -q      no progress on standard error\n"
           "  --help, -h       this text\n";
}
