// A JPEG's quality as its quantisation tables show it. Encoders that follow
// the common quality scale (libjpeg's, and most others) scale two base
// tables, one for brightness and one for colour, by the quality; the
// estimate is the quality whose tables lie nearest the file's.
#pragma once

#include <cstdint>

// The table libjpeg makes at quality 1 to 100 for brightness (chroma false)
// or colour, held to 1..255 as in a baseline file; in natural order.
void scaledQuantTable(int32_t quality, bool chroma, uint16_t table[64]);

// The quality whose tables are nearest to luma's and chroma's (the sum of
// the differences over both; chroma may be null, for a grey file). Of equal
// distances the higher quality is taken.
int32_t estimateJpegQuality(const uint16_t luma[64], const uint16_t* chroma);
