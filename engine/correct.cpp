#include "engine/correct.h"

#include "engine/cpu_features.h"
#include "engine/truncate.h"

namespace {

uint8_t gainByte(double black, double white)
{
    const double span = white - black;
    return truncateToByte(gainScale / span);
}

uint32_t packWord(uint8_t red, uint8_t green, uint8_t blue)
{
    return uint32_t{red} << 16 | uint32_t{green} << 8 | blue;
}

}  // namespace

CorrectionBytes correctionBytes(const CorrectionLevels& levels)
{
    CorrectionBytes c;
    c.gainR = gainByte(levels.blackR, levels.whiteR);
    c.gainG = gainByte(levels.blackG, levels.whiteG);
    c.gainB = gainByte(levels.blackB, levels.whiteB);
    c.blackR = truncateToByte(levels.blackR);
    c.blackG = truncateToByte(levels.blackG);
    c.blackB = truncateToByte(levels.blackB);
    c.blackWord = packWord(c.blackR, c.blackG, c.blackB);
    c.gainWord = packWord(c.gainR, c.gainG, c.gainB);
    return c;
}

const char* correctKernelName(CorrectKernelId id)
{
    switch (id) {
    case CorrectKernelId::plain: return "plain";
    case CorrectKernelId::sse2: return "sse2";
    case CorrectKernelId::avx2: return "avx2";
    }
    return "?";
}

CorrectRowKernel correctKernel(CorrectKernelId id)
{
    switch (id) {
    case CorrectKernelId::plain:
        return correctRowScalar;
    case CorrectKernelId::sse2:
#if defined(__SSE2__)
        return correctRowSse2;  // the build requires SSE2: every x86-64, and -msse2 on 32-bit
#else
        return nullptr;
#endif
    case CorrectKernelId::avx2:
#if defined(VELTO_HAS_AVX2_KERNEL)
        return cpuRunsAvx2() ? correctRowAvx2 : nullptr;
#else
        return nullptr;
#endif
    }
    return nullptr;
}

CorrectRowKernel fastestCorrectKernel()
{
    // Asking the processor takes about 15 microseconds under a hypervisor,
    // half the time of a whole 640 x 480 pixel pass, so it is asked once per
    // process. The answer cannot change while the process runs, and the
    // language makes this initialisation thread-safe: a host that runs frames
    // on several threads has the first caller choose and the others wait.
    static const CorrectRowKernel kernel = [] {
        CorrectRowKernel best = nullptr;
        for (const CorrectKernelId id : correctKernelIds)
            if (const CorrectRowKernel k = correctKernel(id)) best = k;
        return best;
    }();
    return kernel;
}

void correctPixelsWith(CorrectRowKernel kernel, const CorrectionLevels& levels,
                       const BitmapView& source, uint32_t* destination, intptr_t destinationRowGap)
{
    const CorrectionBytes c = correctionBytes(levels);
    const int32_t width = source.width;
    const uint8_t* from = reinterpret_cast<const uint8_t*>(source.pixels);
    uint8_t* to = reinterpret_cast<uint8_t*>(destination);
    if (width <= 0 || source.height <= 0) return;
    const intptr_t rowBytes = intptr_t{width} * 4;
    // Positions advance only between rows, so they never leave the frames.
    for (int32_t y = 0;;) {
        kernel(from, to, width, c.blackWord, c.gainWord);
        if (++y == source.height) break;
        from += rowBytes + source.rowGap;
        to += rowBytes + destinationRowGap;
    }
}

void correctPixels(const CorrectionLevels& levels, const BitmapView& source,
                   uint32_t* destination, intptr_t destinationRowGap)
{
    correctPixelsWith(fastestCorrectKernel(), levels, source, destination, destinationRowGap);
}
