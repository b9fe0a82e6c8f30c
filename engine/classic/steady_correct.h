// The steady correction: each channel stretched continuously between its
// steady black and white points. The per-frame pass turns its levels into a
// gain and a black byte (correct.h), so a level that drifts slowly moves the
// picture in steps of about 1.5 % of a channel at once; here every channel
// is stretched in a fixed-point form with 8 fractional bits of black point
// and 15 of gain, rounded once per value, so a slow drift moves single
// output values by one, spread over many frames.
#pragma once

#include <cstdint>

#include "engine/classic/block_levels.h"
#include "engine/classic/correct.h"
#include "engine/classic/steady_kernels.h"

// (v - black) * 255 / (white - black), rounded half up and held to 0..255;
// 0 when that is not a number (white equal to black at v = black): the
// stretch in doubles, for levels that have no fixed-point form.
uint8_t steadyEntry(int32_t v, double black, double white);

// The fixed-point form of the levels' stretch (steady_kernels.h), or false
// where it has none: a span above 255 or under about 128 levels (a gain below
// 1 or from 2 up), a black point below 0 or from 256 up, or not a number.
// Levels 1 to 40 keep every span above 136. Each byte it gives is the
// stretch in doubles rounded, or one off where the exact stretch lies within
// 0.01 of a rounding edge: the black point is off by at most 1/512, the
// gain by 2^-17, and the multiply truncates by less than 1/256.
bool steadyFixed(const CorrectionLevels& levels, TopByte topByte, SteadyFixed& fixed);

// The tables of the three channels, from the fixed-point form where the
// levels have one and from steadyEntry otherwise; the top lane copies the
// byte or clears it.
SteadyTables steadyTables(const CorrectionLevels& levels, TopByte topByte);

// The kernels. Each gives the table kernel's bytes; the fixed
// ones only where the levels have a fixed-point form.
enum class SteadyKernelId { table, fixed, fixedSse2, fixedAvx2 };
constexpr SteadyKernelId steadyKernelIds[] = {SteadyKernelId::table, SteadyKernelId::fixed,
                                              SteadyKernelId::fixedSse2, SteadyKernelId::fixedAvx2};
const char* steadyKernelName(SteadyKernelId id);

// width x height pixels, stored one after the other (rows without gaps), from
// source to destination, which may be the source itself. Where the levels
// have the form, uses the AVX2 fixed kernel where it runs and the SSE2 one
// elsewhere on x86; the table kernel otherwise.
void correctSteadyPixels(const CorrectionLevels& levels, const uint32_t* source,
                         uint32_t* destination, int32_t width, int32_t height, TopByte topByte);

// The same with the given kernel; false, and nothing written, when this
// machine cannot run it or, for a fixed kernel, these levels have no form.
bool correctSteadyPixelsWith(SteadyKernelId id, const CorrectionLevels& levels,
                             const uint32_t* source, uint32_t* destination, int32_t width,
                             int32_t height, TopByte topByte);
