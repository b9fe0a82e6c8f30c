// Transfer functions: how a picture's code values stand for light. The
// neutral correction multiplies light, not code values, so it decodes each
// value to linear light, applies a gain and encodes the result again.
// Each function is the standard's own formula, computed in doubles with the
// portable exp and log (portable_math.h), so every build gives the same bits.
#pragma once

#include <cstdint>

enum class Transfer {
    srgb,   // IEC 61966-2-1: photographs, and what a host hands us untagged
    bt709,  // BT.709, BT.601 and BT.2020 (the same curve): video
    pq,     // SMPTE ST 2084 (BT.2100 PQ): HDR video; linear 1 is 10000 cd/m2
    hlg,    // ARIB STD-B67 (BT.2100 HLG): HDR video; scene light, without the OOTF
    linear, // values that already are light
};

// A code value from 0 to 1 as linear light from 0 to 1, and back. Values
// outside 0..1 are held to its ends first; NaN gives 0.
double decodeTransfer(Transfer transfer, double code);
double encodeTransfer(Transfer transfer, double light);

// The linear light of each 8-bit code value, made once per transfer and
// kept (the language makes the first use thread-safe).
struct DecodeTable {
    double light[256];
};
const DecodeTable& decodeTable(Transfer transfer);

// The name as velto's options and reports write it ("srgb", "bt709", "pq",
// "hlg", "linear").
const char* transferName(Transfer transfer);
