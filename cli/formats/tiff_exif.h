// A TIFF file's EXIF directory as the EXIF block other formats keep: a TIFF
// stream of its own whose first directory holds the orientation and points
// to a copy of the EXIF directory, each value moved beside it. A camera's
// or a raw converter's TIFF thus keeps its exposure and date in a JPEG, PNG,
// WebP or HEIC output.
#pragma once

#include <cstdint>
#include <vector>

// The block for the EXIF directory at offset in file (a classic TIFF, either
// byte order), with orientation (0 for none) in its first directory; empty
// when the directory does not lie whole in the file. Entries that point to
// further directories (the interoperability one) are left out.
std::vector<uint8_t> exifFromTiff(const std::vector<uint8_t>& file, uint64_t offset,
                                  int32_t orientation);
