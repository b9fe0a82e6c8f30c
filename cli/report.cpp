#include "cli/report.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "engine/correct.h"

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

}  // namespace

std::string jsonReport(const FrameReport& report)
{
    const BlockLevels& l = *report.levels;
    const CorrectionLevels own = correctionLevels(l);
    const CorrectionLevels& used = report.steady ? report.steady->levels : own;
    const CorrectionBytes c = correctionBytes(used);
    std::string out = "{\"frame\":";
    appendInt(out, report.frame);
    out += ",\"width\":";
    appendInt(out, report.width);
    out += ",\"height\":";
    appendInt(out, report.height);
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
    const BlockLevels& l = *report.levels;
    const CorrectionLevels own = correctionLevels(l);
    const CorrectionLevels& used = report.steady ? report.steady->levels : own;
    const CorrectionBytes c = correctionBytes(used);
    std::string out = "frame " + std::to_string(report.frame) + ": " +
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
