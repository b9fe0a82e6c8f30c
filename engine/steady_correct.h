// The steady correction: each channel stretched continuously between its
// steady black and white points. The per-frame pass turns its levels into a
// gain and a black byte (correct.h), so a level that drifts slowly moves the
// picture in steps of about 1.5 % of a channel at once; here every channel
// gets a table of 256 output bytes computed from the levels in doubles and
// rounded once per entry, so a slow drift moves single output values by one,
// spread over many frames.
#pragma once

#include <cstdint>

#include "engine/block_levels.h"
#include "engine/correct.h"
#include "engine/steady_kernels.h"

// (v - black) * 255 / (white - black), rounded half up and held to 0..255;
// 0 when that is not a number (white equal to black at v = black).
uint8_t steadyEntry(int32_t v, double black, double white);

// The tables of the three channels; the top lane copies the byte or clears it.
SteadyTables steadyTables(const CorrectionLevels& levels, TopByte topByte);

// A gain and an offset per lane whose linear form gives every entry of the
// tables exactly, or false when there is none with linearShift fractional
// bits (a falling table, or a span under 128 levels, where the sums can
// pass int32). Levels 1 to 40 keep every span above 136.
// levels are the tables' own: their gains are the first guess.
bool fitLinear(const SteadyTables& tables, const CorrectionLevels& levels, LinearFit& fit);

// The kernels, slowest first. Each gives the table kernel's bytes; the linear
// ones only where fitLinear succeeds.
enum class SteadyKernelId { table, linear, linearAvx2 };
constexpr SteadyKernelId steadyKernelIds[] = {SteadyKernelId::table, SteadyKernelId::linear,
                                              SteadyKernelId::linearAvx2};
const char* steadyKernelName(SteadyKernelId id);

// width x height pixels, stored one after the other (rows without gaps), from
// source to destination, which may be the source itself. Uses the AVX2 linear
// kernel where it runs and the fit is exact, the table kernel otherwise.
void correctSteadyPixels(const CorrectionLevels& levels, const uint32_t* source,
                         uint32_t* destination, int32_t width, int32_t height, TopByte topByte);

// The same with the given kernel; false, and nothing written, when this
// machine cannot run it or, for a linear kernel, these levels have no fit.
bool correctSteadyPixelsWith(SteadyKernelId id, const CorrectionLevels& levels,
                             const uint32_t* source, uint32_t* destination, int32_t width,
                             int32_t height, TopByte topByte);
