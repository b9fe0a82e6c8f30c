// The neutral correction's tuning, in one place, each with where it comes
// from. Chosen on the quality benchmark's photographs (tools/bench-quality.sh)
// and on generated scenes; the figures quoted are from there.
#pragma once

#include <cstdint>

// About this many blocks a frame, whatever its size: a 1080p frame's blocks
// are 24 x 21 pixels. Fewer blocks lose small white highlights (2048: a
// quarter more harm on uncast photographs), more cost time for little.
constexpr int32_t neutralBlockTarget = 4096;
// Blocks are whole runs of 8 pixels wide, so that a vector of eight pixels
// is one block's part of a row; and at least 2 rows high.
constexpr int32_t neutralBlockStep = 8;
constexpr int32_t neutralMinimumBlockHeight = 4;
// Every fourth row of a block is read: on the benchmark every other row
// measured no better, and reading them costs a quarter of a memcpy at 1080p.
constexpr int32_t neutralRowStep = 4;
// The most blocks a grid can have: the area per block is at least half the
// target's share once blocks are rounded to their steps.
constexpr int32_t neutralMaximumBlocks = 2 * neutralBlockTarget;

// A block whose brightest value in some channel is at most this code value
// is too dark to tell a colour: noise and the transfer's toe rule it.
constexpr int32_t neutralDarkCode = 8;

// Blocks within this angle of the grey edge's light may be white or grey;
// 10 degrees already shuts out some whites under the grey edge's own error,
// 20 lets coloured highlights in.
constexpr double neutralGateDegrees = 15.0;

// Confidence: full while the white patch and the grey edge agree within
// neutralAgreeDegrees, none from neutralDisagreeDegrees. On the benchmark's
// photographs the two agree within 5 degrees where the white patch is right;
// a sunset's sun and sky part them by 15.
constexpr double neutralAgreeDegrees = 7.0;
constexpr double neutralDisagreeDegrees = 14.0;
// ... none where the blocks' chromaticities (relative to the light, weighted
// by brightness) spread by under neutralFlatSpread, full from
// neutralVariedSpread: a plain wall with noise spreads by 0.003, the least
// varied photograph of the benchmark (an aerial view) by 0.043.
constexpr double neutralFlatSpread = 0.01;
constexpr double neutralVariedSpread = 0.025;
// ... and none where the light lies further than neutralFarFromLights from
// the colours of black bodies from 2000 to 12000 K (in log-chromaticity,
// ln(R/G) and ln(B/G) of linear BT.709 RGB, daylight D65 at 0), full within
// neutralNearLights. The benchmark's green tint lies 0.58 off, its
// underwater blue-green 0.94; the leaves of the tests' generated forest 1.38.
constexpr double neutralNearLights = 1.0;
constexpr double neutralFarFromLights = 1.4;
