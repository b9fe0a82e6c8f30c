// The colours that lights have: black bodies from 2000 to 12000 K, the
// curve that candles, lamps, sunlight and shade lie on or near, as
// log-chromaticities of linear BT.709 RGB with daylight (D65) at 0.
#pragma once

// The distance of the light (ln(R/G), ln(B/G)) from the nearest point of
// the curve.
double distanceFromLights(double logRedGreen, double logBlueGreen);
