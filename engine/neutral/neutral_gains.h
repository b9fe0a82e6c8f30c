// From the estimated light to the gains that take its cast off. The cast is
// carried as a shift in log-chromaticity, ln(R/G) and ln(B/G) of the light:
// equal steps there look equal, so strength and confidence scale it, and the
// steady correction smooths it, in that space.
#pragma once

#include "engine/neutral/light_estimate.h"

struct NeutralShift {
    double red = 0.0;   // ln(R/G) of the cast to take off
    double blue = 0.0;  // ln(B/G)
};

// The light's log-chromaticity times its confidence and strength (0..1,
// held to that range; NaN gives 0).
NeutralShift neutralShift(const LightEstimate& estimate, double strength);

// Gains in linear light, one per channel. The cast's light becomes grey of
// the same luminance (BT.709 weights), so the picture keeps its brightness.
// Each gain is held to neutralLeastGain..neutralGreatestGain: a candle's
// light (2200 K) asks for 0.43 of red and 16 of blue; beyond that the 8-bit
// form (neutral_correct.h) would stray from the transfer's curve. A zero
// shift gives gains of exactly 1.
constexpr double neutralLeastGain = 0.4;
constexpr double neutralGreatestGain = 16.0;
struct NeutralGains {
    double red = 1.0, green = 1.0, blue = 1.0;
};
NeutralGains neutralGains(const NeutralShift& shift);
