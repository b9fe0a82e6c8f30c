#include "engine/histogram.h"

#include <cstring>

void clearBlockTables(BlockTables& tables)
{
    std::memset(&tables, 0, sizeof tables);  // all-zero bytes are 0 and 0.0
}

void accumulateBlock(const uint32_t* pixels, int32_t width, intptr_t rowGap,
                     const BlockBounds& bounds, BlockTables& tables)
{
    const intptr_t stride = intptr_t{width} + (rowGap >> 2);
    int64_t sumR = 0, sumG = 0, sumB = 0;
    for (int32_t y = bounds.rowStart; y < bounds.rowEnd; ++y) {
        const uint32_t* row = pixels + y * stride;
        for (int32_t x = bounds.colStart; x < bounds.colEnd; ++x) {
            const uint32_t p = row[x];
            const uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            ++tables.histR[r];
            ++tables.histG[g];
            ++tables.histB[b];
            sumR += r;
            sumG += g;
            sumB += b;
        }
    }
    tables.sumR += sumR;
    tables.sumG += sumG;
    tables.sumB += sumB;
}

void smoothHistogram(const uint32_t hist[binCount], double smooth[binCount])
{
    // Wide integers: five counts of a huge block times 4 would overflow 32 bits.
    int64_t h[binCount];
    for (int32_t i = 0; i < binCount; ++i) h[i] = hist[i];

    smooth[0] = static_cast<double>(3 * h[0] + 2 * h[1] + h[2] - h[4]) * 0.2;
    smooth[1] = static_cast<double>(4 * h[0] + 3 * h[1] + 2 * h[2] + h[3]) * 0.1;
    for (int32_t i = 2; i <= 253; ++i)
        smooth[i] = static_cast<double>(h[i - 2] + h[i - 1] + h[i] + h[i + 1] + h[i + 2]) * 0.2;
    smooth[254] = static_cast<double>(4 * h[255] + 3 * h[254] + 2 * h[253] + h[252]) * 0.1;
    smooth[255] = static_cast<double>(3 * h[255] + 2 * h[254] + h[253] - h[251]) * 0.2;
}
