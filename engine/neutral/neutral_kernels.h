// Row kernels of the neutral correction. A channel's gain in linear light,
// seen through a transfer made of a power on an offset (sRGB, BT.709), is
// a straight line in the code values above the transfer's toe:
// encode(g decode(v)) = a (v + k) - k with a = g^(1/gamma). So each lane is
// one 16-bit fixed-point line, and the few values below the toe's end come
// from a small table; the plain kernel looks every value up in the tables
// made from that same form, the SSE2 and AVX2 kernels compute it, and all
// give the same bytes. Rows need no alignment.
#pragma once

#include <cstdint>

// The longest toe a form has: BT.709's straight part ends at code 20.7.
constexpr int32_t neutralLongestToe = 32;

// Lanes in pixel order: 0 blue, 1 green, 2 red, 3 the top byte. A value v
// at or above toeEnd becomes, in 16-bit words:
//   w   = v * 256 + up, held to 65535, then less down, held to 0
//   out = floor(w * gain / 65536) / 64, held to 255
// that is a (v + o) + 0.5 rounded down, with the gain a in 1/16384 and the
// offset o with the half that rounds, 128 / a, in 1/256 levels, as up
// where it is above 0 and as down where it is below. Values below toeEnd
// come from toe. The top lane copies or clears the byte (gain 16384, up
// 128; or gain 0) and its toe agrees.
struct NeutralForm {
    int32_t toeEnd;  // 16 for sRGB, 32 for BT.709
    uint16_t up[4], down[4], gain[4];
    uint8_t toe[4][neutralLongestToe];
};

// One value of one lane through the form: what every kernel gives.
inline uint8_t neutralFormValue(uint32_t v, int32_t lane, const NeutralForm& f)
{
    if (static_cast<int32_t>(v) < f.toeEnd) return f.toe[lane][v];
    uint32_t w = v * 256 + f.up[lane];
    w = w < 65535 ? w : 65535;
    w = w > f.down[lane] ? w - f.down[lane] : 0;
    const uint32_t out = ((w * f.gain[lane]) >> 16) >> 6;
    return static_cast<uint8_t>(out < 255 ? out : 255);
}

// Lanes in pixel order, 256 values each.
struct NeutralLanes {
    uint8_t lane[4][256];
};

void neutralRowTable(const uint8_t* source, uint8_t* destination, int32_t count,
                     const NeutralLanes& tables);

#if defined(__SSE2__)
#define VELTO_HAS_NEUTRAL_SSE2 1
void neutralRowSse2(const uint8_t* source, uint8_t* destination, int32_t count,
                    const NeutralForm& form, const NeutralLanes& tables);
#endif

// Compiled for AVX2 alone, in 64-bit programs; call only where cpuRunsAvx2().
#if defined(__x86_64__) && defined(__GNUC__)
#define VELTO_HAS_NEUTRAL_AVX2 1
void neutralRowAvx2(const uint8_t* source, uint8_t* destination, int32_t count,
                    const NeutralForm& form, const NeutralLanes& tables);
// Compiled for AVX-512 (F, BW, VBMI) alone; call only where cpuRunsAvx512Vbmi().
#define VELTO_HAS_NEUTRAL_AVX512 1
void neutralRowAvx512(const uint8_t* source, uint8_t* destination, int32_t count,
                      const NeutralForm& form, const NeutralLanes& tables);
#endif
