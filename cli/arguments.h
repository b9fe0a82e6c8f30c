// The pieces every command line of the tool is read with: the walk over the
// arguments, the parsers of option values, and the limits and ranges as the
// messages and the help quote them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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

// The two corrections: the neutral one, which removes the light's cast, and
// the classic stretch between black and white points that the levels steer.
enum class Method { neutral, classic };
// "neutral" or "classic".
bool parseMethod(std::string_view text, Method& method);
const char* methodName(Method method);
// A percentage from 0 to 100, digits with an optional decimal point, as a
// share from 0 to 1.
bool parseStrength(std::string_view text, double& share);
