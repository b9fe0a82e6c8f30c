#include "cli/formats/jpeg_quality.h"

#include <cstdlib>

namespace {

// The example tables of the JPEG standard's Annex K, which libjpeg scales.
constexpr uint16_t baseLuma[64] = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
constexpr uint16_t baseChroma[64] = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
    24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

int64_t distance(const uint16_t* a, const uint16_t* b)
{
    int64_t sum = 0;
    for (int i = 0; i < 64; ++i) sum += std::abs(int64_t{a[i]} - int64_t{b[i]});
    return sum;
}

}  // namespace

void scaledQuantTable(int32_t quality, bool chroma, uint16_t table[64])
{
    // libjpeg's percentage: 5000 / q below 50, 200 - 2q from there.
    const int64_t scale = quality < 50 ? 5000 / quality : 200 - 2 * int64_t{quality};
    const uint16_t* base = chroma ? baseChroma : baseLuma;
    for (int i = 0; i < 64; ++i) {
        const int64_t v = (base[i] * scale + 50) / 100;
        table[i] = static_cast<uint16_t>(v < 1 ? 1 : v > 255 ? 255 : v);
    }
}

int32_t estimateJpegQuality(const uint16_t luma[64], const uint16_t* chroma)
{
    int32_t best = 0;
    int64_t bestDistance = INT64_MAX;
    for (int32_t q = 1; q <= 100; ++q) {
        uint16_t table[64];
        scaledQuantTable(q, false, table);
        int64_t d = distance(luma, table);
        if (chroma) {
            scaledQuantTable(q, true, table);
            d += distance(chroma, table);
        }
        if (d <= bestDistance) best = q, bestDistance = d;
    }
    return best;
}
