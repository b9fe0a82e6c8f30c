// The results table both benchmark programs print: each case's median time per
// frame, per pixel, and as a multiple of the memcpy of the same frame measured
// in the same run.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct CaseTime {
    std::string name;  // "kind/scene/WxH", or "memcpy/WxH" for the baseline
    double seconds;    // median time of one frame
    double pixels;
};

// "1920x1080" from "frame_pass/natural/1920x1080".
inline std::string sizeOf(const std::string& name)
{
    const size_t slash = name.rfind('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

inline void printRatioTable(std::FILE* out, const std::vector<CaseTime>& cases, const char* note)
{
    std::fprintf(out, "\n%s\n", note);
    std::fprintf(out, "%-34s %10s %9s %9s\n", "case", "ms/frame", "ns/pixel", "x memcpy");
    for (const CaseTime& c : cases) {
        double baseline = 0.0;
        for (const CaseTime& m : cases)
            if (m.name == "memcpy/" + sizeOf(c.name)) baseline = m.seconds;
        std::fprintf(out, "%-34s %10.3f %9.3f ", c.name.c_str(), c.seconds * 1e3, c.seconds * 1e9 / c.pixels);
        if (baseline > 0.0)
            std::fprintf(out, "%9.2f\n", c.seconds / baseline);
        else
            std::fprintf(out, "%9s\n", "-");
    }
}
