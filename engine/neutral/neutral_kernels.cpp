#include "engine/neutral/neutral_kernels.h"

#if defined(VELTO_HAS_NEUTRAL_SSE2)
#include <emmintrin.h>
#endif
#if defined(VELTO_HAS_NEUTRAL_AVX2)
#include <immintrin.h>
#endif

namespace {

// The four lanes' words as one pixel's worth, to be repeated over a register.
[[maybe_unused]] int64_t laneWords(const uint16_t w[4])
{
    return int64_t(uint64_t(w[0]) | uint64_t(w[1]) << 16 | uint64_t(w[2]) << 32 |
                   uint64_t(w[3]) << 48);
}

// The values of the colour lanes that lie below the toe's end come from the
// tables: the kernels compute the line for every value, then mend these.
[[maybe_unused]] void mendToe(const uint8_t* source, uint8_t* destination, int32_t bytes,
                              int32_t toeEnd, const NeutralLanes& t)
{
    for (int32_t i = 0; i < bytes; ++i)
        if ((i & 3) != 3 && source[i] < toeEnd) destination[i] = t.lane[i & 3][source[i]];
}

}  // namespace

void neutralRowTable(const uint8_t* source, uint8_t* destination, int32_t count,
                     const NeutralLanes& t)
{
    for (int32_t x = 0; x < count; ++x) {
        const uint8_t* in = source + 4 * x;
        uint8_t* out = destination + 4 * x;
        const uint8_t b = in[0], g = in[1], r = in[2], a = in[3];
        out[0] = t.lane[0][b];
        out[1] = t.lane[1][g];
        out[2] = t.lane[2][r];
        out[3] = t.lane[3][a];
    }
}

#if defined(VELTO_HAS_NEUTRAL_SSE2)
// Four pixels a step, in eight 16-bit words a half: unpacking the bytes
// behind zero bytes gives v * 256, two saturating steps add the offset or
// take it off, the high half of an unsigned multiply and a shift give the
// line, and a pack holds it to 255 and keeps the pixels in order. A step
// with a colour value below the toe's end mends those values from the
// tables (SSE2 has no byte shuffle to look them up with).
void neutralRowSse2(const uint8_t* source, uint8_t* destination, int32_t count,
                    const NeutralForm& f, const NeutralLanes& t)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i up = _mm_set1_epi64x(laneWords(f.up));
    const __m128i down = _mm_set1_epi64x(laneWords(f.down));
    const __m128i gain = _mm_set1_epi64x(laneWords(f.gain));
    const __m128i last = _mm_set1_epi8(static_cast<char>(f.toeEnd - 1));
    const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
    const auto line = [&](__m128i x) {
        return _mm_srli_epi16(_mm_mulhi_epu16(_mm_subs_epu16(_mm_adds_epu16(x, up), down), gain),
                              6);
    };
    int32_t x = 0;
    for (; x + 4 <= count; x += 4) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 4 * x));
        const __m128i out = _mm_packus_epi16(line(_mm_unpacklo_epi8(zero, p)),
                                             line(_mm_unpackhi_epi8(zero, p)));
        const __m128i small = _mm_and_si128(_mm_cmpeq_epi8(_mm_max_epu8(p, last), last), colour);
        if (_mm_movemask_epi8(small) == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + 4 * x), out);
            continue;
        }
        // Mended in a copy: the destination may be the source.
        alignas(16) uint8_t in[16], mended[16];
        _mm_store_si128(reinterpret_cast<__m128i*>(in), p);
        _mm_store_si128(reinterpret_cast<__m128i*>(mended), out);
        mendToe(in, mended, 16, f.toeEnd, t);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + 4 * x),
                         _mm_load_si128(reinterpret_cast<const __m128i*>(mended)));
    }
    neutralRowTable(source + 4 * x, destination + 4 * x, count - x, t);
}
#endif

#if defined(VELTO_HAS_NEUTRAL_AVX2)
// The SSE2 kernel's steps on 256-bit registers, eight pixels a step; a step
// with a colour value below the toe's end looks the toe's values up with
// byte shuffles, 16 at a time, one shuffle a channel and half of the toe.
// Every function that holds a 256-bit value carries the target attribute.
namespace {

__attribute__((target("avx2"))) inline __m256i toeHalf(const NeutralForm& f, int32_t lane,
                                                        int32_t from)
{
    return _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(&f.toe[lane][from])));
}

__attribute__((target("avx2"))) inline __m256i lineWords(__m256i x, __m256i up, __m256i down,
                                                         __m256i gain)
{
    return _mm256_srli_epi16(
        _mm256_mulhi_epu16(_mm256_subs_epu16(_mm256_adds_epu16(x, up), down), gain), 6);
}

}  // namespace

