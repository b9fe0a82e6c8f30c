#include "engine/neutral/block_maxima.h"

namespace {

int32_t isqrt(int64_t v)
{
    int64_t r = 0;
    while ((r + 1) * (r + 1) <= v) ++r;
    return static_cast<int32_t>(r);
}

}  // namespace

NeutralGrid neutralGrid(int32_t width, int32_t height)
{
    NeutralGrid g;
    if (width < 2 * neutralBlockStep || height < 2 * neutralMinimumBlockHeight) return g;
    const int64_t area = int64_t{width} * height / neutralBlockTarget;
    // The side of a square block of that area, rounded to whole steps of 8.
    const int32_t side = isqrt(area > 1 ? area : 1);
    const int32_t steps = (side + neutralBlockStep / 2) / neutralBlockStep;
    g.blockWidth = (steps > 1 ? steps : 1) * neutralBlockStep;
    const int64_t rows = area / g.blockWidth;
    g.blockHeight = static_cast<int32_t>(rows > neutralMinimumBlockHeight ? rows
                                                                          : neutralMinimumBlockHeight);
    g.across = width / g.blockWidth;
    while (int64_t{g.across} * (height / g.blockHeight) > neutralMaximumBlocks) ++g.blockHeight;
    g.down = height / g.blockHeight;
    if (g.across < 2 || g.down < 2) g = NeutralGrid{};
    return g;
}

void blockMaximaPlain(const FrameView& frame, const NeutralGrid& grid, uint32_t* maxima)
{
    const uint8_t* base = reinterpret_cast<const uint8_t*>(frame.pixels);
    const intptr_t pitch = intptr_t{frame.width} * 4 + frame.rowGap;
    for (int32_t by = 0; by < grid.down; ++by) {
        uint32_t* out = maxima + int64_t{by} * grid.across;
        for (int32_t bx = 0; bx < grid.across; ++bx) out[bx] = 0;
        for (int32_t r = 0; r < grid.blockHeight; r += neutralRowStep) {
            const uint8_t* row = base + (int64_t{by} * grid.blockHeight + r) * pitch;
            for (int32_t bx = 0; bx < grid.across; ++bx) {
                uint32_t b = out[bx] & 0xFF, g = out[bx] >> 8 & 0xFF, red = out[bx] >> 16 & 0xFF;
                const uint8_t* p = row + int64_t{bx} * grid.blockWidth * 4;
                for (int32_t x = 0; x < grid.blockWidth; ++x, p += 4) {
                    if (p[0] == 255 || p[1] == 255 || p[2] == 255) continue;
                    if (p[0] > b) b = p[0];
                    if (p[1] > g) g = p[1];
                    if (p[2] > red) red = p[2];
                }
                out[bx] = red << 16 | g << 8 | b;
            }
        }
    }
}

BlockMaximaKernel fastestBlockMaxima()
{
    return blockMaximaPlain;
}
