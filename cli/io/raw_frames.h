// A stream of raw frames: width x height pixels of 4 bytes each, back to back,
// until the end of the input.
#pragma once

#include <cstdint>

#include "cli/io/frame_queue.h"
#include "cli/io/input.h"

// The read step of runFrames. A stream that ends inside a frame stops the run
// with a message naming that frame; the frames before it still go out. A
// stream without a single byte is an error too: it holds no frame.
struct RawReader {
    InputStream* in;
    int32_t width, height;
    int64_t frames = 0;       // whole frames read so far
    bool shortFrame = false;  // the stream ended inside a frame

    ReadStep operator()(FrameJob& job, Status& status);
};
