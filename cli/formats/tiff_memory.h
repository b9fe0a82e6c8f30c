// A TIFF file in memory for libtiff: its client procedures over a buffer
// being read or written, and its messages caught per file, so that no global
// handler of libtiff's is touched.
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <vector>

// The bytes of a file being read or written, and the first error libtiff told.
struct TiffMemory {
    const uint8_t* data = nullptr;        // reading
    std::vector<uint8_t>* out = nullptr;  // writing
    uint64_t size = 0;
    uint64_t at = 0;
    bool full = false;  // out of memory while writing
    char error[200] = {};
};

// Opens memory for libtiff in mode ("rm" to read, "wm" to write); nullptr
// when it cannot, with memory.error saying why.
TIFF* openTiff(TiffMemory& memory, const char* mode);
