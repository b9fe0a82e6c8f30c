#include "engine/correct.h"

#include "engine/correct_kernels.h"
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

void correctPixels(const CorrectionLevels& levels, const BitmapView& source,
                   uint32_t* destination, intptr_t destinationRowGap)
{
    const CorrectionBytes c = correctionBytes(levels);
    const int32_t width = source.width;
    const uint8_t* from = reinterpret_cast<const uint8_t*>(source.pixels);
    uint8_t* to = reinterpret_cast<uint8_t*>(destination);
    if (width <= 0 || source.height <= 0) return;
    const intptr_t rowBytes = intptr_t{width} * 4;
    // Positions advance only between rows, so they never leave the frames.
    for (int32_t y = 0;;) {
        correctRow(from, to, width, c.blackWord, c.gainWord);
        if (++y == source.height) break;
        from += rowBytes + source.rowGap;
        to += rowBytes + destinationRowGap;
    }
}
