// Frames in memory for the engine tests: pixels with row gaps, and views of them.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/frame_view.h"

struct TestFrame {
    int32_t width = 0, height = 0;
    intptr_t rowGap = 0;  // bytes, a multiple of 4 here
    std::vector<uint32_t> words;

    TestFrame(int32_t w, int32_t h, intptr_t gap = 0, uint32_t fill = 0)
        : width(w), height(h), rowGap(gap),
          words(static_cast<size_t>(h) * static_cast<size_t>(w + gap / 4) + 1, fill)
    {
    }
    size_t stride() const { return static_cast<size_t>(width + rowGap / 4); }
    uint32_t& at(int32_t x, int32_t y) { return words[y * stride() + x]; }
    uint32_t at(int32_t x, int32_t y) const { return words[y * stride() + x]; }
    FrameView view() const { return {words.data(), width, height, rowGap}; }
    // A view's first pixel, for writing: the view of a destination.
    uint32_t* writable(const FrameView& v) { return words.data() + (v.pixels - words.data()); }
    // The same rows from the last in memory back to the first, as a host
    // with a negative pitch hands them over.
    FrameView backwardView() const
    {
        FrameView v = view();
        v.pixels = words.data() + static_cast<size_t>(height - 1) * stride();
        v.rowGap = -2 * intptr_t{width} * 4 - rowGap;
        return v;
    }
};

constexpr uint32_t rgb(uint32_t r, uint32_t g, uint32_t b)
{
    return r << 16 | g << 8 | b;
}
