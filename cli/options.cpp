#include "cli/options.h"

#include <charconv>

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

    std::string positional[3];
    int count = 0;
    bool optionsEnded = false;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (optionsEnded || arg == "-" || arg.size() < 2 || arg[0] != '-') {
            if (count == 3) return wrong(c, "too many arguments");
            positional[count++] = std::string(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string_view name, value;
        const bool inlineValue = splitInline(arg, name, value);
        const bool takesValue = name == "--levels" || name == "--raw" || name == "--threads" ||
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
        const bool applyOnly = name == "--force" || name == "-f";
        if (applyOnly && c != Command::apply)
            return wrong(c, std::string(name) + " belongs to 'velto apply'");

        if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (name == "--levels") {
            if (!parseLevels(value, options.levelR, options.levelG, options.levelB))
                return wrong(c, "--levels wants R,G,B, three whole numbers from 1 to 40, not '" +
                                    std::string(value) + "'");
        } else if (name == "--raw") {
            if (!parseFrameSize(value, options.width, options.height))
                return wrong(c, "--raw wants WIDTHxHEIGHT, each side 1 to 65536 and at most "
                                "1 GiB a frame, not '" + std::string(value) + "'");
            options.raw = true;
        } else if (name == "--threads") {
            if (!parseBoundedInt(value, 1, maximumThreads, options.threads))
                return wrong(c, "--threads wants a whole number from 1 to 256, not '" +
                                    std::string(value) + "'");
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

    const int wanted = c == Command::apply ? 2 : 1;
    if (count < wanted)
        return wrong(c, c == Command::apply ? "wants INPUT and OUTPUT" : "wants INPUT");
    if (count > wanted) return wrong(c, "too many arguments");
    options.input = positional[0];
    if (c == Command::apply) options.output = positional[1];
    return success();
}

const char* toolHelp()
{
    return "Usage: velto COMMAND [OPTIONS] ...\n"
           "Automatic white balance for images and raw video frames.\n"
           "\n"
           "Commands:\n"
           "  apply     correct an image or a stream of raw frames\n"
           "  analyze   print the levels found in each frame\n"
           "\n"
           "Options:\n"
           "  --help, -h  this text\n"
           "  --version   the version of velto\n"
           "\n"
           "'velto COMMAND --help' describes each command.\n"
           "Exit status: 0 success, 1 bad input or failed output, 2 usage error.\n";
}

const char* applyHelp()
{
    return "Usage: velto apply [--levels R,G,B] [--force] INPUT OUTPUT\n"
           "       velto apply --raw WIDTHxHEIGHT [--levels R,G,B] [--steady SECONDS --fps RATE]\n"
           "                   [--threads N] [--quiet] [--force] INPUT OUTPUT\n"
           "Corrects the colour cast of an image (PNG, PPM, PGM, PBM or PAM), or of a\n"
           "stream of raw frames of WIDTH x HEIGHT pixels, 4 bytes each in the order\n"
           "B, G, R, A (ffmpeg's bgra). '-' is standard input or standard output.\n"
           "\n"
           "  --levels R,G,B   levels of red, green and blue, 1 to 40 (default 20,20,20)\n"
           "  --raw WxH        read and write raw frames of this size\n"
           "  --steady SECONDS smooth the levels over time, for video without flicker:\n"
           "                   a running mean with this time constant (1 suits most\n"
           "                   video), started afresh at each scene cut\n"
           "  --fps RATE       the stream's frames a second, for --steady: 25, 29.97,\n"
           "                   30000/1001\n"
           "  --threads N      frames corrected at once, 1 to 256 (default: one per core);\n"
           "                   the frames in flight take at most 256 MiB (or one frame)\n"
           "  --quiet, -q      no progress on standard error\n"
           "  --force, -f      write to standard output even when it is a terminal\n"
           "  --help, -h       this text\n"
           "\n"
           "An image's output format follows OUTPUT's extension (.png, .ppm, .pnm, .pam),\n"
           "or the input's when there is none. Raw output frames have a fourth byte of 0.\n"
           "Without --steady each frame is corrected on its own levels alone. With it the\n"
           "output is the same for every thread count.\n";
}

const char* analyzeHelp()
{
    return "Usage: velto analyze [--levels R,G,B] [--raw WIDTHxHEIGHT] [--json] [--blocks]\n"
           "                     [--steady SECONDS --fps RATE] [--threads N] [--quiet] INPUT\n"
           "Prints, for each frame, the black and white points of red, green and blue, the\n"
           "three gains and the three black bytes the correction would use.\n"
           "\n"
           "The frame is cut into 4 x 4 blocks, and its levels come from two of them\n"
           "alone, blocks 8 and 9. In a picture shown top row first, these are\n"
           "the left-most block of the second block row and the right-most block of the\n"
           "third. --blocks numbers the blocks as the filter does, bottom row first: 1 to\n"
           "4 are the bottom block row, left to right, and 13 to 16 the top row.\n"
           "\n"
           "  --levels R,G,B   levels of red, green and blue, 1 to 40 (default 20,20,20)\n"
           "  --raw WxH        read raw bgra frames of this size\n"
           "  --json           one JSON object per frame and line\n"
           "  --blocks         also the black and white points of the sixteen blocks\n"
           "  --steady SECONDS with --raw: the levels smoothed over time, as 'velto apply'\n"
           "                   uses them, the frame's own as measured, and whether the\n"
           "                   frame starts a new scene\n"
           "  --fps RATE       the stream's frames a second, for --steady\n"
           "  --threads N      frames analysed at once, 1 to 256 (default: one per core);\n"
           "                   the frames in flight take at most 256 MiB (or one frame)\n"
           "  --quiet, -q      no progress on standard error\n"
           "  --help, -h       this text\n";
}
