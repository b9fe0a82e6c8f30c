// Row kernels of the pixel pass. The plain one is the reference; every other
// one must give its bytes exactly. Rows need no alignment.
#pragma once

#include <cstdint>

// min(255, (max(0, v - black) * gain) >> 6) in each of the four byte lanes.
inline uint32_t correctPixel(uint32_t pixel, uint32_t blackWord, uint32_t gainWord)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t v = (pixel >> shift) & 0xFF;
        const uint32_t b = (blackWord >> shift) & 0xFF;
        const uint32_t g = (gainWord >> shift) & 0xFF;
        const uint32_t t = v > b ? v - b : 0;
        const uint32_t w = (t * g) >> 6;
        out |= (w > 255 ? 255 : w) << shift;
    }
    return out;
}

// Corrects count pixels from source to destination.
using CorrectRowKernel = void (*)(const uint8_t* source, uint8_t* destination, int32_t count,
                                  uint32_t blackWord, uint32_t gainWord);

void correctRowScalar(const uint8_t* source, uint8_t* destination, int32_t count,
                      uint32_t blackWord, uint32_t gainWord);

#if defined(__SSE2__)
void correctRowSse2(const uint8_t* source, uint8_t* destination, int32_t count,
                    uint32_t blackWord, uint32_t gainWord);
#endif

// In every 64-bit x86 program, whatever its compiler flags: the kernel alone
// is compiled for AVX2, so the program still runs on processors without it,
// as long as it calls this only where cpuRunsAvx2().
//
// 32-bit programs keep to SSE2. Outside 64-bit mode VZEROUPPER cannot clear
// the upper halves of YMM8-15, and once AVX code has run for a while the
// thread's packed SSE code, the host's as much as ours, stays slower until
// later thread switches: measured in a 32-bit process under wine, an SSE2
// loop over a 1080p frame took 1.7 times as long after the AVX2 kernel had
// run, the SSE2 kernel 4 times; in a 64-bit process nothing changed. The 32-bit
// plug-in would gain 0.08 ms a 1080p frame and could cost its host more.
#if defined(__x86_64__) && defined(__GNUC__)
#define VELTO_HAS_AVX2_KERNEL 1
// C linkage gives the kernel a plain name in the binary, by which the plug-in's
// test finds the only place its AVX instructions may be.
extern "C" void correctRowAvx2(const uint8_t* source, uint8_t* destination, int32_t count,
                               uint32_t blackWord, uint32_t gainWord);
#endif
