// Row kernels of the steady correction. Each channel goes through a table of
// 256 output bytes (steady_correct.h). The table kernel looks every byte up;
// the linear kernels compute the same bytes as floor((v * gain + offset) /
// 2^linearShift), held to 0..255, with a gain and an offset fitted to
// reproduce the table exactly (steady_correct.cpp checks every entry before
// one is used). The plain linear kernel is the AVX2 kernel's twin; every one
// gives the table kernel's bytes. Rows need no alignment.
#pragma once

#include <cstdint>

// Lanes in pixel order: 0 blue, 1 green, 2 red, 3 the top byte.
struct SteadyTables {
    uint8_t lane[4][256];
};

constexpr int32_t linearShift = 22;  // fractional bits of the fitted gain and offset

// v * gain + offset is formed modulo 2^32 and read as a signed 32-bit value;
// a fit keeps the true sum within int32 for every v, so the two agree.
struct LinearFit {
    int32_t gain[4];
    int32_t offset[4];
};

void steadyRowTable(const uint8_t* source, uint8_t* destination, int32_t count,
                    const SteadyTables& tables);

void steadyRowLinear(const uint8_t* source, uint8_t* destination, int32_t count,
                     const LinearFit& fit);

// Compiled for AVX2 alone, in 64-bit programs; call only where cpuRunsAvx2().
#if defined(__x86_64__) && defined(__GNUC__)
#define VELTO_HAS_STEADY_AVX2 1
void steadyRowLinearAvx2(const uint8_t* source, uint8_t* destination, int32_t count,
                         const LinearFit& fit);
#endif
