#include "engine/neutral/neutral_correct.h"

#include "engine/cpu_features.h"
#include "engine/portable_math.h"

namespace {

// The transfer's power and offset, and where its toe ends in code values;
// false for a transfer that has none.
struct PowerCurve {
    double exponent;  // of the encoding: 1 / 2.4 for sRGB
    double offset;    // in code values: 0.055 * 255 for sRGB
    int32_t toeEnd;
};

bool powerCurve(Transfer transfer, PowerCurve& c)
{
    switch (transfer) {
    case Transfer::srgb: c = {1.0 / 2.4, 0.055 * 255.0, 16}; return true;
    case Transfer::bt709: c = {0.45, 0.099 * 255.0, 32}; return true;
    default: return false;
    }
}

uint8_t exactValue(int32_t v, double gain, Transfer transfer)
{
    if (gain == 1.0) return static_cast<uint8_t>(v);
    const double out = encodeTransfer(transfer, decodeTable(transfer).light[v] * gain);
    return static_cast<uint8_t>(static_cast<int32_t>(out * 255.0 + 0.5));
}

uint16_t word(double v)
{
    return static_cast<uint16_t>(v < 0.0 ? 0 : v > 65535.0 ? 65535 : static_cast<int32_t>(v));
}

// One colour lane of the form: the line a (v + o) + 0.5, o = k (a - 1) / a.
void formLane(int32_t lane, double gain, const PowerCurve& c, Transfer transfer, NeutralForm& f)
{
    const double a = gain == 1.0 ? 1.0 : portablePow(gain, c.exponent);
    const double o = c.offset * (a - 1.0) / a;
    const double shift = 256.0 * (o + 0.5 / a);
    const double rounded = shift < 0.0 ? -static_cast<double>(static_cast<int32_t>(-shift + 0.5))
                                       : static_cast<double>(static_cast<int32_t>(shift + 0.5));
    f.up[lane] = word(rounded);
    f.down[lane] = word(-rounded);
    f.gain[lane] = word(a * 16384.0 + 0.5);
    // Entries from the toe's end on are never read.
    for (int32_t v = 0; v < neutralLongestToe; ++v) f.toe[lane][v] = 0;
    for (int32_t v = 0; v < c.toeEnd; ++v) f.toe[lane][v] = exactValue(v, gain, transfer);
}

void topLane(TopByte topByte, NeutralForm& f)
{
    const bool carried = topByte == TopByte::carried;
    f.up[3] = carried ? 128 : 0;
    f.down[3] = 0;
    f.gain[3] = carried ? 16384 : 0;
    for (int32_t v = 0; v < neutralLongestToe; ++v)
        f.toe[3][v] = carried ? static_cast<uint8_t>(v) : 0;
}

// Rows without gaps (or stored bottom-up with a gap of minus two rows) form
// one run, on both sides; a kernel takes at most 2^28 pixels at once.
template <typename Row>
void runRows(Row row, const FrameView& source, uint32_t* destination, intptr_t destinationRowGap)
{
    const int32_t width = source.width, height = source.height;
    if (width <= 0 || height <= 0) return;
    const uint8_t* from = reinterpret_cast<const uint8_t*>(source.pixels);
    uint8_t* to = reinterpret_cast<uint8_t*>(destination);
    const intptr_t rowBytes = intptr_t{width} * 4;
    const intptr_t gap = source.rowGap;
    if (gap == destinationRowGap && (gap == 0 || gap == -2 * rowBytes)) {
        if (gap != 0) {
            from -= (height - 1) * rowBytes;
            to -= (height - 1) * rowBytes;
        }
        constexpr int64_t longestRun = int64_t{1} << 28;
        for (int64_t left = int64_t{width} * height; left > 0;) {
            const int32_t count = static_cast<int32_t>(left < longestRun ? left : longestRun);
            row(from, to, count);
            left -= count;
            if (left > 0) {
                from += intptr_t{count} * 4;
                to += intptr_t{count} * 4;
            }
        }
        return;
    }
    for (int32_t y = 0;;) {
        row(from, to, width);
        if (++y == height) break;
        from += rowBytes + source.rowGap;
        to += rowBytes + destinationRowGap;
    }
}

}  // namespace

