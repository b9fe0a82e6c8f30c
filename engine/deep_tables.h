// Either correction for samples deeper than 8 bits (10-bit video, 16-bit
// photographs): one table per channel over every sample value, built once a
// frame from the same levels or gains the 8-bit correction uses, and
// applied to interleaved or planar samples. The 8-bit analysis decides what
// to do; the tables do it at the samples' own depth, so a 10-bit gradient
// keeps its 1024 steps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/classic/block_levels.h"
#include "engine/neutral/neutral_gains.h"
#include "engine/transfer.h"

// Samples from 0 to 2^bits - 1, bits from 9 to 16, in uint16_t.
struct DeepTables {
    int32_t bits = 16;
    std::vector<uint16_t> channel[3];  // red, green, blue: 2^bits entries each
};

// The classic stretch of each channel between its levels (0..255 units, as
// the 8-bit analysis measures them), rounded at the samples' depth.
void classicDeepTables(const CorrectionLevels& levels, int32_t bits, DeepTables& tables);

// The neutral gains in linear light through transfer, rounded at the
// samples' depth. Gains of exactly 1 give tables that change nothing.
void neutralDeepTables(const NeutralGains& gains, Transfer transfer, int32_t bits,
                       DeepTables& tables);

// count pixels of channels samples each (3 or 4), the first three red,
// green, blue in that order, or blue, green, red when bgr; the fourth (alpha)
// is left alone. Values above 2^bits - 1 are held there first.
void applyDeepInterleaved(const DeepTables& tables, uint16_t* samples, size_t count,
                          int32_t channels, bool bgr = false);

// One plane of one channel (0 red, 1 green, 2 blue).
void applyDeepPlane(const DeepTables& tables, int32_t channel, uint16_t* plane, size_t count);
