// Row kernels of the steady correction. Each channel is stretched between
// its steady black and white points (steady_correct.h) in one 16-bit
// fixed-point form, which every kernel computes alike: the table kernel looks
// the bytes up in tables made from it, the fixed kernels compute them, the
// plain one as the SSE2 and AVX2 kernels' twin. Rows need no alignment.
#pragma once

#include <cstdint>

// Lanes in pixel order: 0 blue, 1 green, 2 red, 3 the top byte.
struct SteadyTables {
    uint8_t lane[4][256];
};

// A lane's value v becomes, in 16-bit words:
//   d   = v * 256 + lift - black, or 0 where that is below 0
//   out = floor(d * gain / 65536) / 128, held to 255
// that is (v - black point) * gain + 0.5, rounded down: the black point in
// 1/256 levels, the gain, below 2, in 1/32768, and the half that rounds,
// 128 / gain before the gain, in lift or black (steady_correct.cpp). black
// 65535 clears the lane; lift 128, black 0 and gain 32768 copy it.
struct SteadyFixed {
    uint8_t lift[4];
    uint16_t black[4];
    uint16_t gain[4];
};

// One value through the form: what every kernel gives.
inline uint8_t steadyFixedValue(uint32_t v, uint32_t lift, uint32_t black, uint32_t gain)
{
    const uint32_t x = v * 256 + lift;
    const uint32_t d = x > black ? x - black : 0;
    const uint32_t out = ((d * gain) >> 16) >> 7;
    return static_cast<uint8_t>(out < 255 ? out : 255);
}

void steadyRowTable(const uint8_t* source, uint8_t* destination, int32_t count,
                    const SteadyTables& tables);

void steadyRowFixed(const uint8_t* source, uint8_t* destination, int32_t count,
                    const SteadyFixed& fixed);

#if defined(__SSE2__)
#define VELTO_HAS_STEADY_SSE2 1
void steadyRowFixedSse2(const uint8_t* source, uint8_t* destination, int32_t count,
                        const SteadyFixed& fixed);
#endif

// Compiled for AVX2 alone, in 64-bit programs; call only where cpuRunsAvx2().
#if defined(__x86_64__) && defined(__GNUC__)
#define VELTO_HAS_STEADY_AVX2 1
void steadyRowFixedAvx2(const uint8_t* source, uint8_t* destination, int32_t count,
                        const SteadyFixed& fixed);
#endif
