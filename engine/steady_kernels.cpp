#include "engine/steady_kernels.h"

#if defined(VELTO_HAS_STEADY_AVX2)
#include <immintrin.h>
#endif

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

void steadyRowLinear(const uint8_t* source, uint8_t* destination, int32_t count,
                     const LinearFit& fit)
{
    for (int32_t i = 0; i < 4 * count; ++i) {
        const int32_t lane = i & 3;
        // Modulo 2^32, as the vector lanes do; the shift is arithmetic (floor).
        const uint32_t sum = source[i] * static_cast<uint32_t>(fit.gain[lane]) +
                             static_cast<uint32_t>(fit.offset[lane]);
        const int32_t v = static_cast<int32_t>(sum) >> linearShift;
        destination[i] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
    }
}

#if defined(VELTO_HAS_STEADY_AVX2)
// Eight pixels a step. One load; a byte shuffle widens pixel k of each
// 128-bit half (k and k + 4) to eight 32-bit lanes, which are multiplied,
// offset and shifted; the two packs (signed to 16 bits, then unsigned to
// bytes) hold the results to 0..255, and since packing works within each
// half, pixels 0 to 3 come back in the low half and 4 to 7 in the high one,
// in order. Every function that holds a 256-bit value carries the target
// attribute.
namespace {

__attribute__((target("avx2"))) inline __m256i linearPixel(__m256i pixels, int32_t k, __m256i gain,
                                                           __m256i offset)
{
    const char z = -128;  // a shuffle index with its top bit set gives a zero byte
    const char b = static_cast<char>(4 * k);
    const __m256i widen = _mm256_setr_epi8(b, z, z, z, b + 1, z, z, z, b + 2, z, z, z, b + 3, z, z, z,
                                           b, z, z, z, b + 1, z, z, z, b + 2, z, z, z, b + 3, z, z, z);
    const __m256i v = _mm256_shuffle_epi8(pixels, widen);
    return _mm256_srai_epi32(_mm256_add_epi32(_mm256_mullo_epi32(v, gain), offset), linearShift);
}

}  // namespace

__attribute__((target("avx2"))) void steadyRowLinearAvx2(const uint8_t* source,
                                                         uint8_t* destination, int32_t count,
                                                         const LinearFit& fit)
{
    const __m256i gain = _mm256_setr_epi32(fit.gain[0], fit.gain[1], fit.gain[2], fit.gain[3],
                                           fit.gain[0], fit.gain[1], fit.gain[2], fit.gain[3]);
    const __m256i offset =
        _mm256_setr_epi32(fit.offset[0], fit.offset[1], fit.offset[2], fit.offset[3],
                          fit.offset[0], fit.offset[1], fit.offset[2], fit.offset[3]);
    int32_t x = 0;
    for (; x + 8 <= count; x += 8) {
        const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + 4 * x));
        const __m256i a = linearPixel(p, 0, gain, offset);  // pixels 0 and 4
        const __m256i b = linearPixel(p, 1, gain, offset);  // 1 and 5
        const __m256i c = linearPixel(p, 2, gain, offset);  // 2 and 6
        const __m256i d = linearPixel(p, 3, gain, offset);  // 3 and 7
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination + 4 * x),
                            _mm256_packus_epi16(_mm256_packs_epi32(a, b), _mm256_packs_epi32(c, d)));
    }
    steadyRowLinear(source + 4 * x, destination + 4 * x, count - x, fit);
}
#endif
