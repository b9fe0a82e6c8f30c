#include "engine/classic/histogram.h"

#include <bit>
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
// another's stores: on the natural frame this counts a quarter faster than
// one table per channel (bench/ has both). Three counts a pixel remain, each a
// store, and they are what bounds the counting: about one store a cycle on the
// machine measured, whatever the picture.
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

// A pixel is a little-endian word: blue is its byte 0, green byte 1, red
// byte 2. Each channel's byte is loaded on its own, which takes fewer
// instructions than shifting and masking the word (2-3 % faster counting).
static_assert(std::endian::native == std::endian::little);
constexpr int32_t blueByte = 0, greenByte = 1, redByte = 2;

inline void countPixel(const uint8_t* pixel, int32_t table, PartialCounts& c)
{
    ++c.r[table][pixel[redByte]];
    ++c.g[table][pixel[greenByte]];
    ++c.b[table][pixel[blueByte]];
}

inline void countFour(const uint8_t* pixels, PartialCounts& c)
{
    countPixel(pixels, 0, c);
    countPixel(pixels + 4, 1, c);
    countPixel(pixels + 8, 2, c);
    countPixel(pixels + 12, 3, c);
}

// Counts one row of a block and asks for the block's next row, a cache line
// per 16 pixels. A block row is only part of a frame row, so the hardware sees
// a short stream that starts afresh on every row; fetched a row ahead, a frame
// larger than the cache no longer waits on memory at the start of each row.
void countRow(const uint32_t* row, const uint32_t* nextRow, int32_t count, PartialCounts& c)
{
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(row);
    int32_t x = 0;
    for (; x + 16 <= count; x += 16) {
        __builtin_prefetch(nextRow + x);
        countFour(bytes + 4 * x, c);
        countFour(bytes + 4 * x + 16, c);
        countFour(bytes + 4 * x + 32, c);
        countFour(bytes + 4 * x + 48, c);
    }
    for (; x + partialTables <= count; x += partialTables) countFour(bytes + 4 * x, c);
    for (; x < count; ++x) countPixel(bytes + 4 * x, 0, c);
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
