// A PNG's chunks read from its bytes, beside libpng: how much compressed
// pixel data the file holds, and the colour and density chunks as stored.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cli/formats/picture.h"

// The bytes of all IDAT chunks in the file, the compressed pixels.
uint64_t compressedPixelBytes(const uint8_t* data, size_t size);

// The sRGB, gAMA, cHRM and pHYs chunks before the pixels, whose checksums
// hold, into image; and the iCCP profile when image holds none yet (libpng
// drops a profile beside an sRGB chunk).
void keepPngChunks(const uint8_t* data, size_t size, Image& image);
