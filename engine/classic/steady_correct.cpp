#include "engine/classic/steady_correct.h"

#include "engine/cpu_features.h"

namespace {

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

// One channel's form: the gain in 1/32768 and the black point in 1/256
// levels, each rounded, and the half that rounds the result, 128 / gain
// before the gain, added as lift where the black point is below it and
// taken off the black point otherwise; false where a part leaves its bits
// (a gain from 2 up or under about 0.5).
bool fixedLane(double black, double white, uint8_t& lift, uint16_t& fixedBlack, uint16_t& fixedGain)
{
    const double gain = 255.0 / (white - black);
    const double g = gain * 32768.0 + 0.5;
    const double b = black * 256.0 + 0.5;
    if (!(g >= 16448.0 && g < 65536.0 && b >= 0.0 && b < 65536.0)) return false;
    fixedGain = static_cast<uint16_t>(g);
    const int32_t half = static_cast<int32_t>(128.0 / gain + 0.5);  // up to 255
    const int32_t below = static_cast<int32_t>(b) - half;
    lift = static_cast<uint8_t>(below < 0 ? -below : 0);
    fixedBlack = static_cast<uint16_t>(below > 0 ? below : 0);
    return true;
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

bool steadyFixed(const CorrectionLevels& levels, TopByte topByte, SteadyFixed& fixed)
{
    fixed.lift[3] = 128;
    fixed.black[3] = topByte == TopByte::carried ? 0 : 65535;
    fixed.gain[3] = 32768;
    return fixedLane(levels.blackB, levels.whiteB, fixed.lift[0], fixed.black[0], fixed.gain[0]) &&
           fixedLane(levels.blackG, levels.whiteG, fixed.lift[1], fixed.black[1], fixed.gain[1]) &&
           fixedLane(levels.blackR, levels.whiteR, fixed.lift[2], fixed.black[2], fixed.gain[2]);
}

SteadyTables steadyTables(const CorrectionLevels& levels, TopByte topByte)
{
    SteadyTables t;
    SteadyFixed fixed;
    if (steadyFixed(levels, topByte, fixed)) {
        for (int32_t lane = 0; lane < 4; ++lane)
            for (uint32_t v = 0; v < 256; ++v)
                t.lane[lane][v] =
                    steadyFixedValue(v, fixed.lift[lane], fixed.black[lane], fixed.gain[lane]);
        return t;
    }
    for (int32_t v = 0; v < 256; ++v) {
        t.lane[0][v] = steadyEntry(v, levels.blackB, levels.whiteB);
        t.lane[1][v] = steadyEntry(v, levels.blackG, levels.whiteG);
        t.lane[2][v] = steadyEntry(v, levels.blackR, levels.whiteR);
        t.lane[3][v] = topByte == TopByte::carried ? static_cast<uint8_t>(v) : 0;
    }
    return t;
}

const char* steadyKernelName(SteadyKernelId id)
{
    switch (id) {
    case SteadyKernelId::table: return "table";
    case SteadyKernelId::fixed: return "fixed";
    case SteadyKernelId::fixedSse2: return "fixed_sse2";
    case SteadyKernelId::fixedAvx2: return "fixed_avx2";
    }
    return "?";
}

bool correctSteadyPixelsWith(SteadyKernelId id, const CorrectionLevels& levels,
                             const uint32_t* source, uint32_t* destination, int32_t width,
                             int32_t height, TopByte topByte)
{
    if (id == SteadyKernelId::table) {
        runRows(steadyRowTable, steadyTables(levels, topByte), source, destination, width, height);
        return true;
    }
    SteadyFixed fixed;
    if (!steadyFixed(levels, topByte, fixed)) return false;
    if (id == SteadyKernelId::fixed) {
        runRows(steadyRowFixed, fixed, source, destination, width, height);
        return true;
    }
#if defined(VELTO_HAS_STEADY_SSE2)
    if (id == SteadyKernelId::fixedSse2) {
        runRows(steadyRowFixedSse2, fixed, source, destination, width, height);
        return true;
    }
#endif
#if defined(VELTO_HAS_STEADY_AVX2)
    if (id == SteadyKernelId::fixedAvx2 && cpuRunsAvx2()) {
        runRows(steadyRowFixedAvx2, fixed, source, destination, width, height);
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
    SteadyFixed fixed;
    if (steadyFixed(levels, topByte, fixed)) {
#if defined(VELTO_HAS_STEADY_AVX2)
        if (avx2) {
            runRows(steadyRowFixedAvx2, fixed, source, destination, width, height);
            return;
        }
#endif
#if defined(VELTO_HAS_STEADY_SSE2)
        runRows(steadyRowFixedSse2, fixed, source, destination, width, height);
        return;
#endif
    }
    (void)avx2;
    runRows(steadyRowTable, steadyTables(levels, topByte), source, destination, width, height);
}
