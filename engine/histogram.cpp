#include "engine/histogram.h"

#include <cstring>

void clearBlockTables(BlockTables& tables)
{
    std::memset(&tables, 0, sizeof tables);  // all-zero bytes are 0 and 0.0
}

void accumulateBlockPlain(const uint32_t* pixels, int32_t width, intptr_t rowGap,
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

namespace {

// The pixels of a row count in the partial tables in turn (the last few of a
// row in table 0). A flat block then updates each bin once per four pixels
// instead of every pixel, and the increments no longer queue behind one
// another's stores. Three counts a pixel remain, each a store: on a processor
// that retires one store a cycle, counting costs about three cycles a pixel,
// whatever the picture (bench/ measures this floor as store_floor).
constexpr int32_t partialTables = 4;

// Each table is longer by one cache line of padding. Unpadded, bin v of
// tables 4 KiB apart would share their low twelve address bits, which the
// processor takes for the same address: the three increments of a grey pixel
// would then wait on one another, and a black frame would count slower.
constexpr int32_t paddedBins = binCount + 16;

struct PartialCounts {
    uint32_t r[partialTables][paddedBins];
    uint32_t g[partialTables][paddedBins];
    uint32_t b[partialTables][paddedBins];
};

inline void countFour(const uint32_t* p, PartialCounts& c)
{
    const uint32_t p0 = p[0], p1 = p[1], p2 = p[2], p3 = p[3];
    ++c.r[0][(p0 >> 16) & 0xFF];
    ++c.g[0][(p0 >> 8) & 0xFF];
    ++c.b[0][p0 & 0xFF];
    ++c.r[1][(p1 >> 16) & 0xFF];
    ++c.g[1][(p1 >> 8) & 0xFF];
    ++c.b[1][p1 & 0xFF];
    ++c.r[2][(p2 >> 16) & 0xFF];
    ++c.g[2][(p2 >> 8) & 0xFF];
    ++c.b[2][p2 & 0xFF];
    ++c.r[3][(p3 >> 16) & 0xFF];
    ++c.g[3][(p3 >> 8) & 0xFF];
    ++c.b[3][p3 & 0xFF];
}

// Counts one row of a block and asks for the block's next row, a cache line
// per 16 pixels. A block row is only part of a frame row, so the hardware sees
// a short stream that starts afresh on every row; fetched a row ahead, a frame
// larger than the cache no longer waits on memory at the start of each row.
void countRow(const uint32_t* row, const uint32_t* nextRow, int32_t count, PartialCounts& c)
{
    int32_t x = 0;
    for (; x + 16 <= count; x += 16) {
        __builtin_prefetch(nextRow + x);
        countFour(row + x, c);
        countFour(row + x + 4, c);
        countFour(row + x + 8, c);
        countFour(row + x + 12, c);
    }
    for (; x + partialTables <= count; x += partialTables) countFour(row + x, c);
    for (; x < count; ++x) {
        const uint32_t p = row[x];
        ++c.r[0][(p >> 16) & 0xFF];
        ++c.g[0][(p >> 8) & 0xFF];
        ++c.b[0][p & 0xFF];
    }
}

// Adds one channel's partial tables to its count table (modulo 2^32, as the
// plain counting wraps) and returns the sum of the channel values they count.
// No partial count has wrapped, so the sum is exact.
int64_t addPartials(const uint32_t (&partial)[partialTables][paddedBins], uint32_t hist[binCount])
{
    int64_t sum = 0;
    for (int32_t v = 0; v < binCount; ++v) {
        uint32_t n = 0;
        for (int32_t t = 0; t < partialTables; ++t) {
            sum += int64_t{v} * partial[t][v];
            n += partial[t][v];
        }
        hist[v] += n;
    }
    return sum;
}

void flushPartials(PartialCounts& c, BlockTables& tables)
{
    tables.sumR += addPartials(c.r, tables.histR);
    tables.sumG += addPartials(c.g, tables.histG);
    tables.sumB += addPartials(c.b, tables.histB);
    std::memset(&c, 0, sizeof c);
}

}  // namespace

void accumulateBlockInChunks(const uint32_t* pixels, int32_t width, intptr_t rowGap,
                             const BlockBounds& bounds, BlockTables& tables, uint64_t chunkPixels)
{
    if (bounds.rowStart >= bounds.rowEnd || bounds.colStart >= bounds.colEnd) return;
    const intptr_t stride = intptr_t{width} + (rowGap >> 2);
    const int32_t count = bounds.colEnd - bounds.colStart;
    PartialCounts c;
    std::memset(&c, 0, sizeof c);
    uint64_t pending = 0;
    for (int32_t y = bounds.rowStart; y < bounds.rowEnd; ++y) {
        if (pending > 0 && pending + static_cast<uint64_t>(count) > chunkPixels) {
            flushPartials(c, tables);
            pending = 0;
        }
        const uint32_t* row = pixels + y * stride + bounds.colStart;
        countRow(row, y + 1 < bounds.rowEnd ? row + stride : row, count, c);
        pending += static_cast<uint64_t>(count);
    }
    flushPartials(c, tables);
}

void accumulateBlock(const uint32_t* pixels, int32_t width, intptr_t rowGap,
                     const BlockBounds& bounds, BlockTables& tables)
{
    // A row is at most 2^29 pixels, so no chunk reaches 2^32.
    accumulateBlockInChunks(pixels, width, rowGap, bounds, tables, uint64_t{0xFFFFFFFF});
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
