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

void correctRowScalar(const uint8_t* source, uint8_t* destination, int32_t count,
                      uint32_t blackWord, uint32_t gainWord);

#if defined(__SSE2__)
void correctRowSse2(const uint8_t* source, uint8_t* destination, int32_t count,
                    uint32_t blackWord, uint32_t gainWord);
#endif

// The fastest kernel this build has.
inline void correctRow(const uint8_t* source, uint8_t* destination, int32_t count,
                       uint32_t blackWord, uint32_t gainWord)
{
#if defined(__SSE2__)
    correctRowSse2(source, destination, count, blackWord, gainWord);
#else
    correctRowScalar(source, destination, count, blackWord, gainWord);
#endif
}
