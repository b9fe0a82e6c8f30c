// What makes a picture fit an output (alpha, grey), whatever its format.
#include "cli/formats/picture.h"

bool holdsAlpha(ImageFormat format)
{
    return format == ImageFormat::png || format == ImageFormat::pam || format == ImageFormat::webp;
}

bool allOpaque(const Image& image)
{
    for (uint32_t w : image.words)
        if (w >> 24 != 0xFF) return false;
    return true;
}

void flattenOnto(Image& image, uint32_t colour)
{
    for (uint32_t& w : image.words) {
        const uint32_t a = w >> 24;
        uint32_t out = 0;
        for (int shift = 0; shift < 24; shift += 8) {
            const uint32_t c = w >> shift & 0xFF, under = colour >> shift & 0xFF;
            out |= (c * a + under * (255 - a) + 127) / 255 << shift;
        }
        w = out;
    }
    image.hasAlpha = false;
}

bool allGrey(const Image& image)
{
    for (uint32_t w : image.words) {
        const uint32_t b = w & 0xFF;
        if ((w >> 8 & 0xFF) != b || (w >> 16 & 0xFF) != b) return false;
    }
    return true;
}

void noteLost(std::string* lost, const std::string& what)
{
    if (!lost) return;
    if (!lost->empty()) *lost += ", ";
    *lost += what;
}
