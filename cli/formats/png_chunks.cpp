#include "cli/formats/png_chunks.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace {

uint32_t bigEndian32(const uint8_t* p)
{
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

// Calls take(type, data, length) for each chunk before the pixels whose
// checksum holds; libpng itself drops a damaged ancillary chunk, or one that
// disagrees with another (an sRGB chunk makes it drop an iCCP).
template <class Take>
void eachChunkBeforePixels(const uint8_t* data, size_t size, Take take)
{
    for (size_t at = 8; size >= at && size - at >= 12;) {
        const uint32_t length = bigEndian32(data + at);
        if (length > size - at - 12 || std::memcmp(data + at + 4, "IDAT", 4) == 0) return;
        const uint8_t* type = data + at + 4;
        const size_t checked = size_t{length} + 4;  // the type and the data
        if (crc32_z(0, type, checked) == bigEndian32(type + checked))
            take(reinterpret_cast<const char*>(type), type + 4, length);
        at += 12 + size_t{length};
    }
}

// The profile of an iCCP chunk: a name of 1 to 79 bytes, its end, a 0 for
// deflate, then the compressed profile. Empty when it cannot be inflated or
// would be larger than any output holds.
std::vector<uint8_t> inflatedProfile(const uint8_t* data, uint32_t length)
{
    constexpr size_t most = 16 << 20;
    const void* end = std::memchr(data, 0, std::min<uint32_t>(length, 80));
    if (!end) return {};
    const size_t start = static_cast<size_t>(static_cast<const uint8_t*>(end) - data) + 2;
    if (start > length || data[start - 1] != 0) return {};
    std::vector<uint8_t> profile;
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return {};
    z.next_in = const_cast<Bytef*>(data + start);
    z.avail_in = static_cast<uInt>(length - start);
    int result = Z_OK;
    while (result == Z_OK && profile.size() < most) {
        const size_t had = profile.size();
        profile.resize(std::min(most, had + 65536));
        z.next_out = profile.data() + had;
        z.avail_out = static_cast<uInt>(profile.size() - had);
        result = inflate(&z, Z_NO_FLUSH);
        profile.resize(profile.size() - z.avail_out);
    }
    inflateEnd(&z);
    if (result != Z_STREAM_END) return {};
    return profile;
}

}  // namespace

// The bytes of all IDAT chunks in the file, the compressed pixels: each chunk
// is a length, a type, the data and a checksum.
uint64_t compressedPixelBytes(const uint8_t* data, size_t size)
{
    uint64_t total = 0;
    for (size_t at = 8; size >= at && size - at >= 12;) {
        const size_t length = std::min<size_t>(bigEndian32(data + at), size - at - 12);
        if (std::memcmp(data + at + 4, "IDAT", 4) == 0) total += length;
        at += 12 + length;
    }
    return total;
}

// The colour chunks and the pixel density, read from the file's bytes.
void keepPngChunks(const uint8_t* data, size_t size, Image& image)
{
    const bool hadProfile = !image.icc.empty();
    eachChunkBeforePixels(data, size, [&](const char* type, const uint8_t* p, uint32_t length) {
        PngColour& c = image.pngColour;
        if (std::memcmp(type, "sRGB", 4) == 0 && length == 1) c.srgbIntent = p[0];
        if (std::memcmp(type, "gAMA", 4) == 0 && length == 4) c.gamma = bigEndian32(p);
        if (std::memcmp(type, "cHRM", 4) == 0 && length == 32)
            for (int i = 0; i < 8; ++i) c.chromaticities[i] = bigEndian32(p + 4 * i);
        if (std::memcmp(type, "iCCP", 4) == 0 && !hadProfile)
            image.icc = inflatedProfile(p, length);
        // Square pixels without a unit say nothing, as in JFIF.
        const bool saysNothing = length == 9 && p[8] == 0 && bigEndian32(p) == bigEndian32(p + 4);
        if (std::memcmp(type, "pHYs", 4) == 0 && length == 9 && p[8] <= 1 && !saysNothing &&
            bigEndian32(p) > 0 && bigEndian32(p + 4) > 0)
            image.density = {bigEndian32(p), bigEndian32(p + 4),
                             p[8] == 1 ? DensityUnit::metre : DensityUnit::none};
    });
}
