// The command line of 'velto video': what to read, what to write, how to
// correct and how to encode, checked completely before any file is opened.
#pragma once

#include <cstdint>
#include <string>

#include "cli/arguments.h"
#include "cli/status.h"
#include "engine/classic/strengths.h"
#include "engine/frame_view.h"

constexpr double defaultVideoSteadySeconds = 1.0;

struct VideoOptions {
    bool help = false;
    std::string input, output;
    Method method = Method::neutral;                   // --method, or the classic for --levels
    double strength = 1.0;                             // --strength, 0..1
    Strengths strengths = defaultStrengths;            // --levels
    double steadySeconds = defaultVideoSteadySeconds;  // 0: every frame on its own levels
    int32_t stream = -1;  // --stream N: that stream of the input; -1: the first video stream
    std::string codec;    // --codec NAME; empty: the container's default
    int32_t crf = -1;     // --crf N; -1: the encoder's default here (18 where it has one)
    std::string preset;   // --preset NAME
    bool lossless = false;
    bool overwrite = false;
    bool keepGoing = false;
    bool dropUnsupported = false;
    bool quiet = false;
};

// Fills options from argv[2..argc-1] (argv[1] is "video").
Status parseVideoCommandLine(int argc, const char* const* argv, VideoOptions& options);

std::string videoHelp();
