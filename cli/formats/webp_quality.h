// A lossy WebP's quality as its frame header shows it. libwebp turns the
// quality into a quantiser index a segment; the estimate inverts that
// mapping for the segments' mean index.
#pragma once

#include <cstdint>
#include <vector>

// The quality, 1 to 100, of the file's "VP8 " bitstream; 0 when there is
// none or its header cannot be read.
int32_t estimateWebpQuality(const std::vector<uint8_t>& file);
