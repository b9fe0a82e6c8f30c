// The pixel pass: each channel lowered by its black byte and stretched by a
// fixed-point gain (6 fractional bits), held to 0..255; the top byte becomes 0,
// or is carried over unchanged where the host asks for it.
#pragma once

#include <cstdint>

#include "engine/classic/block_levels.h"
#include "engine/classic/correct_kernels.h"
#include "engine/frame_view.h"

constexpr double gainScale = 16320.0;  // 255 * 64: a gain of 64 is 1.0
constexpr int32_t gainShift = 6;

struct CorrectionBytes {
    uint8_t gainR, gainG, gainB;
    uint8_t blackR, blackG, blackB;
    uint32_t blackWord;  // black bytes laid out like a pixel, top byte 0
    uint32_t gainWord;   // gains laid out like a pixel, top byte 0
};

// Gains 16320 / (white - black) and black bytes, each truncated and held to 0..255.
CorrectionBytes correctionBytes(const CorrectionLevels& levels);

// The row kernels, slowest first. All give the same bytes.
enum class CorrectKernelId { plain, sse2, avx2 };
constexpr CorrectKernelId correctKernelIds[] = {CorrectKernelId::plain, CorrectKernelId::sse2,
                                                CorrectKernelId::avx2};
const char* correctKernelName(CorrectKernelId id);

// The kernel, or nullptr when this build has none of that kind or this
// processor and its operating system cannot run it. Asks the processor each
// call, which is slow under a hypervisor.
CorrectRowKernel correctKernel(CorrectKernelId id);

// The fastest kernel this machine runs, chosen once, on the first call.
CorrectRowKernel fastestCorrectKernel();


// Writes source width x height pixels to the destination, row by row in memory
// order; each side advances by its own row gap. The bytes of the destination's
// row gaps are left alone. Uses the fastest kernel.
void correctPixels(const CorrectionLevels& levels, const FrameView& source,
                   uint32_t* destination, intptr_t destinationRowGap,
                   TopByte topByte = TopByte::cleared);

// The same with the given kernel.
void correctPixelsWith(CorrectRowKernel kernel, const CorrectionLevels& levels,
                       const FrameView& source, uint32_t* destination, intptr_t destinationRowGap,
                       TopByte topByte = TopByte::cleared);
