#include "cli/formats/tiff_exif.h"

#include <cstddef>

namespace {

// The bytes of one value of each TIFF field type (1 BYTE to 13 IFD), 0 for
// a type that is not one.
constexpr uint32_t typeBytes[14] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
constexpr uint16_t interoperabilityTag = 0xA005;
constexpr uint16_t exifPointerTag = 0x8769;
constexpr uint16_t orientationTag = 0x0112;
// No photograph's EXIF directory comes near these; they bound the block.
constexpr size_t mostEntries = 1000;
constexpr uint64_t mostValueBytes = uint64_t{1} << 24;

struct Order {
    bool little;
    uint32_t u16(const uint8_t* p) const
    {
        return little ? uint32_t{p[0]} | uint32_t{p[1]} << 8 : uint32_t{p[0]} << 8 | p[1];
    }
    uint32_t u32(const uint8_t* p) const
    {
        return little ? u16(p) | u16(p + 2) << 16 : u16(p) << 16 | u16(p + 2);
    }
    void put16(std::vector<uint8_t>& out, uint32_t v) const
    {
        const uint8_t a = uint8_t(v), b = uint8_t(v >> 8);
        out.push_back(little ? a : b);
        out.push_back(little ? b : a);
    }
    void put32(std::vector<uint8_t>& out, uint32_t v) const
    {
        put16(out, little ? v & 0xFFFF : v >> 16);
        put16(out, little ? v >> 16 : v & 0xFFFF);
    }
    void set32(std::vector<uint8_t>& out, size_t at, uint32_t v) const
    {
        std::vector<uint8_t> four;
        put32(four, v);
        for (size_t i = 0; i < 4; ++i) out[at + i] = four[i];
    }
};

// One entry as it will be written: its 12 bytes, and its value's bytes when
// they lie outside the entry.
struct Entry {
    const uint8_t* raw;
    const uint8_t* value;  // nullptr when within the entry
    uint32_t size;
};

}  // namespace

std::vector<uint8_t> exifFromTiff(const std::vector<uint8_t>& file, uint64_t offset,
                                  int32_t orientation)
{
    if (file.size() < 8 || file[0] != file[1] || (file[0] != 'I' && file[0] != 'M')) return {};
    const Order order{file[0] == 'I'};
    if (offset > file.size() || file.size() - offset < 2) return {};
    const size_t count = order.u16(&file[offset]);
    if (count > mostEntries || (file.size() - offset - 2) / 12 < count) return {};

    std::vector<Entry> entries;
    uint64_t valueBytes = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* raw = &file[offset + 2 + i * 12];
        const uint32_t type = order.u16(raw + 2);
        if (order.u16(raw) == interoperabilityTag || type == 0 || type > 13) continue;
        const uint64_t size = uint64_t{typeBytes[type]} * order.u32(raw + 4);
        if (size <= 4) {
            entries.push_back({raw, nullptr, 0});
            continue;
        }
        const uint64_t at = order.u32(raw + 8);
        if (at > file.size() || file.size() - at < size) continue;  // a value outside the file
        if (valueBytes + size > mostValueBytes) continue;
        valueBytes += size + (size & 1);
        entries.push_back({raw, &file[at], uint32_t(size)});
    }

    // Header, the first directory (orientation, pointer), then the EXIF one.
    std::vector<uint8_t> out = {file[0], file[1]};
    order.put16(out, 42);
    order.put32(out, 8);
    const uint32_t first = orientation > 0 ? 2 : 1;
    order.put16(out, first);
    if (orientation > 0) {
        order.put16(out, orientationTag);
        order.put16(out, 3);
        order.put32(out, 1);
        order.put16(out, uint32_t(orientation));
        order.put16(out, 0);
    }
    const size_t exifAt = 8 + 2 + first * 12 + 4;
    order.put16(out, exifPointerTag);
    order.put16(out, 4);
    order.put32(out, 1);
    order.put32(out, uint32_t(exifAt));
    order.put32(out, 0);  // no further directory

    order.put16(out, uint32_t(entries.size()));
    size_t valueAt = exifAt + 2 + entries.size() * 12 + 4;
    for (const Entry& e : entries) {
        out.insert(out.end(), e.raw, e.raw + 12);
        if (!e.value) continue;
        order.set32(out, out.size() - 4, uint32_t(valueAt));
        valueAt += e.size + (e.size & 1);  // values start on a word boundary
    }
    order.put32(out, 0);
    for (const Entry& e : entries) {
        if (!e.value) continue;
        out.insert(out.end(), e.value, e.value + e.size);
        if (e.size & 1) out.push_back(0);
    }
    return out;
}
