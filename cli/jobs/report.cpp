#include "cli/jobs/report.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "engine/classic/correct.h"
#include "engine/neutral/neutral_gains.h"

void appendJsonNumber(std::string& out, double value)
{
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

namespace {

// The length of the UTF-8 sequence at text[at], or 0 when none starts there:
// no overlong forms, no surrogates, nothing above U+10FFFF.
size_t utf8Length(const std::string& text, size_t at)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    size_t length;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    if (byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (size_t i = 2; i < length; ++i)
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
    return length;
}

void appendInt(std::string& out, int64_t value)
{
    char text[24];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

void appendValue(std::string& out, double value)
{
    appendJsonNumber(out, value);
}

void appendValue(std::string& out, int64_t value)
{
    appendInt(out, value);
}

// "key":[r,g,b]
template <typename T>
void appendTriple(std::string& out, const char* key, T r, T g, T b)
{
    out += '"';
    out += key;
    out += "\":[";
    appendValue(out, r);
    out += ',';
    appendValue(out, g);
    out += ',';
    appendValue(out, b);
    out += ']';
}

std::string fixed(double value)
{
    char text[48];
    std::snprintf(text, sizeof text, "%.6f", value);
    return text;
}

std::string textTriple(const char* label, double r, double g, double b)
{
    return std::string(label) + "R " + fixed(r) + "  G " + fixed(g) + "  B " + fixed(b) + "\n";
}

// "100%", "12.5%".
std::string percent(double share)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4g%%", share * 100.0);
    return text;
}

// The shift the correction uses: the steady one, or the frame's own.
NeutralShift usedShift(const NeutralReport& n)
{
    return n.steady ? n.steady->shift : neutralShift(n.estimate, n.strength);
}

void appendNeutralJson(std::string& out, const NeutralReport& n)
{
    const LightEstimate& e = n.estimate;
    const NeutralGains g = neutralGains(usedShift(n));
    out += ",\"method\":\"neutral\",\"strength\":";
    appendJsonNumber(out, n.strength);
    out += e.found ? ",\"found\":true," : ",\"found\":false,";
    appendTriple(out, "light", e.light[0], e.light[1], e.light[2]);
    out += ",\"confidence\":";
    appendJsonNumber(out, e.confidence);
    out += ",\"disagreement\":";
    appendJsonNumber(out, e.disagreement);
    out += ",\"spread\":";
    appendJsonNumber(out, e.spread);
    out += ",\"offLights\":";
    appendJsonNumber(out, e.offLights);
    out += ',';
    appendTriple(out, "gains", g.red, g.green, g.blue);
    if (n.steady) {
        const NeutralGains own = neutralGains(neutralShift(e, n.strength));
        out += n.steady->newScene ? ",\"newScene\":true," : ",\"newScene\":false,";
        appendTriple(out, "measuredGains", own.red, own.green, own.blue);
    }
}

std::string neutralText(const NeutralReport& n)
{
    const LightEstimate& e = n.estimate;
    const NeutralGains g = neutralGains(usedShift(n));
    std::string out = textTriple("  light       ", e.light[0], e.light[1], e.light[2]);
    char parts[160];
    std::snprintf(parts, sizeof parts,
                  " (estimates %.1f degrees apart, colours spread %.3f, %.2f off the lights)",
                  e.disagreement, e.spread, e.offLights);
    out += "  confidence  " + fixed(e.confidence) + (e.found ? parts : " (nothing to go on)") +
           "\n";
    out += textTriple("  gains       ", g.red, g.green, g.blue);
    if (n.steady) {
        const NeutralGains own = neutralGains(neutralShift(e, n.strength));
        out += textTriple("  measured gains  ", own.red, own.green, own.blue);
    }
    return out;
}

}  // namespace

void appendJsonString(std::string& out, const std::string& text)
{
    out += '"';
    for (size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        const size_t length = utf8Length(text, at);
        if (length == 0) {
            out += "\\uFFFD";
            ++at;
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++at;
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", c);
            out += escaped;
            ++at;
        } else {
            out.append(text, at, length);
            at += length;
        }
    }
    out += '"';
}

std::string jsonReport(const FrameReport& report)
{
    const BlockLevels& l = *report.levels;
    const CorrectionLevels own = correctionLevels(l);
    const CorrectionLevels& used = report.steady ? report.steady->levels : own;
    const CorrectionBytes c = correctionBytes(used);
    std::string out = "{";
    if (report.file) {
        out += "\"file\":";
        appendJsonString(out, *report.file);
        out += ',';
    }
    out += "\"frame\":";
    appendInt(out, report.frame);
    out += ",\"width\":";
    appendInt(out, report.width);
    out += ",\"height\":";
    appendInt(out, report.height);
    if (report.neutral) appendNeutralJson(out, *report.neutral);
    out += ',';
    appendTriple<int64_t>(out, "levels", report.levelR, report.levelG, report.levelB);
    out += ',';
    appendTriple(out, "black", used.blackR, used.blackG, used.blackB);
    out += ',';
    appendTriple(out, "white", used.whiteR, used.whiteG, used.whiteB);
    out += ',';
    appendTriple<int64_t>(out, "gain", c.gainR, c.gainG, c.gainB);
    out += ',';
    appendTriple<int64_t>(out, "blackByte", c.blackR, c.blackG, c.blackB);
    if (report.steady) {
        out += report.steady->newScene ? ",\"newScene\":true," : ",\"newScene\":false,";
        appendTriple(out, "measuredBlack", own.blackR, own.blackG, own.blackB);
        out += ',';
        appendTriple(out, "measuredWhite", own.whiteR, own.whiteG, own.whiteB);
    }
    if (report.blocks) {
        out += ",\"blocks\":[";
        for (int32_t k = 1; k <= blockCount; ++k) {
            if (k > 1) out += ',';
            out += "{\"index\":";
            appendInt(out, k);
            out += ',';
            appendTriple(out, "black", l.blackR[k], l.blackG[k], l.blackB[k]);
            out += ',';
            appendTriple(out, "white", l.whiteR[k], l.whiteG[k], l.whiteB[k]);
            out += '}';
        }
        out += ']';
    }
    out += "}\n";
    return out;
}

std::string textReport(const FrameReport& report)
{
    if (report.neutral) {
        const NeutralReport& n = *report.neutral;
        std::string out = (report.file ? *report.file + ": " : "") + "frame " +
                          std::to_string(report.frame) + ": " + std::to_string(report.width) +
                          "x" + std::to_string(report.height) + ", neutral, strength " + percent(n.strength);
        if (n.steady) out += n.steady->newScene ? ", steady, new scene" : ", steady";
        return out + "\n" + neutralText(n);
    }
    const BlockLevels& l = *report.levels;
    const CorrectionLevels own = correctionLevels(l);
    const CorrectionLevels& used = report.steady ? report.steady->levels : own;
    const CorrectionBytes c = correctionBytes(used);
    std::string out = (report.file ? *report.file + ": " : "") + "frame " +
                      std::to_string(report.frame) + ": " +
                      std::to_string(report.width) + "x" + std::to_string(report.height) +
                      ", levels " + std::to_string(report.levelR) + "," +
                      std::to_string(report.levelG) + "," + std::to_string(report.levelB);
    if (report.steady) out += report.steady->newScene ? ", steady, new scene" : ", steady";
    out += "\n";
    out += textTriple("  black  ", used.blackR, used.blackG, used.blackB);
    out += textTriple("  white  ", used.whiteR, used.whiteG, used.whiteB);
    out += "  gain        R " + std::to_string(c.gainR) + "  G " + std::to_string(c.gainG) +
           "  B " + std::to_string(c.gainB) + "\n";
    out += "  black byte  R " + std::to_string(c.blackR) + "  G " + std::to_string(c.blackG) +
           "  B " + std::to_string(c.blackB) + "\n";
    if (report.steady) {
        out += textTriple("  measured black  ", own.blackR, own.blackG, own.blackB);
        out += textTriple("  measured white  ", own.whiteR, own.whiteG, own.whiteB);
    }
    if (report.blocks) {
        for (int32_t k = 1; k <= blockCount; ++k) {
            const std::string name = "  block " + std::string(k < 10 ? " " : "") +
                                     std::to_string(k);
            out += textTriple((name + " black  ").c_str(), l.blackR[k], l.blackG[k], l.blackB[k]);
            out += textTriple((name + " white  ").c_str(), l.whiteR[k], l.whiteG[k], l.whiteB[k]);
        }
    }
    return out;
}
