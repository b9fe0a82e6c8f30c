// The neutral correction of 8-bit pictures: each channel's gain applied in
// linear light, as one table of 256 bytes per channel, made once a frame.
#pragma once

#include <cstdint>

#include "engine/frame_view.h"
#include "engine/neutral/neutral_gains.h"
#include "engine/transfer.h"

// Lanes in pixel order: 0 blue, 1 green, 2 red, 3 the top byte (copied or
// cleared).
struct NeutralTables {
    uint8_t lane[4][256];
};

// encode(gain * decode(v)) for every code value v, rounded; a gain of
// exactly 1 gives v itself.
NeutralTables neutralTables(const NeutralGains& gains, Transfer transfer, TopByte topByte);

// Writes source width x height pixels to the destination, row by row; each
// side advances by its own row gap, and the destination's gaps are left
// alone. The destination may be the source itself, with the same row gap.
void correctNeutralPixels(const NeutralTables& tables, const FrameView& source,
                          uint32_t* destination, intptr_t destinationRowGap);
