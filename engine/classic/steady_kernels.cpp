#include "engine/classic/steady_kernels.h"

#if defined(VELTO_HAS_STEADY_SSE2)
#include <emmintrin.h>
#endif
#if defined(VELTO_HAS_STEADY_AVX2)
#include <immintrin.h>
#endif

namespace {

// The four lanes' bytes or words as one pixel's worth, in pixel order, to be
// repeated over a register.
[[maybe_unused]] int32_t laneBytes(const uint8_t b[4])
{
    return int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                   uint32_t(b[3]) << 24);
}

[[maybe_unused]] int64_t laneWords(const uint16_t w[4])
{
    return int64_t(uint64_t(w[0]) | uint64_t(w[1]) << 16 | uint64_t(w[2]) << 32 |
                   uint64_t(w[3]) << 48);
}

}  // namespace

void steadyRowTable(const uint8_t* source, uint8_t* destination, int32_t count,
                    const SteadyTables& t)
{
    for (int32_t x = 0; x < count; ++x) {
        const uint8_t* in = source + 4 * x;
        uint8_t* out = destination + 4 * x;
        out[0] = t.lane[0][in[0]];
        out[1] = t.lane[1][in[1]];
        out[2] = t.lane[2][in[2]];
        out[3] = t.lane[3][in[3]];
    }
}

void steadyRowFixed(const uint8_t* source, uint8_t* destination, int32_t count,
                    const SteadyFixed& fixed)
{
    for (int32_t i = 0; i < 4 * count; ++i)
        destination[i] =
            steadyFixedValue(source[i], fixed.lift[i & 3], fixed.black[i & 3], fixed.gain[i & 3]);
}

#if defined(VELTO_HAS_STEADY_SSE2)
// Four pixels a step, in eight 16-bit words a half: unpacking the bytes
// behind the lift bytes gives v * 256 + lift at once, a saturating subtract
// takes the black point off and holds at 0, the high half of an unsigned
// multiply gives floor(d * gain / 65536), and the shift leaves 0..511 for a
// pack that holds it to 255 and keeps the pixels in order. The kernel for
// 32-bit programs and processors without AVX2.
void steadyRowFixedSse2(const uint8_t* source, uint8_t* destination, int32_t count,
                        const SteadyFixed& fixed)
{
    const __m128i lift = _mm_set1_epi32(laneBytes(fixed.lift));
    const __m128i black = _mm_set1_epi64x(laneWords(fixed.black));
    const __m128i gain = _mm_set1_epi64x(laneWords(fixed.gain));
    const auto words = [&](__m128i x) {
        return _mm_srli_epi16(_mm_mulhi_epu16(_mm_subs_epu16(x, black), gain), 7);
    };
    int32_t x = 0;
    for (; x + 4 <= count; x += 4) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 4 * x));
        const __m128i low = words(_mm_unpacklo_epi8(lift, p));
        const __m128i high = words(_mm_unpackhi_epi8(lift, p));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + 4 * x),
                         _mm_packus_epi16(low, high));
    }
    steadyRowFixed(source + 4 * x, destination + 4 * x, count - x, fixed);
}
#endif

#if defined(VELTO_HAS_STEADY_AVX2)
// The SSE2 kernel's steps on 256-bit registers: eight pixels a step.
// Unpacking and packing work within each 128-bit half, so the pixels come out
// in their order. Every function that holds a 256-bit value carries the
// target attribute.
namespace {

__attribute__((target("avx2"))) inline __m256i fixedWords(__m256i x, __m256i black, __m256i gain)
{
    return _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_subs_epu16(x, black), gain), 7);
}

}  // namespace

__attribute__((target("avx2"))) void steadyRowFixedAvx2(const uint8_t* source, uint8_t* destination,
                                                        int32_t count, const SteadyFixed& fixed)
{
    const __m256i lift = _mm256_set1_epi32(laneBytes(fixed.lift));
    const __m256i black = _mm256_set1_epi64x(laneWords(fixed.black));
    const __m256i gain = _mm256_set1_epi64x(laneWords(fixed.gain));
    int32_t x = 0;
    for (; x + 8 <= count; x += 8) {
        const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + 4 * x));
        const __m256i low = fixedWords(_mm256_unpacklo_epi8(lift, p), black, gain);
        const __m256i high = fixedWords(_mm256_unpackhi_epi8(lift, p), black, gain);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination + 4 * x),
                            _mm256_packus_epi16(low, high));
    }
    steadyRowFixed(source + 4 * x, destination + 4 * x, count - x, fixed);
}
#endif
