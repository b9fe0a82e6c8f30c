#include "engine/portable_math.h"

#include <cmath>

namespace {

// ln 2 in two parts: the first has its low bits zero, so k * lnTwoHigh is
// exact for every exponent k a double has.
constexpr double lnTwoHigh = 6.93147180369123816490e-01;
constexpr double lnTwoLow = 1.90821492927058770002e-10;
constexpr double sqrtHalf = 0.70710678118654752440;

}  // namespace

double portableLog(double x)
{
    if (!(x > 0.0)) return x == 0.0 ? -HUGE_VAL : NAN;
    if (std::isinf(x)) return x;
    // x = m 2^e with m in [sqrt(1/2), sqrt(2)): frexp and the doubling are exact.
    int e = 0;
    double m = std::frexp(x, &e);
    if (m < sqrtHalf) {
        m = m * 2.0;
        e = e - 1;
    }
    // log m = 2 atanh s = 2 (s + s^3/3 + s^5/5 + ...), s = (m - 1) / (m + 1),
    // |s| <= 0.172: twelve terms leave under 1e-19.
    const double s = (m - 1.0) / (m + 1.0);
    const double s2 = s * s;
    double sum = 1.0 / 23.0;
    for (int n = 21; n >= 1; n -= 2) sum = 1.0 / n + s2 * sum;
    const double logM = 2.0 * s * sum;
    const double k = static_cast<double>(e);
    return k * lnTwoHigh + (logM + k * lnTwoLow);
}

double portableExp(double x)
{
    if (x != x) return x;
    if (x > 709.782712893384) return HUGE_VAL;
    if (x < -745.2) return 0.0;
    // x = k ln 2 + r with |r| <= ln 2 / 2; e^x = 2^k e^r.
    const double k = std::floor(x / (lnTwoHigh + lnTwoLow) + 0.5);
    const double r = (x - k * lnTwoHigh) - k * lnTwoLow;
    // e^r by its series to r^17 / 17!, under 1e-24 for |r| <= 0.347.
    double sum = 1.0;
    for (int n = 17; n >= 1; --n) sum = 1.0 + sum * r / n;
    return std::ldexp(sum, static_cast<int>(k));
}

double portablePow(double x, double y)
{
    if (x == 0.0) return y > 0.0 ? 0.0 : y == 0.0 ? 1.0 : HUGE_VAL;
    return portableExp(y * portableLog(x));
}
