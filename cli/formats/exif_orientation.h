// The orientation tag of an EXIF block (its TIFF stream): which way up the
// stored rows are to be shown, 1 (as stored) to 8. TIFF keeps it as a tag of
// its own and HEIF as transforms of the picture, so it crosses between
// formats on its own.
#pragma once

#include <cstdint>
#include <vector>

// The orientation in the first directory, or 0 when the block holds none
// (or none of 1 to 8).
int32_t exifOrientation(const std::vector<uint8_t>& exif);

// Sets the orientation (1 to 8): in place when the block has the tag, or as
// a block of that one tag when there is no block. False when a block without
// the tag would have to be rewritten.
bool setExifOrientation(std::vector<uint8_t>& exif, int32_t orientation);

// Whether the block holds anything beside the orientation: more than that
// one tag in its first directory, or a directory after it.
bool exifBeyondOrientation(const std::vector<uint8_t>& exif);
