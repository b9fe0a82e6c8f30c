#include "engine/neutral/neutral_correct.h"

namespace {

void gainLane(double gain, Transfer transfer, uint8_t lane[256])
{
    for (int32_t v = 0; v < 256; ++v) {
        if (gain == 1.0) {
            lane[v] = static_cast<uint8_t>(v);
            continue;
        }
        const double out = encodeTransfer(transfer, decodeTransfer(transfer, v / 255.0) * gain);
        lane[v] = static_cast<uint8_t>(static_cast<int32_t>(out * 255.0 + 0.5));
    }
}

}  // namespace

NeutralTables neutralTables(const NeutralGains& gains, Transfer transfer, TopByte topByte)
{
    NeutralTables t;
    gainLane(gains.blue, transfer, t.lane[0]);
    gainLane(gains.green, transfer, t.lane[1]);
    gainLane(gains.red, transfer, t.lane[2]);
    for (int32_t v = 0; v < 256; ++v)
        t.lane[3][v] = topByte == TopByte::carried ? static_cast<uint8_t>(v) : 0;
    return t;
}

void correctNeutralPixels(const NeutralTables& t, const FrameView& source, uint32_t* destination,
                          intptr_t destinationRowGap)
{
    if (source.width <= 0 || source.height <= 0) return;
    const uint8_t* from = reinterpret_cast<const uint8_t*>(source.pixels);
    uint8_t* to = reinterpret_cast<uint8_t*>(destination);
    const intptr_t rowBytes = intptr_t{source.width} * 4;
    for (int32_t y = 0;;) {
        for (int32_t x = 0; x < source.width; ++x) {
            const uint8_t* in = from + 4 * x;
            uint8_t* out = to + 4 * x;
            const uint8_t b = in[0], g = in[1], r = in[2], a = in[3];
            out[0] = t.lane[0][b];
            out[1] = t.lane[1][g];
            out[2] = t.lane[2][r];
            out[3] = t.lane[3][a];
        }
        if (++y == source.height) break;
        from += rowBytes + source.rowGap;
        to += rowBytes + destinationRowGap;
    }
}
