#include "cli/formats/exif_orientation.h"

#include <cstddef>

#include "cli/formats/tiff_order.h"

namespace {

constexpr uint16_t orientationTag = 0x0112;
constexpr uint16_t shortType = 3;

struct TiffStream {
    const std::vector<uint8_t>& bytes;
    TiffOrder order;

    bool has(size_t at, size_t count) const
    {
        return at <= bytes.size() && count <= bytes.size() - at;
    }
    uint32_t u16(size_t at) const { return order.u16(&bytes[at]); }
    uint32_t u32(size_t at) const { return order.u32(&bytes[at]); }
};

// Where the orientation's value lies in the block, or 0 when it has none.
size_t orientationAt(const std::vector<uint8_t>& exif)
{
    if (exif.size() < 8 || exif[0] != exif[1] || (exif[0] != 'I' && exif[0] != 'M')) return 0;
    const TiffStream tiff{exif, {exif[0] == 'I'}};
    if (tiff.u16(2) != 42) return 0;
    const size_t directory = tiff.u32(4);
    if (!tiff.has(directory, 2)) return 0;
    const size_t entries = tiff.u16(directory);
    for (size_t i = 0; i < entries; ++i) {
        const size_t entry = directory + 2 + i * 12;
        if (!tiff.has(entry, 12)) return 0;
        if (tiff.u16(entry) == orientationTag && tiff.u16(entry + 2) == shortType &&
            tiff.u32(entry + 4) == 1)
            return entry + 8;
    }
    return 0;
}

}  // namespace

int32_t exifOrientation(const std::vector<uint8_t>& exif)
{
    const size_t at = orientationAt(exif);
    if (at == 0) return 0;
    const uint32_t value = TiffStream{exif, {exif[0] == 'I'}}.u16(at);
    return value >= 1 && value <= 8 ? static_cast<int32_t>(value) : 0;
}

bool setExifOrientation(std::vector<uint8_t>& exif, int32_t orientation)
{
    const auto value = static_cast<uint8_t>(orientation);
    if (exif.empty()) {
        // Little-endian, one directory at offset 8 with the one entry.
        exif = {'I', 'I', 42, 0, 8, 0,     0, 0, 1, 0, 0x12, 0x01, shortType,
                0,   1,   0,  0, 0, value, 0, 0, 0, 0, 0,    0,    0};
        return true;
    }
    const size_t at = orientationAt(exif);
    if (at == 0) return false;
    exif[at] = exif[0] == 'I' ? value : 0;
    exif[at + 1] = exif[0] == 'I' ? 0 : value;
    return true;
}

bool exifBeyondOrientation(const std::vector<uint8_t>& exif)
{
    if (exif.empty()) return false;
    if (orientationAt(exif) == 0) return true;
    const TiffStream tiff{exif, {exif[0] == 'I'}};
    const size_t directory = tiff.u32(4);
    // orientationAt found the directory, so its count and entry are in the block.
    if (tiff.u16(directory) != 1 || !tiff.has(directory + 14, 4)) return true;
    return tiff.u32(directory + 14) != 0;
}