NeutralTables neutralTables(const NeutralGains& gains, Transfer transfer, TopByte topByte)
{
    NeutralTables t;
    const double laneGain[3] = {gains.blue, gains.green, gains.red};
    PowerCurve c;
    t.hasForm = powerCurve(transfer, c);
    if (t.hasForm) {
        t.form.toeEnd = c.toeEnd;
        for (int32_t lane = 0; lane < 3; ++lane)
            formLane(lane, laneGain[lane], c, transfer, t.form);
        topLane(topByte, t.form);
        for (int32_t lane = 0; lane < 4; ++lane)
            for (int32_t v = 0; v < 256; ++v)
                t.lanes.lane[lane][v] = neutralFormValue(static_cast<uint32_t>(v), lane, t.form);
        return t;
    }
    for (int32_t lane = 0; lane < 3; ++lane)
        for (int32_t v = 0; v < 256; ++v)
            t.lanes.lane[lane][v] = exactValue(v, laneGain[lane], transfer);
    for (int32_t v = 0; v < 256; ++v)
        t.lanes.lane[3][v] = topByte == TopByte::carried ? static_cast<uint8_t>(v) : 0;
    return t;
}

const char* neutralKernelName(NeutralKernelId id)
{
    switch (id) {
    case NeutralKernelId::table: return "table";
    case NeutralKernelId::sse2: return "sse2";
    case NeutralKernelId::avx2: return "avx2";
    case NeutralKernelId::avx512: return "avx512";
    }
    return "?";
}

namespace {

// The kernel, given that this machine runs it; false where this build or
// these tables have none.
bool runKernel(NeutralKernelId id, const NeutralTables& t, const FrameView& source,
               uint32_t* destination, intptr_t destinationRowGap)
{
    if (id == NeutralKernelId::table) {
        runRows([&](const uint8_t* from, uint8_t* to,
                    int32_t count) { neutralRowTable(from, to, count, t.lanes); },
                source, destination, destinationRowGap);
        return true;
    }
    if (!t.hasForm) return false;
#if defined(VELTO_HAS_NEUTRAL_SSE2)
    if (id == NeutralKernelId::sse2) {
        runRows([&](const uint8_t* from, uint8_t* to,
                    int32_t count) { neutralRowSse2(from, to, count, t.form, t.lanes); },
                source, destination, destinationRowGap);
        return true;
    }
#endif
#if defined(VELTO_HAS_NEUTRAL_AVX2)
    if (id == NeutralKernelId::avx2) {
        runRows([&](const uint8_t* from, uint8_t* to,
                    int32_t count) { neutralRowAvx2(from, to, count, t.form, t.lanes); },
                source, destination, destinationRowGap);
        return true;
    }
#endif
#if defined(VELTO_HAS_NEUTRAL_AVX512)
    if (id == NeutralKernelId::avx512) {
        runRows([&](const uint8_t* from, uint8_t* to,
                    int32_t count) { neutralRowAvx512(from, to, count, t.form, t.lanes); },
                source, destination, destinationRowGap);
        return true;
    }
#endif
    return false;
}

}  // namespace

bool correctNeutralPixelsWith(NeutralKernelId id, const NeutralTables& t, const FrameView& source,
                              uint32_t* destination, intptr_t destinationRowGap)
{
    if (id == NeutralKernelId::avx2 && !cpuRunsAvx2()) return false;
    if (id == NeutralKernelId::avx512 && !cpuRunsAvx512Vbmi()) return false;
    return runKernel(id, t, source, destination, destinationRowGap);
}

void correctNeutralPixels(const NeutralTables& t, const FrameView& source, uint32_t* destination,
                          intptr_t destinationRowGap)
{
    // Asked once per process: the answer cannot change while it runs.
    static const bool avx512 = cpuRunsAvx512Vbmi(), avx2 = cpuRunsAvx2();
    if (avx512 && runKernel(NeutralKernelId::avx512, t, source, destination, destinationRowGap))
        return;
    if (avx2 && runKernel(NeutralKernelId::avx2, t, source, destination, destinationRowGap)) return;
    if (runKernel(NeutralKernelId::sse2, t, source, destination, destinationRowGap)) return;
    runKernel(NeutralKernelId::table, t, source, destination, destinationRowGap);
}
