#include "engine/classic/correct.h"

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
    // more than half the time of a whole 640 x 480 pixel pass, so it is asked
    // once per process. The answer cannot change while the process runs, and
    // the language makes this initialisation thread-safe: a host that runs
    // frames on several threads has the first caller choose and the others
    // wait. After that the value is only read.
    static const CorrectRowKernel kernel = [] {
        CorrectRowKernel best = nullptr;
        for (const CorrectKernelId id : correctKernelIds)
            if (const CorrectRowKernel k = correctKernel(id)) best = k;
        return best;
    }();
    return kernel;
}

void correctPixelsWith(CorrectRowKernel kernel, const CorrectionLevels& levels,
                       const FrameView& source, uint32_t* destination, intptr_t destinationRowGap,
                       TopByte topByte)
{
    CorrectionBytes c = correctionBytes(levels);
    if (topByte == TopByte::carried) c.gainWord |= uint32_t{1} << gainShift << 24;
    const int32_t width = source.width, height = source.height;
    const uint8_t* from = reinterpret_cast<const uint8_t*>(source.pixels);
    uint8_t* to = reinterpret_cast<uint8_t*>(destination);
    if (width <= 0 || height <= 0) return;
    const intptr_t rowBytes = intptr_t{width} * 4;

    // Rows that follow one another in memory without a gap, on both sides,
    // form one run of pixels, and so do rows stored bottom-up (a row gap of
    // minus two rows), from the row that comes first in memory. Each pixel
    // still goes to its own place; the kernel merely starts and ends once a
    // frame instead of once a row, which saved about 15 % of the AVX2 pass
    // at 640 x 480.
    const intptr_t gap = source.rowGap;
    if (gap == destinationRowGap && (gap == 0 || gap == -2 * rowBytes)) {
        if (gap != 0) {
            from -= (height - 1) * rowBytes;
            to -= (height - 1) * rowBytes;
        }
        constexpr int64_t longestRun = int64_t{1} << 28;  // 4 * count stays within int32
        for (int64_t left = int64_t{width} * height; left > 0;) {
            const int32_t count = static_cast<int32_t>(left < longestRun ? left : longestRun);
            kernel(from, to, count, c.blackWord, c.gainWord);
            left -= count;
            if (left > 0) {
                from += intptr_t{count} * 4;
                to += intptr_t{count} * 4;
            }
        }
        return;
    }
    // Positions advance only between rows, so they never leave the frames.
    for (int32_t y = 0;;) {
        kernel(from, to, width, c.blackWord, c.gainWord);
        if (++y == height) break;
        from += rowBytes + source.rowGap;
        to += rowBytes + destinationRowGap;
    }
}

void correctPixels(const CorrectionLevels& levels, const FrameView& source,
                   uint32_t* destination, intptr_t destinationRowGap, TopByte topByte)
{
    correctPixelsWith(fastestCorrectKernel(), levels, source, destination, destinationRowGap,
                      topByte);
}
