#include "cli/formats/tiff_exif.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <utility>

#include "cli/formats/tiff_order.h"

namespace {

// The bytes of one value of each TIFF field type (1 BYTE to 13 IFD), 0 for
// a type that is not one.
constexpr uint32_t typeBytes[14] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
constexpr uint16_t interoperabilityTag = 0xA005;
constexpr uint16_t exifPointerTag = 0x8769;
constexpr uint16_t gpsPointerTag = 0x8825;
constexpr uint16_t orientationTag = 0x0112;
constexpr uint16_t descriptiveTags[] = {0x010E, 0x010F, 0x0110, 0x0131, 0x0132, 0x013B, 0x8298};
// No photograph's EXIF directories come near these; they bound the block.
constexpr size_t mostEntries = 1000;
constexpr uint64_t mostValueBytes = uint64_t{1} << 24;

using Order = TiffOrder;

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
    for (uint64_t at = 0; at + step <= size; at += step)
        std::reverse(value + at, value + at + step);
}

// One entry of a directory, moved into another stream: its 12 bytes in that
// stream's order, and its value when that lies outside the entry.
struct Moved {
    uint16_t tag;
    uint8_t entry[12];
    std::vector<uint8_t> value;
};

// An entry of one value: a SHORT (type 3, as the orientation) or a LONG
// (type 4, as a pointer to a directory).
Moved oneValue(const Order& order, uint16_t tag, uint32_t type, uint32_t value)
{
    std::vector<uint8_t> bytes;
    order.put16(bytes, tag);
    order.put16(bytes, type);
    order.put32(bytes, 1);
    if (type == 3) {
        order.put16(bytes, value);
        order.put16(bytes, 0);
    } else {
        order.put32(bytes, value);
    }
    Moved m{tag, {}, {}};
    std::copy(bytes.begin(), bytes.end(), m.entry);
    return m;
}

// What a damaged entry (a type that is none, a value outside the stream or
// beyond the bound) does: a camera's file is read as far as it is whole, a
// block going into a file goes whole or is said to be left.
enum class Damaged { skip, refuse };

// The entries of the directory at offset in block, into to's order; false
// when the directory lies outside the block, or an entry is damaged and
// damaged is refuse. valueBytes counts the values over every directory read.
bool readDirectory(const std::vector<uint8_t>& block, const Order& from, const Order& to,
                   uint64_t offset, Damaged damaged, uint64_t& valueBytes, std::vector<Moved>& out)
{
    if (offset > block.size() || block.size() - offset < 2) return false;
    const size_t count = from.u16(&block[offset]);
    if (count > mostEntries || (block.size() - offset - 2) / 12 < count) return false;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* raw = &block[offset + 2 + i * 12];
        const uint32_t type = from.u16(raw + 2), n = from.u32(raw + 4);
        const uint64_t size = type == 0 || type > 13 ? 0 : uint64_t{typeBytes[type]} * n;
        const uint64_t at = from.u32(raw + 8);
        const bool whole = type != 0 && type <= 13 &&
                           (size <= 4 || (at <= block.size() && block.size() - at >= size &&
                                          valueBytes + size <= mostValueBytes));
        if (!whole) {
            if (damaged == Damaged::refuse) return false;
            continue;
        }
        Moved m{uint16_t(from.u16(raw)), {}, {}};
        std::vector<uint8_t> head;
        to.put16(head, m.tag);
        to.put16(head, type);
        to.put32(head, n);
        std::copy(head.begin(), head.end(), m.entry);
        if (size <= 4) {
            std::copy(raw + 8, raw + 12, m.entry + 8);
            if (from.little != to.little) turnOrder(m.entry + 8, size, type);
        } else {
            valueBytes += size + (size & 1);
            m.value.assign(block.begin() + long(at), block.begin() + long(at + size));
            if (from.little != to.little) turnOrder(m.value.data(), size, type);
        }
        out.push_back(std::move(m));
    }
    return true;
}

// The interoperability directory's pointer taken out (that directory is not
// carried); whether there was one.
bool dropInteroperability(std::vector<Moved>& entries)
{
    const auto gone = std::remove_if(entries.begin(), entries.end(),
                                     [](const Moved& m) { return m.tag == interoperabilityTag; });
    const bool had = gone != entries.end();
    entries.erase(gone, entries.end());
    return had;
}

