#include "tests/support/frames.h"

#include <cstddef>
#include <cstring>

#include "host/records.h"

TestFrame::TestFrame(int32_t w, int32_t h, intptr_t gapBytes, uint32_t fill, bool walkBack)
    : width(w), height(h), gap(gapBytes), backward(walkBack),
      words(static_cast<size_t>(h) * static_cast<size_t>(w + gapBytes / 4), fill)
{
}

const uint32_t* TestFrame::first() const
{
    const size_t stride = static_cast<size_t>(width + gap / 4);
    return backward ? words.data() + static_cast<size_t>(height - 1) * stride : words.data();
}

intptr_t TestFrame::rowGap() const
{
    // Back by one row and the width just walked: -(4 * width + gap) - 4 * width.
    return backward ? -8 * intptr_t{width} - gap : gap;
}

BitmapView TestFrame::hostView()
{
    BitmapView v;
    std::memset(&v, hostJunk, sizeof v);
    v.pixels = first();
    v.width = width;
    v.height = height;
    v.rowGap = rowGap();
    return v;
}
