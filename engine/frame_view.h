// What either correction is given for one frame: the pixels to read. Nothing
// here belongs to a host; a host's own bitmap record, a decoded picture or a
// frame off a pipe is described by the same view.
#pragma once

#include <cstdint>

// width x height pixel words, blue in bits 0-7, green in 8-15, red in 16-23;
// bits 24-31 are never read. Rows follow one another in memory order, each
// followed by rowGap bytes; a negative gap walks a picture's rows backwards.
struct FrameView {
    const uint32_t* pixels;
    int32_t width;
    int32_t height;
    intptr_t rowGap;
};

// What a correction writes to bits 24-31. The VirtualDub host leaves them
// unused and gets 0. Hosts that composite with them as alpha get the source's
// byte, carried through the same pass.
enum class TopByte { cleared, carried };
