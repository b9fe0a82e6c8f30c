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

// Built into every x86 program, whatever its compiler flags: the kernel alone
// is compiled for AVX2, so a program that must run on SSE2 processors still
// does, as long as it calls this only where cpuRunsAvx2().
#if (defined(__i386__) || defined(__x86_64__)) && defined(__GNUC__)
#define VELTO_HAS_AVX2_KERNEL 1
void correctRowAvx2(const uint8_t* source, uint8_t* destination, int32_t count,
                    uint32_t blackWord, uint32_t gainWord);
#endif
