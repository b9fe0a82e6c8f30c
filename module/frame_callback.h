// The host's frame callback: the engine's frame pass on the context's frames.
#pragma once

#include <cstdint>

#include "engine/frame_view.h"
#include "host/records.h"

// The host's bitmap record as the engine's view; reads pixels, width, height, rowGap.
inline FrameView frameViewOf(const BitmapView& bitmap)
{
    return {bitmap.pixels, bitmap.width, bitmap.height, bitmap.rowGap};
}

// Reads the instance's three levels once, at the start; always returns 0.
int32_t VELTO_CDECL frameCallback(FrameContext* context);
