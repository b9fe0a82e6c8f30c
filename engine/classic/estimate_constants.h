// The estimator's tuning numbers, all in one place. Every output byte depends
// on their exact doubles (the digest tests pin them), so the decimals are kept
// digit for digit as written, and each is applied by multiplication, never
// replaced by the division it stands for.
#pragma once

#include <cstdint>

// Per frame (grid.h's frameConstants), from the user's strength of a channel:
//
// limit = (limitEndLevel - level) * limitStep: how hard a channel's shift and
// edges are soft-clipped; a higher level gives a smaller limit and so lets
// more through. At level 51 the limit is 0 and the soft clip lets everything
// through; the offered levels 1..40 give 0.125 down to 0.0275 (20: 0.0775).
constexpr int32_t limitEndLevel = 51;
constexpr double limitStep = 0.0025;
// cut = blockPixels * cutSharePerLevel * level: the share of a block's pixels
// an edge search passes before it stops. The decimal is 0.033 / 23 cut off
// after ten places, so the cut grows by a 23rd of 3.3 % of the block per level:
// level 20 passes 2.87 % of the block from each end of a channel, level 40
// 5.74 %.
constexpr double cutSharePerLevel = 0.0014347826;
// massUnit = blockPixels * massUnitShare: one unit of tail mass, so that
// masses weigh the same in blocks of every size. The decimal is 1 / 79 cut
// off after nine places: a unit is a 79th of the block.
constexpr double massUnitShare = 0.012658227;

// Per block (estimate.cpp):
//
// The three-channel averages multiply by a third written out to a fixed
// number of places, not divide by 3; each form is part of the result.
constexpr double massThird = 0.3333;            // averages the tail masses
constexpr double edgeAndMeanThird = 0.3333333;  // averages the edges and the means

// The edge searches stop short of the middle: each runs over half the bins
// less one, so a channel that never passes its cut keeps the bin next to the
// middle, 127 or 128, as its edge.
constexpr int32_t darkSearchEnd = 126;
constexpr int32_t brightSearchEnd = 129;
constexpr int32_t darkEdgeUnfound = 127;
constexpr int32_t brightEdgeUnfound = 128;

// The tail masses: the darkest and the brightest 80 bins of a channel.
constexpr int32_t darkMassLastBin = 79;
constexpr int32_t brightMassFirstBin = 176;

// Scales the sum of a channel's five indicators to its cast.
constexpr double castScale = 0.2;
