// Frames as a host lays them out: rows of pixels with gaps between them, in
// buffers of their own, wrapped in the host's bitmap view with junk in every
// field the filter must not read. Portable: the native trees use it too.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "host/records.h"
#include "settings/filter_settings.h"

constexpr unsigned char hostJunk = 0xA5;
constexpr uint32_t guardWord = 0xDEADBEEF;

// Rows of width pixels, gap bytes after each. With backward the view starts
// at the last row in memory and walks back, as with a negative pitch.
struct HostFrame {
    int32_t width, height;
    intptr_t gap;
    std::vector<uint32_t> words;
    BitmapView view;

    HostFrame(int32_t w, int32_t h, intptr_t gapBytes, bool backward = false)
        : width(w), height(h), gap(gapBytes),
          words(static_cast<size_t>(h) * static_cast<size_t>(w + gapBytes / 4), guardWord)
    {
        std::memset(&view, hostJunk, sizeof view);
        view.width = w;
        view.height = h;
        view.pixels = words.data();
        view.rowGap = gapBytes;
        if (backward) {
            const intptr_t stride = w + gapBytes / 4;
            view.pixels = words.data() + (h - 1) * stride;
            view.rowGap = -2 * stride * 4 + gapBytes;
        }
    }
    // Pixel x of row y in the view's order.
    uint32_t& at(int32_t x, int32_t y)
    {
        const intptr_t step = width + view.rowGap / 4;
        return view.pixels[y * step + x];
    }
};

// A picture with a warm cast, some structure and noise in every byte, the
// same for a seed in every build.
inline void paint(HostFrame& frame, uint32_t seed)
{
    uint32_t state = seed;
    for (int32_t y = 0; y < frame.height; ++y)
        for (int32_t x = 0; x < frame.width; ++x) {
            state = state * 1664525u + 1013904223u;
            const uint32_t noise = state >> 27;
            const uint32_t r = (60 + static_cast<uint32_t>(x * 150 / frame.width) + noise) & 0xFF;
            const uint32_t g = (30 + static_cast<uint32_t>(y * 120 / frame.height) + noise) & 0xFF;
            const uint32_t b = static_cast<uint32_t>(20 + (x + y) % 90) & 0xFF;
            frame.at(x, y) = (state & 0xFF000000u) | r << 16 | g << 8 | b;
        }
}

// Runs one frame: settings, source view, destination view.
using FrameRunner = std::function<void(FilterSettings&, BitmapView&, BitmapView&)>;

// A fixed set of frames and levels through run, each destination pixel folded
// into one 64-bit FNV-1a digest. Every build, 32-bit or 64-bit, through the
// plug-in or the engine, must arrive at framesDigest.
inline uint64_t digestOfFrames(const FrameRunner& run)
{
    struct Case {
        int32_t width, height;
        intptr_t sourceGap, destinationGap;
        bool backward;
        int32_t r, g, b;
    };
    const Case cases[] = {
        {721, 37, 12, 12, true, 20, 20, 20},   {721, 37, 12, 44, true, 1, 40, 7},
        {643, 483, 4, 0, false, 20, 20, 20},   {160, 90, 0, 16, false, 0, 41, 33},
        {64, 48, 0, 0, true, 35, 12, 28},      {3, 9, 4, 0, false, 20, 20, 20},
    };
    uint64_t digest = 14695981039346656037ull;
    for (const Case& c : cases) {
        HostFrame source(c.width, c.height, c.sourceGap, c.backward);
        paint(source, static_cast<uint32_t>(c.width * 31 + c.height));
        HostFrame destination(c.width, c.height, c.destinationGap, c.backward);
        FilterSettings settings;
        std::memset(&settings, hostJunk, sizeof settings);
        settings.levelR = c.r;
        settings.levelG = c.g;
        settings.levelB = c.b;
        run(settings, source.view, destination.view);
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

constexpr uint64_t framesDigest = 15287698564026751056ull;
