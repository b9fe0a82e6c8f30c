// One digest of a fixed set of frames through the frei0r entry points, the
// same for every build: velto.so's code called directly on Linux (whose bytes
// the hosts' test holds to `velto apply --raw`'s) and velto.dll loaded under
// wine, each reached through a table of the entry points.
#pragma once

#include <cstdint>
#include <vector>

extern "C" {
#include <frei0r.h>
}

#include "tests/support/frames.h"
#include "tests/support/pictures.h"

struct Frei0rCalls {
    f0r_instance_t (*construct)(unsigned int, unsigned int);
    void (*destruct)(f0r_instance_t);
    void (*setParamValue)(f0r_instance_t, f0r_param_t, int);
    void (*update)(f0r_instance_t, double, const uint32_t*, uint32_t*);
    void (*update2)(f0r_instance_t, double, const uint32_t*, const uint32_t*, const uint32_t*,
                    uint32_t*);
};

struct Frei0rFramesCase {
    int32_t width, height;
    double params[6];  // the levels, Steady, Neutral, Strength
    std::vector<double> times;
};

// Frames of a warm ramp with noise in every byte, alpha included; the six
// parameters set as given (a negative one is left at its default); each frame
// at its time, the output bytes folded into one 64-bit FNV-1a digest. Steady
// runs over frames that change, with one jump ahead (a seek) among them, and
// long enough for its hold band. The classic cases (Neutral at 0) must come
// out as frei0rClassicDigest, the bytes of the effect before it had the
// neutral method; the neutral ones as frei0rNeutralDigest.
inline const std::vector<Frei0rFramesCase>& frei0rClassicCases()
{
    static const std::vector<Frei0rFramesCase> cases = {
        {721, 37, {0.5, 0.5, 0.5, -1, 0, -1}, {0.0}},
        {160, 90, {0.025, 1.0, 0.175, 0.0, 0, 0.3}, {0.0, 0.04}},
        {3, 9, {-1, -1, -1, -1, 0, -1}, {0.0}},
        {1, 1, {0.0, 0.0, 0.0, -1, 0, -1}, {0.0}},
        {64, 48, {0.3, 0.5, 0.8, 0.1, 0, -1}, {0.0, 0.04, 0.08, 0.12, 2.0, 2.04}},
        // A time constant of 0.1 s: settled after four frames, so that the
        // later ones go through the hold band.
        {48, 32, {0.5, 0.5, 0.5, 0.01, 0, -1}, {0.0, 0.04, 0.08, 0.12, 0.16, 0.2, 0.24, 0.28, 0.32, 0.36}},
    };
    return cases;
}

inline const std::vector<Frei0rFramesCase>& frei0rNeutralCases()
{
    static const std::vector<Frei0rFramesCase> cases = {
        {721, 37, {-1, -1, -1, -1, -1, -1}, {0.0}},
        {160, 90, {0.025, 1.0, 0.175, 0.0, 1, 0.4}, {0.0, 0.04}},
        {1, 1, {-1, -1, -1, -1, 1, 0.0}, {0.0}},
        {64, 48, {-1, -1, -1, 0.1, -1, 0.7}, {0.0, 0.04, 0.08, 0.12, 2.0, 2.04}},
    };
    return cases;
}

inline uint64_t digestOfFrei0rFrames(const Frei0rCalls& f0r, const std::vector<Frei0rFramesCase>& cases)
{
    uint64_t digest = 14695981039346656037ull;
    bool second = false;
    for (const Frei0rFramesCase& c : cases) {
        f0r_instance_t instance = f0r.construct(static_cast<unsigned int>(c.width),
                                                static_cast<unsigned int>(c.height));
        for (int i = 0; i < 6; ++i) {
            double value = c.params[i];
            if (value >= 0.0) f0r.setParamValue(instance, &value, i);
        }
        Random random{static_cast<uint32_t>(c.width * 31 + c.height)};
        for (double time : c.times) {
            TestFrame in(c.width, c.height);
            paintWarmRamp(in, random);
            std::vector<uint32_t> out(in.words.size());
            // Both entry points a host may call, in turn.
            if (second) f0r.update2(instance, time, in.words.data(), nullptr, nullptr, out.data());
            else f0r.update(instance, time, in.words.data(), out.data());
            second = !second;
            for (uint32_t pixel : out)
                for (int shift = 0; shift < 32; shift += 8) {
                    digest ^= (pixel >> shift) & 0xFF;
                    digest *= 1099511628211ull;
                }
        }
        f0r.destruct(instance);
    }
    return digest;
}

constexpr uint64_t frei0rClassicDigest = 16342046322322235311ull;
constexpr uint64_t frei0rNeutralDigest = 12911143787641902096ull;
