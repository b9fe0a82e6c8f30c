#include "cli/video/video_options.h"

#include <string_view>
#include <vector>

#include "cli/arguments.h"
#include "cli/options.h"

namespace {

Status wrong(const std::string& what)
{
    return usageError("video: " + what + " (see 'velto video --help')");
}

bool takesValue(std::string_view name)
{
    return name == "--method" || name == "--strength" || name == "--levels" || name == "--steady" || name == "--stream" || name == "--codec" ||
           name == "--crf" || name == "--preset";
}

// An encoder or preset name: letters, digits and '_', '-', '.'; nothing a
// library could read as a list of options.
bool plainName(std::string_view text)
{
    if (text.empty() || text.size() > 64) return false;
    for (char c : text)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '_' || c == '-' || c == '.'))
            return false;
    return true;
}

}  // namespace

Status parseVideoCommandLine(int argc, const char* const* argv, VideoOptions& options)
{
    options = VideoOptions{};
    std::vector<std::string> positional;
    ArgumentWalk walk{argc, argv};
    Argument argument;
    std::string error;
    bool methodGiven = false, levelsGiven = false, strengthGiven = false;
    while (nextArgument(walk, takesValue, argument, error)) {
        const std::string_view name = argument.name, value = argument.value;
        if (name.empty()) {
            positional.emplace_back(value);
            continue;
        }
        const std::string v(value);
        if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (name == "--method") {
            if (!parseMethod(value, options.method))
                return wrong("--method wants neutral or classic, not '" + v + "'");
            methodGiven = true;
        } else if (name == "--strength") {
            if (!parseStrength(value, options.strength))
                return wrong("--strength wants a percentage from 0 to 100, not '" + v + "'");
            strengthGiven = true;
        } else if (name == "--levels") {
            if (!parseLevels(value, options.strengths.levelR, options.strengths.levelG,
                             options.strengths.levelB))
                return wrong("--levels wants R,G,B, three whole numbers from " + levelRangeText() +
                             ", not '" + v + "'");
            levelsGiven = true;
        } else if (name == "--steady") {
            // 0 is allowed here: every frame on its own levels, as the plug-in.
            if (value == "0")
                options.steadySeconds = 0.0;
            else if (!parseSteadySeconds(value, options.steadySeconds))
                return wrong("--steady wants SECONDS, 0 (off) or a number up to 600, not '" + v +
                             "'");
        } else if (name == "--stream") {
            if (!parseBoundedInt(value, 0, 65535, options.stream))
                return wrong("--stream wants the number of a stream of the input, not '" + v + "'");
        } else if (name == "--codec") {
            if (!plainName(value)) return wrong("--codec wants an encoder's name, not '" + v + "'");
            options.codec = v;
        } else if (name == "--crf") {
            if (!parseBoundedInt(value, 0, 63, options.crf))
                return wrong("--crf wants a whole number from 0 to 63, not '" + v + "'");
        } else if (name == "--preset") {
            if (!plainName(value)) return wrong("--preset wants a preset's name, not '" + v + "'");
            options.preset = v;
        } else if (name == "--lossless") {
            options.lossless = true;
        } else if (name == "--overwrite" || name == "-y") {
            options.overwrite = true;
        } else if (name == "--keep-going") {
            options.keepGoing = true;
        } else if (name == "--drop-unsupported") {
            options.dropUnsupported = true;
        } else if (name == "--quiet" || name == "-q") {
            options.quiet = true;
        } else {
            return wrong("unknown option '" + std::string(name) + "'");
        }
    }
    if (!error.empty()) return wrong(error);
    if (options.help) return success();
    const Status method = resolveMethod(methodGiven, levelsGiven, strengthGiven, options.method);
    if (!method.ok()) return wrong(method.message);
    if (positional.size() < 2) return wrong("wants INPUT and OUTPUT");
    if (positional.size() > 2) return wrong("too many arguments");
    options.input = positional[0];
    options.output = positional[1];
    if (options.output == "-")
        return wrong("writes a file whose extension names the container, not standard output");
    if (options.lossless && (!options.codec.empty() || options.crf >= 0 || !options.preset.empty()))
        return wrong(
            "--lossless chooses the encoder itself; leave out --codec, --crf and --preset");
    return success();
}

std::string videoHelp()
{
    return "Usage: velto video [--method M] [--strength PCT] [--levels R,G,B]\n"
           "                   [--steady SECONDS] [--stream N] [--codec NAME]\n"
           "                   [--crf N] [--preset NAME] [--lossless]\n"
           "                   [--overwrite] [--keep-going] [--drop-unsupported] [--quiet]\n"
           "                   INPUT OUTPUT\n"
           "Corrects the colour cast of a video file's pictures and keeps everything\n"
           "else: sound, subtitles, chapters, metadata, rotation, every frame's time.\n"
           "OUTPUT's extension names the container (.mp4, .mkv, .mov, .avi, .webm, ...).\n"
           "\n"
           "  --method M       neutral (default): take the light's cast off; classic: the\n"
           "                   VirtualDub plug-in's stretch between black and white points\n"
           "  --strength PCT   the share of the cast the neutral correction takes off,\n"
           "                   0 to 100 (default 100)\n"
           "  --levels R,G,B   the classic's levels of red, green and blue, " +
           levelRangeText() + "\n                   (default " + defaultLevelsText() +
           "); alone, it selects the classic\n"
           "  --steady SECONDS smooth the correction over time with this time constant\n"
           "                   (default 1), from the frames' own time stamps and started\n"
           "                   afresh at each scene cut; 0: each frame on its own\n"
           "  --stream N       correct stream N of the input (default: the first video)\n"
           "  --codec NAME     the video encoder (default: libx264 for .mp4, .mkv and\n"
           "                   .mov, the container's usual one otherwise)\n"
           "  --crf N          the encoder's constant quality, 0 to 63 (libx264 18, libx265 22)\n"
           "  --preset NAME    the encoder's speed preset (libx264: medium)\n"
           "  --lossless       FFV1, the corrected pictures exactly; .mkv only\n"
           "  --overwrite, -y  replace OUTPUT if it exists\n"
           "  --keep-going     write what decodes of a damaged input (exit status 1)\n"
           "  --drop-unsupported  leave out streams OUTPUT's container cannot hold\n"
           "  --quiet, -q      no progress on standard error\n"
           "  --help, -h       this text\n"
           "\n"
           "Pictures deeper than 8 bits a channel are corrected at their own depth. HDR\n"
           "video keeps its colour tags, mastering display and light levels; its dynamic\n"
           "metadata (Dolby Vision, HDR10+), which the correction would make wrong, is\n"
           "left out, with a line that says so. Other streams are copied as they are.\n";
}
