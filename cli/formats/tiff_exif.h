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

// Adds the EXIF block's EXIF directory, and its first directory's
// descriptive tags (make, model, software, date, artist, copyright,
// description) that the file's first directory lacks, to a classic TIFF
// file that libtiff wrote: they go after its end with a copy of its first
// directory that points to them. Returns whether all of the block went in:
// false when something (a GPS directory, the interoperability one, other
// tags of the first directory, a block that does not parse) stayed out.
bool addExifToTiff(std::vector<uint8_t>& file, const std::vector<uint8_t>& exif);
