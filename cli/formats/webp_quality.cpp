#include "cli/formats/webp_quality.h"

#include <cmath>
#include <cstddef>

namespace {

// The boolean decoder of a VP8 frame's first partition, reading at most the
// bytes it is given (past them it reads zeros, as a cut file would).
struct BoolReader {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    uint32_t value = 0;
    uint32_t range = 255;
    int32_t bits = 0;
};

uint32_t nextByte(BoolReader& r)
{
    return r.at < r.size ? r.data[r.at++] : 0;
}

void startReader(BoolReader& r)
{
    r.value = nextByte(r) << 8;
    r.value |= nextByte(r);
}

uint32_t readBool(BoolReader& r, uint32_t probability)
{
    const uint32_t split = 1 + (((r.range - 1) * probability) >> 8);
    const uint32_t bigSplit = split << 8;
    uint32_t bit = 0;
    if (r.value >= bigSplit) {
        bit = 1;
        r.range -= split;
        r.value -= bigSplit;
    } else {
        r.range = split;
    }
    while (r.range < 128) {
        r.value = (r.value << 1) & 0xFFFF;
        r.range <<= 1;
        if (++r.bits == 8) {
            r.bits = 0;
            r.value |= nextByte(r);
        }
    }
    return bit;
}

uint32_t readLiteral(BoolReader& r, int32_t count)
{
    uint32_t v = 0;
    for (int32_t i = 0; i < count; ++i) v = (v << 1) | readBool(r, 128);
    return v;
}

// A flagged signed field: its magnitude of COUNT bits, then its sign.
int32_t readOptionalSigned(BoolReader& r, int32_t count)
{
    if (!readBool(r, 128)) return 0;
    const int32_t magnitude = static_cast<int32_t>(readLiteral(r, count));
    return readBool(r, 128) ? -magnitude : magnitude;
}

// The data of the first "VP8 " chunk of a RIFF WebP, or null.
const uint8_t* findVp8(const std::vector<uint8_t>& file, size_t& size)
{
    size_t at = 12;
    while (file.size() >= 8 && at <= file.size() - 8) {
        const uint8_t* c = file.data() + at;
        const size_t length = size_t(c[4]) | size_t(c[5]) << 8 | size_t(c[6]) << 16 |
                              size_t(c[7]) << 24;
        const size_t room = file.size() - at - 8;
        if (c[0] == 'V' && c[1] == 'P' && c[2] == '8' && c[3] == ' ') {
            size = length < room ? length : room;
            return c + 8;
        }
        if (length >= room) return nullptr;
        at += 8 + length + (length & 1);
    }
    return nullptr;
}

}  // namespace

int32_t estimateWebpQuality(const std::vector<uint8_t>& file)
{
    size_t size = 0;
    const uint8_t* vp8 = findVp8(file, size);
    // A key frame: its tag's low bit clear, then the start code 9d 01 2a.
    if (!vp8 || size < 12 || (vp8[0] & 1) != 0 || vp8[3] != 0x9D || vp8[4] != 0x01 ||
        vp8[5] != 0x2A)
        return 0;
    BoolReader r{vp8 + 10, size - 10};
    startReader(r);
    readLiteral(r, 2);  // colour space, clamping
    int32_t lowest = 127, highest = 0;
    bool segmentsAbsolute = false;
    if (readBool(r, 128)) {  // segmentation
        const uint32_t updateMap = readBool(r, 128);
        if (readBool(r, 128)) {  // segment data
            segmentsAbsolute = readBool(r, 128) != 0;
            for (int32_t i = 0; i < 4; ++i) {
                const int32_t q = readOptionalSigned(r, 7);
                lowest = q < lowest ? q : lowest;
                highest = q > highest ? q : highest;
            }
            for (int32_t i = 0; i < 4; ++i) readOptionalSigned(r, 6);
        }
        if (updateMap)
            for (int32_t i = 0; i < 3; ++i)
                if (readBool(r, 128)) readLiteral(r, 8);
    }
    readLiteral(r, 1 + 6 + 3);  // filter type, level, sharpness
    if (readBool(r, 128) && readBool(r, 128))  // loop filter deltas, updated
        for (int32_t i = 0; i < 8; ++i) readOptionalSigned(r, 6);
    readLiteral(r, 2);  // partitions
    const int32_t base = static_cast<int32_t>(readLiteral(r, 7));
    if (!segmentsAbsolute) lowest = highest = base;
    if (lowest < 0 || highest > 127 || lowest > highest) return 0;

    // libwebp gives a segment the compression c = 1 - index / 127 as
    // cBase^(1 -+ k) for its busiest and its plainest blocks: cBase is the
    // two extremes' geometric mean. cBase = linear^(1/3), and linear is
    // quality * 2/3 below quality 0.75, 2 * quality - 1 above.
    const double cLow = 1.0 - double(highest) / 127.0;
    const double cHigh = 1.0 - double(lowest) / 127.0;
    const double product = cLow * cHigh;
    const double c = std::sqrt(product);
    const double linear = c * c * c;
    const double quality = linear < 0.5 ? linear * 1.5 : (linear + 1.0) / 2.0;
    const double percent = std::floor(quality * 100.0 + 0.5);
    return percent < 1.0 ? 1 : percent > 100.0 ? 100 : static_cast<int32_t>(percent);
}
