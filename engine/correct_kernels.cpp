#include "engine/correct_kernels.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

void correctRowScalar(const uint8_t* source, uint8_t* destination, int32_t count,
                      uint32_t blackWord, uint32_t gainWord)
{
    for (int32_t x = 0; x < count; ++x) {
        uint32_t pixel;
        std::memcpy(&pixel, source + 4 * x, 4);
        const uint32_t out = correctPixel(pixel, blackWord, gainWord);
        std::memcpy(destination + 4 * x, &out, 4);
    }
}

#if defined(__SSE2__)
// Four pixels a step: bytes widened to 16-bit lanes, black subtracted with
// unsigned saturation, multiplied keeping the low 16 bits (at most 255 * 255,
// so exact), shifted right by 6 and packed back with unsigned saturation.
void correctRowSse2(const uint8_t* source, uint8_t* destination, int32_t count,
                    uint32_t blackWord, uint32_t gainWord)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i black = _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(blackWord)), zero);
    const __m128i gain = _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(gainWord)), zero);
    int32_t x = 0;
    for (; x + 4 <= count; x += 4) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 4 * x));
        __m128i lo = _mm_unpacklo_epi8(p, zero);
        __m128i hi = _mm_unpackhi_epi8(p, zero);
        lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_subs_epu16(lo, black), gain), 6);
        hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_subs_epu16(hi, black), gain), 6);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + 4 * x), _mm_packus_epi16(lo, hi));
    }
    correctRowScalar(source + 4 * x, destination + 4 * x, count - x, blackWord, gainWord);
}
#endif
