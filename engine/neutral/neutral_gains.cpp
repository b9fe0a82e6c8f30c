#include "engine/neutral/neutral_gains.h"

#include "engine/portable_math.h"

namespace {

constexpr double lumaRed = 0.2126, lumaGreen = 0.7152, lumaBlue = 0.0722;

double luminance(double r, double g, double b)
{
    return lumaRed * r + lumaGreen * g + lumaBlue * b;
}

double held(double v, double low = 0.0, double high = 1.0)
{
    if (!(v > low)) return low;
    return v < high ? v : high;
}

double heldGain(double g)
{
    return held(g, neutralLeastGain, neutralGreatestGain);
}

}  // namespace

NeutralShift neutralShift(const LightEstimate& estimate, double strength)
{
    if (!estimate.found) return {};
    const double share = held(estimate.confidence) * held(strength);
    return {portableLog(estimate.light[0] / estimate.light[1]) * share,
            portableLog(estimate.light[2] / estimate.light[1]) * share};
}

NeutralGains neutralGains(const NeutralShift& shift)
{
    const double lightRed = portableExp(shift.red), lightBlue = portableExp(shift.blue);
    const double keep = luminance(lightRed, 1.0, lightBlue) / luminance(1.0, 1.0, 1.0);
    return {heldGain(keep / lightRed), heldGain(keep), heldGain(keep / lightBlue)};
}
