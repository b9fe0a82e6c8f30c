#include "engine/classic/correct_kernels.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(VELTO_HAS_AVX2_KERNEL)
#include <immintrin.h>
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
// Eight pixels a step, in two groups of four:
// - the black bytes come off with unsigned byte saturation, which is
//   max(0, v - b) in every lane at once;
// - interleaving zero bytes below the result widens each byte t to t * 256 in
//   a 16-bit lane;
// - the high half of its product with gain * 4 is (t * 256 * gain * 4) >> 16,
//   exactly (t * gain) >> 6, with no shift of its own (gain * 4 <= 1020 and
//   t * gain * 1024 < 2^26, so nothing is lost);
// - packing with unsigned saturation holds each result, at most 1016, to 255.
// Fewer instructions per pixel than widening, multiplying and shifting, which
// matters once the frame sits in the cache and arithmetic is what is left.
namespace {

inline __m128i correctFour(__m128i pixels, __m128i black, __m128i gain4)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i t = _mm_subs_epu8(pixels, black);
    const __m128i lo = _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, t), gain4);
    const __m128i hi = _mm_mulhi_epu16(_mm_unpackhi_epi8(zero, t), gain4);
    return _mm_packus_epi16(lo, hi);
}

}  // namespace

void correctRowSse2(const uint8_t* source, uint8_t* destination, int32_t count,
                    uint32_t blackWord, uint32_t gainWord)
{
    const __m128i black = _mm_set1_epi32(static_cast<int>(blackWord));
    const __m128i gain4 =
        _mm_slli_epi16(_mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(gainWord)), _mm_setzero_si128()), 2);
    int32_t x = 0;
    for (; x + 8 <= count; x += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 4 * x));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 4 * x + 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + 4 * x), correctFour(a, black, gain4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + 4 * x + 16), correctFour(b, black, gain4));
    }
    if (x + 4 <= count) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 4 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + 4 * x), correctFour(a, black, gain4));
        x += 4;
    }
    correctRowScalar(source + 4 * x, destination + 4 * x, count - x, blackWord, gainWord);
}
#endif

#if defined(VELTO_HAS_AVX2_KERNEL)
// The SSE2 kernel's arithmetic on 256-bit registers: sixteen pixels a step.
// Unpacking and packing work within each 128-bit half, so the pixels come out
// in their order with no shuffle between the halves. Every function that holds
// a 256-bit value carries the target attribute; the compiler emits AVX
// instructions nowhere else.
namespace {

__attribute__((target("avx2"))) inline __m256i correctEight(__m256i pixels, __m256i black, __m256i gain4)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i t = _mm256_subs_epu8(pixels, black);
    const __m256i lo = _mm256_mulhi_epu16(_mm256_unpacklo_epi8(zero, t), gain4);
    const __m256i hi = _mm256_mulhi_epu16(_mm256_unpackhi_epi8(zero, t), gain4);
    return _mm256_packus_epi16(lo, hi);
}

// The first count (0 to 8) pixels, through masked loads and stores, which
// touch no byte of the other lanes.
__attribute__((target("avx2"))) inline void correctFew(const uint8_t* source, uint8_t* destination,
                                                       int32_t count, __m256i black, __m256i gain4)
{
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i mask = _mm256_cmpgt_epi32(_mm256_set1_epi32(count), lanes);
    const __m256i pixels = _mm256_maskload_epi32(reinterpret_cast<const int*>(source), mask);
    _mm256_maskstore_epi32(reinterpret_cast<int*>(destination), mask, correctEight(pixels, black, gain4));
}

}  // namespace

extern "C" __attribute__((target("avx2"))) void correctRowAvx2(const uint8_t* source, uint8_t* destination,
                                                               int32_t count, uint32_t blackWord,
                                                               uint32_t gainWord)
{
    const __m256i black = _mm256_set1_epi32(static_cast<int>(blackWord));
    const __m256i gain4 = _mm256_slli_epi16(
        _mm256_unpacklo_epi8(_mm256_set1_epi32(static_cast<int>(gainWord)), _mm256_setzero_si256()), 2);
    int32_t x = 0;
    // A store that straddles two cache lines costs about as much as two, and
    // with the 16-byte alignment of the usual allocators every other one
    // would: the first pixels go alone, so that the rest of the destination
    // takes whole aligned stores.
    const uint32_t misalignment = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(destination) & 31);
    if (misalignment % 4 == 0 && misalignment != 0) {
        x = static_cast<int32_t>((32 - misalignment) / 4);
        if (x > count) x = count;
        correctFew(source, destination, x, black, gain4);
    }
    for (; x + 16 <= count; x += 16) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + 4 * x));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + 4 * x + 32));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination + 4 * x), correctEight(a, black, gain4));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination + 4 * x + 32), correctEight(b, black, gain4));
    }
    if (x + 8 <= count) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + 4 * x));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination + 4 * x), correctEight(a, black, gain4));
        x += 8;
    }
    if (x < count) correctFew(source + 4 * x, destination + 4 * x, count - x, black, gain4);
}
#endif
