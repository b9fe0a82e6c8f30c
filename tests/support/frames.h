// Frames in memory for the tests and the benchmarks: rows of pixel words, each
// followed by a gap, walked top-down or, as a host with a negative pitch hands
// them over, from the last row in memory back to the first. One frame gives
// the engine's view of itself and the host's bitmap record of itself.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/frame_view.h"

struct BitmapView;

// What fills every byte of the host's records that the filter must not read,
// so that a filter that reads one goes wrong visibly.
constexpr unsigned char hostJunk = 0xA5;
// What fills the gaps between rows where a test looks for a stray write.
constexpr uint32_t guardWord = 0xDEADBEEF;

struct TestFrame {
    int32_t width = 0, height = 0;
    intptr_t gap = 0;             // bytes after each row in memory, a multiple of 4
    bool backward = false;        // the view starts at the last row in memory
    std::vector<uint32_t> words;  // rows and gaps in memory order, fill at first

    TestFrame(int32_t w, int32_t h, intptr_t gapBytes = 0, uint32_t fill = 0, bool walkBack = false);

    // The view's first pixel, and the bytes from the end of one of its rows
    // to the start of the next: negative when the view walks back.
    const uint32_t* first() const;
    uint32_t* first() { return const_cast<uint32_t*>(static_cast<const TestFrame*>(this)->first()); }
    intptr_t rowGap() const;

    // Pixel x of row y in the view's order; x from width on reaches into the gap.
    uint32_t at(int32_t x, int32_t y) const { return first()[y * step() + x]; }
    uint32_t& at(int32_t x, int32_t y) { return first()[y * step() + x]; }

    FrameView view() const { return {first(), width, height, rowGap()}; }
    // The host's record of the frame: hostJunk in every field but pixels,
    // width, height and rowGap.
    BitmapView hostView();

private:
    intptr_t step() const { return width + rowGap() / 4; }
};

constexpr uint32_t rgb(uint32_t r, uint32_t g, uint32_t b)
{
    return r << 16 | g << 8 | b;
}
