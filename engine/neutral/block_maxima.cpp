#include "engine/neutral/block_maxima.h"

#include "engine/cpu_features.h"

#if defined(VELTO_HAS_MAXIMA_SSE2)
#include <emmintrin.h>
#endif
#if defined(VELTO_HAS_MAXIMA_AVX2)
#include <immintrin.h>
#endif

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

#if defined(VELTO_HAS_MAXIMA_SSE2)
// Four pixels a vector: a pixel with a clipped colour byte becomes 0, as
// does every top byte, and the block's vectors are folded by byte-wise
// maxima, then the vector's four pixels into one.
namespace {

inline __m128i unclipped(__m128i v)
{
    const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
    const __m128i clipped = _mm_and_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(-1)), colour);
    const __m128i keep = _mm_cmpeq_epi32(clipped, _mm_setzero_si128());
    return _mm_and_si128(v, _mm_and_si128(keep, colour));
}

inline uint32_t foldPixels(__m128i m, uint32_t into)
{
    m = _mm_max_epu8(m, _mm_srli_si128(m, 8));
    m = _mm_max_epu8(m, _mm_srli_si128(m, 4));
    m = _mm_max_epu8(m, _mm_cvtsi32_si128(static_cast<int>(into)));
    return static_cast<uint32_t>(_mm_cvtsi128_si32(m));
}

}  // namespace

void blockMaximaSse2(const FrameView& frame, const NeutralGrid& grid, uint32_t* maxima)
{
    const uint8_t* base = reinterpret_cast<const uint8_t*>(frame.pixels);
    const intptr_t pitch = intptr_t{frame.width} * 4 + frame.rowGap;
    const int32_t vectors = grid.blockWidth / 4;
    for (int32_t by = 0; by < grid.down; ++by) {
        uint32_t* out = maxima + int64_t{by} * grid.across;
        for (int32_t bx = 0; bx < grid.across; ++bx) out[bx] = 0;
        for (int32_t r = 0; r < grid.blockHeight; r += neutralRowStep) {
            const uint8_t* p = base + (int64_t{by} * grid.blockHeight + r) * pitch;
            for (int32_t bx = 0; bx < grid.across; ++bx) {
                __m128i m = _mm_setzero_si128();
                for (int32_t i = 0; i < vectors; ++i, p += 16)
                    m = _mm_max_epu8(m, unclipped(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))));
                out[bx] = foldPixels(m, out[bx]);
            }
        }
    }
}
#endif

#if defined(VELTO_HAS_MAXIMA_AVX2)
// The SSE2 kernel's steps, eight pixels a vector: a block's width is whole
// vectors. Every function that holds a 256-bit value carries the target
// attribute.
__attribute__((target("avx2"))) void blockMaximaAvx2(const FrameView& frame,
                                                     const NeutralGrid& grid, uint32_t* maxima)
{
    const uint8_t* base = reinterpret_cast<const uint8_t*>(frame.pixels);
    const intptr_t pitch = intptr_t{frame.width} * 4 + frame.rowGap;
    const int32_t vectors = grid.blockWidth / 8;
    const __m256i colour = _mm256_set1_epi32(0x00FFFFFF);
    const __m256i full = _mm256_set1_epi8(-1);
    const __m256i zero = _mm256_setzero_si256();
    for (int32_t by = 0; by < grid.down; ++by) {
        uint32_t* out = maxima + int64_t{by} * grid.across;
        for (int32_t bx = 0; bx < grid.across; ++bx) out[bx] = 0;
        for (int32_t r = 0; r < grid.blockHeight; r += neutralRowStep) {
            const uint8_t* p = base + (int64_t{by} * grid.blockHeight + r) * pitch;
            for (int32_t bx = 0; bx < grid.across; ++bx) {
                __m256i m = zero;
                for (int32_t i = 0; i < vectors; ++i, p += 32) {
                    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
                    const __m256i clipped = _mm256_and_si256(_mm256_cmpeq_epi8(v, full), colour);
                    const __m256i keep = _mm256_cmpeq_epi32(clipped, zero);
                    m = _mm256_max_epu8(m, _mm256_and_si256(v, _mm256_and_si256(keep, colour)));
                }
                const __m128i half =
                    _mm_max_epu8(_mm256_castsi256_si128(m), _mm256_extracti128_si256(m, 1));
                out[bx] = foldPixels(half, out[bx]);
            }
        }
    }
}
#endif

BlockMaximaKernel fastestBlockMaxima()
{
    // Asked once per process: the answer cannot change while it runs.
    static const BlockMaximaKernel kernel = [] {
        BlockMaximaKernel k = blockMaximaPlain;
#if defined(VELTO_HAS_MAXIMA_SSE2)
        k = blockMaximaSse2;
#endif
#if defined(VELTO_HAS_MAXIMA_AVX2)
        if (cpuRunsAvx2()) k = blockMaximaAvx2;
#endif
        return k;
    }();
    return kernel;
}
