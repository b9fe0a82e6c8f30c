// The neutral correction of 8-bit pictures: each channel's gain applied in
// linear light, as one table of 256 bytes per channel made once a frame.
// Where the transfer is a power on an offset (sRGB, BT.709) the tables come
// from the 16-bit form of neutral_kernels.h, which the fast kernels compute;
// each of their bytes is encode(gain * decode(v)) rounded, or one off it.
// Elsewhere (PQ, HLG, linear) the tables are that formula in doubles.
#pragma once

#include <cstdint>

#include "engine/frame_view.h"
#include "engine/neutral/neutral_gains.h"
#include "engine/neutral/neutral_kernels.h"
#include "engine/transfer.h"

struct NeutralTables {
    bool hasForm = false;
    NeutralForm form{};
    NeutralLanes lanes{};
};

// Gains of exactly 1 give tables that change nothing.
NeutralTables neutralTables(const NeutralGains& gains, Transfer transfer, TopByte topByte);

// The kernels, slowest first; all give the tables' bytes. The SSE2 and AVX2
// kernels only where the tables have a form.
enum class NeutralKernelId { table, sse2, avx2, avx512 };
constexpr NeutralKernelId neutralKernelIds[] = {NeutralKernelId::table, NeutralKernelId::sse2,
                                                NeutralKernelId::avx2, NeutralKernelId::avx512};
const char* neutralKernelName(NeutralKernelId id);

// Writes source width x height pixels to the destination, row by row; each
// side advances by its own row gap, and the destination's gaps are left
// alone. The destination may be the source itself, with the same row gap.
// Uses the fastest kernel this machine runs.
void correctNeutralPixels(const NeutralTables& tables, const FrameView& source,
                          uint32_t* destination, intptr_t destinationRowGap);

// The same with the given kernel; false, with nothing written, where this
// machine or these tables cannot run it.
bool correctNeutralPixelsWith(NeutralKernelId id, const NeutralTables& tables,
                              const FrameView& source, uint32_t* destination,
                              intptr_t destinationRowGap);
