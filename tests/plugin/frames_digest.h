// One digest of a fixed set of frames, the same for every build: 32-bit or
// 64-bit, through the plug-in or the engine. Frames as a host lays them out,
// rows with gaps, some walked back, junk in every host field the filter must
// not read. Portable: the native trees use it too.
#pragma once

#include <cstdint>
#include <functional>

#include "host/records.h"
#include "tests/support/frames.h"
#include "tests/support/pictures.h"

// Runs one frame: strengths, source view, destination view.
using FrameRunner = std::function<void(const Strengths&, BitmapView&, BitmapView&)>;

// The frames and strengths through run, each destination pixel folded into one
// 64-bit FNV-1a digest, which must come out as framesDigest.
inline uint64_t digestOfFrames(const FrameRunner& run)
{
    struct Case {
        int32_t width, height;
        intptr_t sourceGap, destinationGap;
        bool backward;
        Strengths strengths;
        const Look* look;  // a scene with this cast; none: a warm ramp
    };
    // Red and green stretched into the bright tail, blue squeezed towards the
    // dark one: the tail masses weigh in this frame's casts enough that their
    // unit (massUnitShare) 0.3 % larger or smaller changes its bytes, which no
    // warm ramp shows.
    static constexpr Look heavyTails = {{107, 129, 22}, {53, 49, 28}, 6};
    const Case cases[] = {
        {721, 37, 12, 12, true, {20, 20, 20}, nullptr},
        {721, 37, 12, 44, true, {1, 40, 7}, nullptr},
        {643, 483, 4, 0, false, {20, 20, 20}, nullptr},
        {160, 90, 0, 16, false, {0, 41, 33}, nullptr},
        {64, 48, 0, 0, true, {35, 12, 28}, nullptr},
        {3, 9, 4, 0, false, {20, 20, 20}, nullptr},
        {135, 125, 8, 0, false, {21, 7, 26}, &heavyTails},
    };
    uint64_t digest = 14695981039346656037ull;
    for (const Case& c : cases) {
        TestFrame source(c.width, c.height, c.sourceGap, guardWord, c.backward);
        Random random{static_cast<uint32_t>(c.width * 31 + c.height)};
        if (c.look)
            paintScene(source, random, *c.look);
        else
            paintWarmRamp(source, random);
        TestFrame destination(c.width, c.height, c.destinationGap, guardWord, c.backward);
        BitmapView from = source.hostView(), to = destination.hostView();
        run(c.strengths, from, to);
        for (int32_t y = 0; y < c.height; ++y)
            for (int32_t x = 0; x < c.width; ++x) {
                const uint32_t pixel = destination.at(x, y);
                for (int shift = 0; shift < 32; shift += 8) {
                    digest ^= (pixel >> shift) & 0xFF;
                    digest *= 1099511628211ull;
                }
            }
    }
    return digest;
}

constexpr uint64_t framesDigest = 1274411228226977233ull;
