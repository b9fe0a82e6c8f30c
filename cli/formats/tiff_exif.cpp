#include "cli/formats/tiff_exif.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "cli/formats/tiff_order.h"

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

using Order = TiffOrder;

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

namespace {

constexpr uint16_t descriptiveTags[] = {0x010E, 0x010F, 0x0110, 0x0131, 0x0132, 0x013B, 0x8298};
constexpr uint16_t gpsPointerTag = 0x8825;

// The bytes of one element of a type, for turning byte order.
uint32_t elementBytes(uint32_t type)
{
    return type == 3 || type == 8 ? 2 : type == 12 ? 8 : typeBytes[type] >= 4 ? 4 : 1;
}

// size bytes of a value of type from one byte order to the other.
void turnOrder(uint8_t* value, uint64_t size, uint32_t type)
{
    const uint32_t step = elementBytes(type);
    if (step == 1) return;
    for (uint64_t at = 0; at + step <= size; at += step) std::reverse(value + at, value + at + step);
}

// One entry of the block, moved into the file: its 12 bytes in the file's
// order, and its value when that lies outside the entry.
struct Moved {
    uint16_t tag;
    uint8_t entry[12];
    std::vector<uint8_t> value;
};

// The entries of the block's directory at offset, into the file's order;
// false when the directory or a value lies outside the block.
bool readDirectory(const std::vector<uint8_t>& block, const Order& from, const Order& to,
                   uint64_t offset, std::vector<Moved>& out)
{
    if (offset > block.size() || block.size() - offset < 2) return false;
    const size_t count = from.u16(&block[offset]);
    if (count > mostEntries || (block.size() - offset - 2) / 12 < count) return false;
    uint64_t valueBytes = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* raw = &block[offset + 2 + i * 12];
        const uint32_t type = from.u16(raw + 2), n = from.u32(raw + 4);
        if (type == 0 || type > 13) return false;
        Moved m{uint16_t(from.u16(raw)), {}, {}};
        std::vector<uint8_t> head;
        to.put16(head, m.tag);
        to.put16(head, type);
        to.put32(head, n);
        std::copy(head.begin(), head.end(), m.entry);
        const uint64_t size = uint64_t{typeBytes[type]} * n;
        if (size <= 4) {
            std::copy(raw + 8, raw + 12, m.entry + 8);
            if (from.little != to.little) turnOrder(m.entry + 8, size, type);
        } else {
            const uint64_t at = from.u32(raw + 8);
            valueBytes += size;
            if (at > block.size() || block.size() - at < size || valueBytes > mostValueBytes)
                return false;
            m.value.assign(block.begin() + long(at), block.begin() + long(at + size));
            if (from.little != to.little) turnOrder(m.value.data(), size, type);
        }
        out.push_back(std::move(m));
    }
    return true;
}

// Writes a directory of entries after the file's end, their values after
// it; returns where it starts.
uint32_t appendDirectory(std::vector<uint8_t>& file, const Order& order, std::vector<Moved>& entries,
                         uint32_t next)
{
    std::sort(entries.begin(), entries.end(),
              [](const Moved& a, const Moved& b) { return a.tag < b.tag; });
    if (file.size() & 1) file.push_back(0);
    const size_t start = file.size();
    order.put16(file, uint32_t(entries.size()));
    size_t valueAt = start + 2 + entries.size() * 12 + 4;
    for (Moved& m : entries) {
        if (!m.value.empty()) {
            std::vector<uint8_t> at;
            order.put32(at, uint32_t(valueAt));
            std::copy(at.begin(), at.end(), m.entry + 8);
            valueAt += m.value.size() + (m.value.size() & 1);
        }
        file.insert(file.end(), m.entry, m.entry + 12);
    }
    order.put32(file, next);
    for (const Moved& m : entries) {
        file.insert(file.end(), m.value.begin(), m.value.end());
        if (m.value.size() & 1) file.push_back(0);
    }
    return uint32_t(start);
}

}  // namespace

bool addExifToTiff(std::vector<uint8_t>& file, const std::vector<uint8_t>& exif)
{
    if (exif.size() < 8 || exif[0] != exif[1] || (exif[0] != 'I' && exif[0] != 'M')) return false;
    if (file.size() < 8 || file[0] != file[1] || (file[0] != 'I' && file[0] != 'M')) return false;
    const Order from{exif[0] == 'I'}, to{file[0] == 'I'};
    std::vector<Moved> blockFirst;
    if (from.u16(&exif[2]) != 42 || !readDirectory(exif, from, to, from.u32(&exif[4]), blockFirst))
        return false;

    // The file's first directory as it stands: its values stay where they are.
    const uint64_t firstAt = to.u32(&file[4]);
    if (firstAt > file.size() || file.size() - firstAt < 2) return false;
    const size_t count = to.u16(&file[firstAt]);
    if (file.size() - firstAt - 2 < count * 12 + 4) return false;
    std::vector<Moved> first;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* raw = &file[firstAt + 2 + i * 12];
        Moved m{uint16_t(to.u16(raw)), {}, {}};
        std::copy(raw, raw + 12, m.entry);
        first.push_back(std::move(m));
    }
    const uint32_t next = to.u32(&file[firstAt + 2 + count * 12]);
    const auto fileHas = [&first](uint16_t tag) {
        return std::any_of(first.begin(), first.end(),
                           [tag](const Moved& m) { return m.tag == tag; });
    };
    if (fileHas(exifPointerTag)) return false;

    // Of the block's first directory: the descriptive tags, and its EXIF
    // directory. What says how the stored picture is laid out (orientation,
    // resolution, YCbCr positioning) the file says itself.
    bool complete = true;
    std::vector<Moved> exifEntries;
    size_t added = 0;
    for (Moved& m : blockFirst) {
        const bool descriptive = std::find(std::begin(descriptiveTags), std::end(descriptiveTags),
                                           m.tag) != std::end(descriptiveTags);
        const bool layout = m.tag == orientationTag || m.tag == 0x011A || m.tag == 0x011B ||
                            m.tag == 0x0128 || m.tag == 0x0213;
        if (m.tag == exifPointerTag) {
            complete = readDirectory(exif, from, to, to.u32(m.entry + 8), exifEntries) && complete;
        } else if (descriptive && !fileHas(m.tag)) {
            first.push_back(std::move(m));
            ++added;
        } else if (!descriptive && !layout) {
            complete = false;  // a GPS directory, or a tag of another kind
        }
    }
    const auto interoperability =
        std::remove_if(exifEntries.begin(), exifEntries.end(),
                       [](const Moved& m) { return m.tag == interoperabilityTag; });
    if (interoperability != exifEntries.end()) complete = false;
    exifEntries.erase(interoperability, exifEntries.end());
    if (exifEntries.empty() && added == 0) return complete;
    // Offsets are 32 bits: the file and what is added must stay below 4 GiB.
    uint64_t adding = 64;
    for (const std::vector<Moved>* entries : {&first, &exifEntries})
        for (const Moved& m : *entries) adding += 12 + m.value.size() + 1;
    if (file.size() + adding > UINT32_MAX) return false;

    if (!exifEntries.empty()) {
        Moved pointer{exifPointerTag, {}, {}};
        std::vector<uint8_t> entry;
        to.put16(entry, exifPointerTag);
        to.put16(entry, 4);
        to.put32(entry, 1);
        to.put32(entry, appendDirectory(file, to, exifEntries, 0));
        std::copy(entry.begin(), entry.end(), pointer.entry);
        first.push_back(std::move(pointer));
    }
    to.set32(file, 4, appendDirectory(file, to, first, next));
    return complete;
}