__attribute__((target("avx2"))) void neutralRowAvx2(const uint8_t* source, uint8_t* destination,
                                                    int32_t count, const NeutralForm& f,
                                                    const NeutralLanes& t)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i up = _mm256_set1_epi64x(laneWords(f.up));
    const __m256i down = _mm256_set1_epi64x(laneWords(f.down));
    const __m256i gain = _mm256_set1_epi64x(laneWords(f.gain));
    const __m256i last = _mm256_set1_epi8(static_cast<char>(f.toeEnd - 1));
    const __m256i colour = _mm256_set1_epi32(0x00FFFFFF);
    const __m256i greenLane = _mm256_set1_epi32(0x0000FF00);
    const __m256i redLane = _mm256_set1_epi32(0x00FF0000);
    const __m256i sixteen = _mm256_set1_epi8(16);
    const __m256i low[3] = {toeHalf(f, 0, 0), toeHalf(f, 1, 0), toeHalf(f, 2, 0)};
    const __m256i high[3] = {toeHalf(f, 0, 16), toeHalf(f, 1, 16), toeHalf(f, 2, 16)};
    const auto mend = [&](__m256i p, __m256i out, __m256i small) __attribute__((target("avx2"))) {
        // p is below 32 wherever it counts, so the shuffles' index is p
        // itself: its low four bits pick within a half, bit 4 the half.
        const __m256i upper = _mm256_cmpeq_epi8(_mm256_and_si256(p, sixteen), sixteen);
        __m256i toe[3];
        for (int lane = 0; lane < 3; ++lane)
            toe[lane] = _mm256_blendv_epi8(_mm256_shuffle_epi8(low[lane], p),
                                           _mm256_shuffle_epi8(high[lane], p), upper);
        const __m256i mended =
            _mm256_blendv_epi8(_mm256_blendv_epi8(toe[0], toe[1], greenLane), toe[2], redLane);
        return _mm256_blendv_epi8(out, mended, small);
    };
    int32_t x = 0;
    // Sixteen pixels a step; one test tells whether either half has a
    // colour value below the toe's end.
    for (; x + 16 <= count; x += 16) {
        const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + 4 * x));
        const __m256i q = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + 4 * x + 32));
        __m256i outP = _mm256_packus_epi16(lineWords(_mm256_unpacklo_epi8(zero, p), up, down, gain),
                                           lineWords(_mm256_unpackhi_epi8(zero, p), up, down, gain));
        __m256i outQ = _mm256_packus_epi16(lineWords(_mm256_unpacklo_epi8(zero, q), up, down, gain),
                                           lineWords(_mm256_unpackhi_epi8(zero, q), up, down, gain));
        const __m256i least = _mm256_min_epu8(p, q);
        const __m256i any =
            _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_max_epu8(least, last), last), colour);
        if (!_mm256_testz_si256(any, any)) {
            outP = mend(p, outP, _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_max_epu8(p, last), last), colour));
            outQ = mend(q, outQ, _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_max_epu8(q, last), last), colour));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination + 4 * x), outP);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination + 4 * x + 32), outQ);
    }
    neutralRowTable(source + 4 * x, destination + 4 * x, count - x, t);
}
#endif

#if defined(VELTO_HAS_NEUTRAL_AVX512)
// Sixteen pixels a vector. A byte compare gives the colour values below the
// toe's end as a mask, and one two-table byte permute looks them all up: its
// index is the value with the lane's number above it (lane * 32 + v), into
// the four lanes' toes laid end to end.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void neutralRowAvx512(
    const uint8_t* source, uint8_t* destination, int32_t count, const NeutralForm& f,
    const NeutralLanes& t)
{
    const __m512i zero = _mm512_setzero_si512();
    const __m512i up = _mm512_set1_epi64(laneWords(f.up));
    const __m512i down = _mm512_set1_epi64(laneWords(f.down));
    const __m512i gain = _mm512_set1_epi64(laneWords(f.gain));
    const __m512i last = _mm512_set1_epi8(static_cast<char>(f.toeEnd - 1));
    const __m512i laneBits = _mm512_set1_epi32(0x60402000);
    const __m512i toeLow = _mm512_loadu_si512(&f.toe[0][0]);   // lanes 0 and 1
    const __m512i toeHigh = _mm512_loadu_si512(&f.toe[2][0]);  // lanes 2 and 3
    constexpr __mmask64 colour = 0x7777777777777777ull;
    int32_t x = 0;
    for (; x + 16 <= count; x += 16) {
        const __m512i p = _mm512_loadu_si512(source + 4 * x);
        const auto words = [&](__m512i w) __attribute__((target("avx512f,avx512bw"))) {
            return _mm512_srli_epi16(
                _mm512_mulhi_epu16(_mm512_subs_epu16(_mm512_adds_epu16(w, up), down), gain), 6);
        };
        __m512i out = _mm512_packus_epi16(words(_mm512_unpacklo_epi8(zero, p)),
                                          words(_mm512_unpackhi_epi8(zero, p)));
        const __mmask64 small = _mm512_cmple_epu8_mask(p, last) & colour;
        if (small) {
            const __m512i index = _mm512_or_si512(p, laneBits);
            out = _mm512_mask_mov_epi8(out, small,
                                       _mm512_permutex2var_epi8(toeLow, index, toeHigh));
        }
        _mm512_storeu_si512(destination + 4 * x, out);
    }
    neutralRowTable(source + 4 * x, destination + 4 * x, count - x, t);
}
#endif
