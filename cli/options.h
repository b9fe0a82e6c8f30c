// The command line: subcommand, levels, raw frame size, threads and switches,
// checked completely before any file is opened.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/formats/image.h"
#include "cli/status.h"
#include "engine/frame_view.h"

constexpr int32_t maximumThreads = 256;
constexpr double maximumSteadySeconds = 600.0;
constexpr double maximumFrameRate = 1000.0;

// The limits above, the engine's level range and the JPEG quality range as
// the texts quote them: "1 to 40", "20,20,20", "1 to 256", "1 to 100", "600",
// "1000".
std::string levelRangeText();
std::string defaultLevelsText();
std::string threadRangeText();
std::string qualityRangeText();
std::string maximumSteadyText();
std::string maximumFrameRateText();

enum class Command { none, apply, analyze };

struct Options {
    Command command = Command::none;
    bool help = false;     // print the help of the command (or of the tool) and stop
    bool version = false;
    int32_t levelR = defaultLevel, levelG = defaultLevel, levelB = defaultLevel;
    bool raw = false;
    int32_t width = 0, height = 0;  // raw frame size
    int32_t threads = 0;            // 0: one per core
    bool quiet = false;
    bool force = false;  // write binary output to a terminal all the same
    bool json = false;
    bool blocks = false;
    int32_t quality = defaultJpegQuality;
    bool qualityGiven = false;
    bool formatGiven = false;
    ImageFormat format = ImageFormat::png;  // --format, when given
    std::string outDir;                     // apply: many files into this folder
    bool overwrite = false;
    bool keepGoing = false;         // write a JPEG with damaged data all the same
    bool flatten = false;           // composite alpha onto flattenColour
    uint32_t flattenColour = 0;     // 0xRRGGBB
    double steadySeconds = 0.0;  // 0: every frame on its own levels
    double frameRate = 0.0;      // frames a second, given with --steady
    std::string input, output;        // the first input; apply's single output
    std::vector<std::string> inputs;  // all of them, in order
};

// Fills options from argv[1..argc-1]. A usage error names what is wrong in one
// line and points at the help.
Status parseCommandLine(int argc, const char* const* argv, Options& options);

// Walks the arguments after the command, one at a time: an option's name with
// its value (after '=', or the next argument for an option that takes one),
// or a positional argument (empty name). "-", and everything after "--", is
// positional.
struct ArgumentWalk {
    int argc;
    const char* const* argv;
    int next = 2;  // argv[0] is the program, argv[1] the command
    bool optionsEnded = false;
};
struct Argument {
    std::string_view name, value;
};
// The next argument into argument; false when none is left, or when the next
// is wrong, which error then says ("--x needs a value", "--x takes no value").
bool nextArgument(ArgumentWalk& walk, bool (*takesValue)(std::string_view name),
                  Argument& argument, std::string& error);

// The threads a run uses: --threads, or one per core.
int32_t threadCount(const Options& options);
// The three levels, as the engine takes them.
Strengths strengthsOf(const Options& options);

// "R,G,B", each a whole number from minimumLevel to maximumLevel.
bool parseLevels(std::string_view text, int32_t& r, int32_t& g, int32_t& b);
// A colour for --flatten: "white", "black", or RRGGBB in hexadecimal, with
// or without a leading '#'; as 0xRRGGBB.
bool parseColour(std::string_view text, uint32_t& colour);
// "WIDTHxHEIGHT", of a size imageSizeAllowed (formats/frame_size.h).
bool parseFrameSize(std::string_view text, int32_t& width, int32_t& height);
// A whole decimal number within [low, high], nothing else around it.
bool parseBoundedInt(std::string_view text, int32_t low, int32_t high, int32_t& value);
// Seconds as digits with an optional decimal point, above 0 and at most
// maximumSteadySeconds.
bool parseSteadySeconds(std::string_view text, double& seconds);
// Frames a second as a decimal number or a ratio N/D, as ffprobe prints it
// ("25", "29.97", "30000/1001"); above 0 and at most maximumFrameRate.
bool parseFrameRate(std::string_view text, double& rate);
