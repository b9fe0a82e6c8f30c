#include "cli/arguments.h"

#include <charconv>

#include "cli/formats/frame_size.h"
#include "cli/formats/image.h"
#include "engine/classic/strengths.h"
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


bool parseMethod(std::string_view text, Method& method)
{
    if (text == "neutral") return method = Method::neutral, true;
    if (text == "classic") return method = Method::classic, true;
    return false;
}

const char* methodName(Method method)
{
    return method == Method::neutral ? "neutral" : "classic";
}

bool parseStrength(std::string_view text, double& share)
{
    double v = 0.0;
    if (!parseDecimal(text, v) || v > 100.0) return false;
    share = v / 100.0;
    return true;
}
