// A TIFF file's EXIF and GPS directories as the EXIF block other formats
// keep: a TIFF stream of its own whose first directory holds the orientation
// and points to copies of them, each value moved beside it. A camera's or a
// raw converter's TIFF thus keeps its exposure, date and place in a JPEG,
// PNG, WebP or HEIC output.
#pragma once

#include <cstdint>
#include <vector>

// The block for the EXIF and GPS directories at exifAt and gpsAt in file (a
// classic TIFF, either byte order; 0 for none), with orientation (0 for
// none) in its first directory; empty when neither directory lies in the
// file. Entries whose values lie outside it, and the pointer to the
// interoperability directory, are left out.
std::vector<uint8_t> exifFromTiff(const std::vector<uint8_t>& file, uint64_t exifAt, uint64_t gpsAt,
                                  int32_t orientation);

// Adds the EXIF block's EXIF and GPS directories, and its first directory's
// descriptive tags (make, model, software, date, artist, copyright,
// description) that the file's first directory lacks, to a classic TIFF
// file that libtiff wrote: they go after its end with a copy of its first
// directory that points to them. Returns whether all of the block went in:
// false when something (the interoperability directory, other tags of the
// first directory, a block that does not parse) stayed out.
bool addExifToTiff(std::vector<uint8_t>& file, const std::vector<uint8_t>& exif);
