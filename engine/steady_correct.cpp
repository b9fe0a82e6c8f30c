#include "engine/steady_correct.h"

#include "engine/cpu_features.h"

namespace {

constexpr int64_t one = int64_t{1} << linearShift;
constexpr int64_t largestGain = int64_t{1} << 23;  // 255 * gain stays within int32
constexpr int64_t none = int64_t{1} << 60;         // no bound on that side

// The offsets o for which v * gain + o gives every entry: entry << shift <=
// v * gain + o, where the entry is above 0, and v * gain + o < (entry + 1)
// << shift, where it is below 255. Clamped entries bound one side only.
struct OffsetRange {
    int64_t low, high;
};

OffsetRange offsetRange(const uint8_t table[256], int64_t gain)
{
    OffsetRange r{-none, none};
    for (int64_t v = 0; v < 256; ++v) {
        const int64_t e = table[v];
        if (e > 0 && e * one - v * gain > r.low) r.low = e * one - v * gain;
        if (e < 255 && (e + 1) * one - 1 - v * gain < r.high) r.high = (e + 1) * one - 1 - v * gain;
    }
    return r;
}

// high - low is concave in the gain (a minimum of lines less a maximum of
// lines), so the gain that leaves the widest range of offsets is found by
// ternary search; the table has a linear form exactly when that range is not
// empty there.
bool fitLane(const uint8_t table[256], int32_t& gain, int32_t& offset)
{
    auto slack = [&](int64_t g) {
        const OffsetRange r = offsetRange(table, g);
        return r.high - r.low;
    };
    int64_t lo = 0, hi = largestGain;
    while (hi - lo > 2) {
        const int64_t m1 = lo + (hi - lo) / 3, m2 = hi - (hi - lo) / 3;
        if (slack(m1) < slack(m2))
            lo = m1 + 1;
        else
            hi = m2;
    }
    int64_t best = lo;
    for (int64_t g = lo + 1; g <= hi; ++g)
        if (slack(g) > slack(best)) best = g;
    const OffsetRange r = offsetRange(table, best);
    // Every sum v * gain + offset within int32, for the 32-bit lanes.
    const int64_t low = r.low > INT32_MIN ? r.low : INT32_MIN;
    const int64_t high = r.high < INT32_MAX - 255 * best ? r.high : INT32_MAX - 255 * best;
    if (low > high) return false;
    gain = static_cast<int32_t>(best);
    offset = static_cast<int32_t>(low);
    return true;
}

// Rows without gaps form one run; a kernel takes at most 2^28 pixels at once.
template <typename Kernel, typename Data>
void runRows(Kernel kernel, const Data& data, const uint32_t* source, uint32_t* destination,
             int32_t width, int32_t height)
{
    if (width <= 0 || height <= 0) return;
    const uint8_t* from = reinterpret_cast<const uint8_t*>(source);
    uint8_t* to = reinterpret_cast<uint8_t*>(destination);
    constexpr int64_t longestRun = int64_t{1} << 28;
    for (int64_t left = int64_t{width} * height; left > 0;) {
        const int32_t count = static_cast<int32_t>(left < longestRun ? left : longestRun);
        kernel(from, to, count, data);
        left -= count;
        if (left > 0) {
            from += intptr_t{count} * 4;
            to += intptr_t{count} * 4;
        }
    }
}

}  // namespace

uint8_t steadyEntry(int32_t v, double black, double white)
{
    const double span = white - black;
    const double x = ((v - black) * 255.0) / span;
    if (!(x > 0.0)) return 0;
    if (x >= 254.5) return 255;
    return static_cast<uint8_t>(static_cast<int32_t>(x + 0.5));
}

SteadyTables steadyTables(const CorrectionLevels& levels, TopByte topByte)
{
    SteadyTables t;
    for (int32_t v = 0; v < 256; ++v) {
        t.lane[0][v] = steadyEntry(v, levels.blackB, levels.whiteB);
        t.lane[1][v] = steadyEntry(v, levels.blackG, levels.whiteG);
        t.lane[2][v] = steadyEntry(v, levels.blackR, levels.whiteR);
        t.lane[3][v] = topByte == TopByte::carried ? static_cast<uint8_t>(v) : 0;
    }
    return t;
}

bool fitLinear(const SteadyTables& tables, LinearFit& fit)
{
    for (int32_t lane = 0; lane < 4; ++lane)
        if (!fitLane(tables.lane[lane], fit.gain[lane], fit.offset[lane])) return false;
    return true;
}

const char* steadyKernelName(SteadyKernelId id)
{
    switch (id) {
    case SteadyKernelId::table: return "table";
    case SteadyKernelId::linear: return "linear";
    case SteadyKernelId::linearAvx2: return "linear_avx2";
    }
    return "?";
}

bool correctSteadyPixelsWith(SteadyKernelId id, const CorrectionLevels& levels,
                             const uint32_t* source, uint32_t* destination, int32_t width,
                             int32_t height, TopByte topByte)
{
    const SteadyTables tables = steadyTables(levels, topByte);
    if (id == SteadyKernelId::table) {
        runRows(steadyRowTable, tables, source, destination, width, height);
        return true;
    }
    LinearFit fit;
    if (!fitLinear(tables, fit)) return false;
    if (id == SteadyKernelId::linear) {
        runRows(steadyRowLinear, fit, source, destination, width, height);
        return true;
    }
#if defined(VELTO_HAS_STEADY_AVX2)
    if (id == SteadyKernelId::linearAvx2 && cpuRunsAvx2()) {
        runRows(steadyRowLinearAvx2, fit, source, destination, width, height);
        return true;
    }
#endif
    return false;
}

void correctSteadyPixels(const CorrectionLevels& levels, const uint32_t* source,
                         uint32_t* destination, int32_t width, int32_t height, TopByte topByte)
{
    // Asked once per process: the answer cannot change while it runs.
    static const bool avx2 = cpuRunsAvx2();
    const SteadyTables tables = steadyTables(levels, topByte);
#if defined(VELTO_HAS_STEADY_AVX2)
    LinearFit fit;
    if (avx2 && fitLinear(tables, fit)) {
        runRows(steadyRowLinearAvx2, fit, source, destination, width, height);
        return;
    }
#endif
    (void)avx2;
    runRows(steadyRowTable, tables, source, destination, width, height);
}