// Writes a directory of entries after the stream's end, their values after
// it; returns where it starts.
uint32_t appendDirectory(std::vector<uint8_t>& file, const Order& order,
                         std::vector<Moved>& entries, uint32_t next)
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

bool tiffHeader(const std::vector<uint8_t>& s)
{
    return s.size() >= 8 && s[0] == s[1] && (s[0] == 'I' || s[0] == 'M');
}

}  // namespace

std::vector<uint8_t> exifFromTiff(const std::vector<uint8_t>& file, uint64_t exifAt, uint64_t gpsAt,
                                  int32_t orientation)
{
    if (!tiffHeader(file)) return {};
    const Order order{file[0] == 'I'};
    // Header, the EXIF and GPS directories, then the first directory with
    // the orientation and the pointers to them.
    std::vector<uint8_t> out = {file[0], file[1]};
    order.put16(out, 42);
    order.put32(out, 0);
    std::vector<Moved> first;
    uint64_t valueBytes = 0;
    for (const auto& [tag, at] :
         {std::pair{exifPointerTag, exifAt}, std::pair{gpsPointerTag, gpsAt}}) {
        std::vector<Moved> entries;
        if (at == 0 || !readDirectory(file, order, order, at, Damaged::skip, valueBytes, entries))
            continue;
        dropInteroperability(entries);
        first.push_back(oneValue(order, tag, 4, appendDirectory(out, order, entries, 0)));
    }
    if (first.empty()) return {};
    if (orientation > 0) first.push_back(oneValue(order, orientationTag, 3, uint32_t(orientation)));
    order.set32(out, 4, appendDirectory(out, order, first, 0));
    return out;
}

bool addExifToTiff(std::vector<uint8_t>& file, const std::vector<uint8_t>& exif)
{
    if (!tiffHeader(exif) || !tiffHeader(file)) return false;
    const Order from{exif[0] == 'I'}, to{file[0] == 'I'};
    uint64_t valueBytes = 0;
    std::vector<Moved> blockFirst;
    if (from.u16(&exif[2]) != 42 ||
        !readDirectory(exif, from, to, from.u32(&exif[4]), Damaged::refuse, valueBytes, blockFirst))
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
    if (fileHas(exifPointerTag) || fileHas(gpsPointerTag)) return false;

    // Of the block's first directory: the descriptive tags, and its EXIF and
    // GPS directories. What says how the stored picture is laid out
    // (orientation, resolution, YCbCr positioning) the file says itself.
    bool complete = true;
    std::vector<Moved> exifEntries, gpsEntries;
    size_t added = 0;
    for (Moved& m : blockFirst) {
        const bool descriptive = std::find(std::begin(descriptiveTags), std::end(descriptiveTags),
                                           m.tag) != std::end(descriptiveTags);
        const bool layout = m.tag == orientationTag || m.tag == 0x011A || m.tag == 0x011B ||
                            m.tag == 0x0128 || m.tag == 0x0213;
        if (m.tag == exifPointerTag || m.tag == gpsPointerTag) {
            std::vector<Moved>& entries = m.tag == exifPointerTag ? exifEntries : gpsEntries;
            complete = readDirectory(exif, from, to, to.u32(m.entry + 8), Damaged::refuse,
                                     valueBytes, entries) &&
                       !dropInteroperability(entries) && complete;
        } else if (descriptive && !fileHas(m.tag)) {
            first.push_back(std::move(m));
            ++added;
        } else if (!descriptive && !layout) {
            complete = false;  // a tag of another kind
        }
    }
    if (exifEntries.empty() && gpsEntries.empty() && added == 0) return complete;
    // Offsets are 32 bits: the file and what is added must stay below 4 GiB.
    uint64_t adding = 128;
    for (const std::vector<Moved>* entries : {&first, &exifEntries, &gpsEntries})
        for (const Moved& m : *entries) adding += 12 + m.value.size() + 1;
    if (file.size() + adding > UINT32_MAX) return false;

    for (const auto& [tag, entries] :
         {std::pair{exifPointerTag, &exifEntries}, std::pair{gpsPointerTag, &gpsEntries}})
        if (!entries->empty())
            first.push_back(oneValue(to, tag, 4, appendDirectory(file, to, *entries, 0)));
    to.set32(file, 4, appendDirectory(file, to, first, next));
    return complete;
}
