// What makes a picture fit an output (alpha, grey), whatever its format.
#include "cli/formats/picture.h"

#include <cctype>

bool holdsAlpha(ImageFormat format)
{
    return format == ImageFormat::png || format == ImageFormat::pam || format == ImageFormat::webp ||
           format == ImageFormat::tiff || format == ImageFormat::heif || format == ImageFormat::avif;
}

bool allOpaque(const Image& image)
{
    if (!image.deep.empty()) {
        for (size_t i = 3; i < image.deep.size(); i += 4)
            if (image.deep[i] != 65535) return false;
        return true;
    }
    for (uint32_t w : image.words)
        if (w >> 24 != 0xFF) return false;
    return true;
}

void dropAlpha(Image& image)
{
    if (!image.hasAlpha) return;
    if (!image.deep.empty()) {
        const size_t count = image.deep.size() / 4;
        for (size_t i = 0; i < count; ++i)
            for (size_t c = 0; c < 3; ++c) image.deep[i * 3 + c] = image.deep[i * 4 + c];
        image.deep.resize(count * 3);
    }
    image.hasAlpha = false;  // the writers skip the top byte
}

void flattenOnto(Image& image, uint32_t colour)
{
    if (image.hasAlpha && !image.deep.empty()) {  // at 16 bits, into three samples
        const size_t count = image.deep.size() / 4;
        for (size_t i = 0; i < count; ++i) {
            const uint64_t a = image.deep[i * 4 + 3];
            for (size_t c = 0; c < 3; ++c) {
                const uint64_t under = (colour >> (16 - 8 * c) & 0xFF) * 257;
                image.deep[i * 3 + c] = static_cast<uint16_t>(
                    (image.deep[i * 4 + c] * a + under * (65535 - a) + 32767) / 65535);
            }
        }
        image.deep.resize(count * 3);
        image.hasAlpha = false;
        wordsFromDeep(image);  // what the analysis reads follows the 16-bit picture
        return;
    }
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

void wordsFromDeep(Image& image)
{
    const size_t channels = size_t(deepChannels(image));
    const size_t count = size_t(image.width) * size_t(image.height);
    image.words.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const uint16_t* s = image.deep.data() + i * channels;
        uint32_t w = uint32_t{scaleSample(s[0], 65535)} << 16 |
                     uint32_t{scaleSample(s[1], 65535)} << 8 | scaleSample(s[2], 65535);
        if (channels == 4) w |= uint32_t{scaleSample(s[3], 65535)} << 24;
        image.words[i] = w;
    }
}

bool allGrey(const Image& image)
{
    if (!image.deep.empty()) {
        const size_t channels = size_t(deepChannels(image));
        for (size_t i = 0; i < image.deep.size(); i += channels)
            if (image.deep[i] != image.deep[i + 1] || image.deep[i] != image.deep[i + 2])
                return false;
        return true;
    }
    for (uint32_t w : image.words) {
        const uint32_t b = w & 0xFF;
        if ((w >> 8 & 0xFF) != b || (w >> 16 & 0xFF) != b) return false;
    }
    return true;
}

std::string libraryPhrase(const char* text)
{
    std::string out;
    for (const char* c = text ? text : ""; *c; ++c) {
        const bool blank = static_cast<unsigned char>(*c) <= ' ';
        if (!blank) out += *c;
        else if (!out.empty() && out.back() != ' ') out += ' ';
    }
    while (!out.empty() && (out.back() == ' ' || out.back() == '.')) out.pop_back();
    if (out.size() > 1 && std::isupper(static_cast<unsigned char>(out[0])) &&
        std::islower(static_cast<unsigned char>(out[1])))
        out[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(out[0])));
    return out;
}

void noteLost(std::string* lost, const std::string& what)
{
    if (!lost) return;
    if (!lost->empty()) *lost += ", ";
    *lost += what;
}
