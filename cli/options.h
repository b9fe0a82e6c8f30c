// The command line: subcommand, levels, raw frame size, threads and switches,
// checked completely before any file is opened.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/formats/image.h"
#include "cli/status.h"
#include "engine/classic/strengths.h"
#include "engine/frame_view.h"

enum class Command { none, apply, analyze };

struct Options {
    Command command = Command::none;
    bool help = false;     // print the help of the command (or of the tool) and stop
    bool version = false;
    Method method = Method::neutral;  // --method, or the classic when only --levels is given
    double strength = 1.0;            // --strength, the neutral correction's share of the cast
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

// The method a command line asks for: --levels alone selects the classic;
// --levels with --method neutral, or --strength with the classic, is a usage
// error, whose message (without the command's name) says so. For every
// command line of the tool.
Status resolveMethod(bool methodGiven, bool levelsGiven, bool strengthGiven, Method& method);

// Fills options from argv[1..argc-1]. A usage error names what is wrong in one
// line and points at the help.
Status parseCommandLine(int argc, const char* const* argv, Options& options);

// The threads a run uses: --threads, or one per core.
int32_t threadCount(const Options& options);
// The three levels, as the engine takes them.
Strengths strengthsOf(const Options& options);

