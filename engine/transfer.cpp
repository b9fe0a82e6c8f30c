#include "engine/transfer.h"

#include "engine/portable_math.h"

namespace {

double held(double v)
{
    if (!(v > 0.0)) return 0.0;
    return v < 1.0 ? v : 1.0;
}

// sRGB: a straight toe, then a power of 2.4 on an offset.
double srgbDecode(double v)
{
    return v <= 0.04045 ? v / 12.92 : portablePow((v + 0.055) / 1.055, 2.4);
}
double srgbEncode(double l)
{
    return l <= 0.0031308 ? l * 12.92 : 1.055 * portablePow(l, 1.0 / 2.4) - 0.055;
}

// BT.709: a straight toe of slope 4.5, then a power of 0.45 on an offset.
double bt709Decode(double v)
{
    return v < 0.081 ? v / 4.5 : portablePow((v + 0.099) / 1.099, 1.0 / 0.45);
}
double bt709Encode(double l)
{
    return l < 0.018 ? l * 4.5 : 1.099 * portablePow(l, 0.45) - 0.099;
}

// PQ, SMPTE ST 2084.
constexpr double pqM1 = 2610.0 / 16384.0;
constexpr double pqM2 = 2523.0 / 4096.0 * 128.0;
constexpr double pqC1 = 3424.0 / 4096.0;
constexpr double pqC2 = 2413.0 / 4096.0 * 32.0;
constexpr double pqC3 = 2392.0 / 4096.0 * 32.0;
double pqDecode(double v)
{
    const double p = portablePow(v, 1.0 / pqM2);
    const double num = p - pqC1 > 0.0 ? p - pqC1 : 0.0;
    return portablePow(num / (pqC2 - pqC3 * p), 1.0 / pqM1);
}
double pqEncode(double l)
{
    const double p = portablePow(l, pqM1);
    return portablePow((pqC1 + pqC2 * p) / (1.0 + pqC3 * p), pqM2);
}

// HLG, ARIB STD-B67: a square root below a twelfth of the light, a
// logarithm above.
constexpr double hlgA = 0.17883277;
constexpr double hlgB = 0.28466892;  // 1 - 4a
constexpr double hlgC = 0.55991073;  // 0.5 - a ln(4a)
double hlgDecode(double v)
{
    return v <= 0.5 ? v * v / 3.0 : (portableExp((v - hlgC) / hlgA) + hlgB) / 12.0;
}
double hlgEncode(double l)
{
    if (l <= 1.0 / 12.0) {
        const double x = 3.0 * l;
        return x > 0.0 ? portablePow(x, 0.5) : 0.0;
    }
    return hlgA * portableLog(12.0 * l - hlgB) + hlgC;
}

}  // namespace

double decodeTransfer(Transfer transfer, double code)
{
    const double v = held(code);
    switch (transfer) {
    case Transfer::srgb: return srgbDecode(v);
    case Transfer::bt709: return bt709Decode(v);
    case Transfer::pq: return pqDecode(v);
    case Transfer::hlg: return hlgDecode(v);
    case Transfer::linear: return v;
    }
    return v;
}

double encodeTransfer(Transfer transfer, double light)
{
    const double l = held(light);
    switch (transfer) {
    case Transfer::srgb: return held(srgbEncode(l));
    case Transfer::bt709: return held(bt709Encode(l));
    case Transfer::pq: return held(pqEncode(l));
    case Transfer::hlg: return held(hlgEncode(l));
    case Transfer::linear: return l;
    }
    return l;
}

namespace {

constexpr int32_t transferCount = static_cast<int32_t>(Transfer::linear) + 1;

struct DecodeTables {
    DecodeTable of[transferCount];
};

DecodeTables makeDecodeTables()
{
    DecodeTables t;
    for (int32_t k = 0; k < transferCount; ++k)
        for (int32_t v = 0; v < 256; ++v)
            t.of[k].light[v] = decodeTransfer(static_cast<Transfer>(k), v / 255.0);
    return t;
}

}  // namespace

const DecodeTable& decodeTable(Transfer transfer)
{
    static const DecodeTables tables = makeDecodeTables();
    const int32_t k = static_cast<int32_t>(transfer);
    return tables.of[k >= 0 && k < transferCount ? k : 0];
}

const char* transferName(Transfer transfer)
{
    switch (transfer) {
    case Transfer::srgb: return "srgb";
    case Transfer::bt709: return "bt709";
    case Transfer::pq: return "pq";
    case Transfer::hlg: return "hlg";
    case Transfer::linear: return "linear";
    }
    return "?";
}
