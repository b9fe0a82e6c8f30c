#include "engine/steady_correct.h"

#include "engine/cpu_features.h"

namespace {

constexpr int64_t one = int64_t{1} << linearShift;
// The lanes multiply modulo 2^32, so only the sums need to lie within int32:
// 255 * gain spans less than 2^32.
constexpr int64_t largestGain = (int64_t{1} << 24) - 1;
constexpr int64_t none = int64_t{1} << 60;  // no bound on that side

// The offsets o for which v * gain + o gives every entry: entry << shift <=
// v * gain + o, where the entry is above 0, and v * gain + o < (entry + 1)
// << shift, where it is below 255. Clamped entries bound one side only.
struct OffsetRange {
    int64_t low, high;
    int64_t lowAt, highAt;  // the entries that set them
};

OffsetRange offsetRange(const uint8_t table[256], int64_t gain)
{
    OffsetRange r{-none, none, 0, 0};
    for (int64_t v = 0; v < 256; ++v) {
        const int64_t e = table[v];
        if (e > 0 && e * one - v * gain > r.low) r.low = e * one - v * gain, r.lowAt = v;
        if (e < 255 && (e + 1) * one - 1 - v * gain < r.high)
            r.high = (e + 1) * one - 1 - v * gain, r.highAt = v;
    }
    return r;
}

// An offset for this gain whose sums v * gain + offset all lie within int32,
// for the 32-bit lanes; false when there is none.
bool offsetFor(const uint8_t table[256], int64_t g, int32_t& gain, int32_t& offset)
{
    const OffsetRange r = offsetRange(table, g);
    const int64_t low = r.low > INT32_MIN ? r.low : INT32_MIN;
    const int64_t high = r.high < INT32_MAX - 255 * g ? r.high : INT32_MAX - 255 * g;
    if (low > high) return false;
    gain = static_cast<int32_t>(g);
    // A table of zeros has no low end: its offset is 0.
    offset = static_cast<int32_t>(r.low != -none ? low : (high < 0 ? high : 0));
    return true;
}

// The stretch's own gain, rounded to the fixed point, fits unless an entry
// lies within about 255 / 2^23 of a rounding edge (one lane in about
// seventy); it is tried first, then moved as the range's two ends ask. Only
// then is the gain with the widest range of offsets searched for, near the
// stretch's.
bool fitLane(const uint8_t table[256], double stretchGain, int32_t& gain, int32_t& offset)
{
    const double guess = stretchGain * double(one);
    if (guess >= 0.0 && guess < double(largestGain - 1)) {
        int64_t g = static_cast<int64_t>(guess + 0.5);
        if (offsetFor(table, g, gain, offset)) return true;
        // Where the two entries that set the range are too far apart for
        // this gain, the gain moves just far enough to let their pair fit:
        // up when the higher one sets the low end, else down. A few such
        // steps settle on a fitting gain or turn back and forth.
        for (int32_t step = 0; step < 8; ++step) {
            const OffsetRange r = offsetRange(table, g);
            const int64_t apart = r.lowAt - r.highAt;
            if (r.low <= r.high || apart == 0 || r.low == -none || r.high == none) break;
            const int64_t move = (r.low - r.high + (apart > 0 ? apart : -apart) - 1) /
                                 (apart > 0 ? apart : -apart);
            g += apart > 0 ? move : -move;
            if (g < 0 || g > largestGain) break;
            if (offsetFor(table, g, gain, offset)) return true;
        }
    }
    // high - low is concave in the gain (a minimum of lines less a maximum of
    // lines), so the gain that leaves the widest range of offsets is found by
    // ternary search; the table has a linear form exactly when that range is
    // not empty there.
    auto slack = [&](int64_t g) {
        const OffsetRange r = offsetRange(table, g);
        return r.high - r.low;
    };
    // Feasible gains lie within a few hundred steps of the stretch's.
    constexpr int64_t window = 4096;
    int64_t lo = 0, hi = largestGain;
    if (guess >= 0.0 && guess < double(largestGain)) {
        const int64_t g = static_cast<int64_t>(guess);
        lo = g > window ? g - window : 0;
        hi = g + window < largestGain ? g + window : largestGain;
    }
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
    return offsetFor(table, best, gain, offset);
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

bool fitLinear(const SteadyTables& tables, const CorrectionLevels& levels, LinearFit& fit)
{
    // The stretch's gains, blue, green, red; the top lane copies (1) or clears (0).
    const double gains[4] = {255.0 / (levels.whiteB - levels.blackB),
                             255.0 / (levels.whiteG - levels.blackG),
                             255.0 / (levels.whiteR - levels.blackR),
                             tables.lane[3][255] == 255 ? 1.0 : 0.0};
    for (int32_t lane = 0; lane < 4; ++lane)
        if (!fitLane(tables.lane[lane], gains[lane], fit.gain[lane], fit.offset[lane]))
            return false;
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
    if (!fitLinear(tables, levels, fit)) return false;
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
    if (avx2 && fitLinear(tables, levels, fit)) {
        runRows(steadyRowLinearAvx2, fit, source, destination, width, height);
        return;
    }
#endif
    (void)avx2;
    runRows(steadyRowTable, tables, source, destination, width, height);
}
