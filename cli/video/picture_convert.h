// A decoded picture to the filter's 32-bit words and back, with libswscale:
// B, G, R and A (or unused) bytes, top row first, width * height words without
// gaps. Y'CbCr pictures are taken with their own colour matrix and range,
// and written back with the same ones, so that the round trip changes only
// what the correction changed.
#pragma once

#include <cstdint>

#include "engine/deep_tables.h"
#include "engine/transfer.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

struct SwsContext;

// How a picture's Y'CbCr values relate to R'G'B'.
struct PictureColours {
    AVColorSpace matrix;  // as libswscale knows them: BT.601, BT.709, FCC, SMPTE 240M, BT.2020
    bool fullRange;       // 0..255 rather than 16..235 (and 16..240)
};

// The frame's own tags. An untagged frame is taken as players take it:
// BT.709 from 1280 x 720 on (width over 1024 or height over 576), BT.601 below;
// limited range, unless its format is one of the full-range (J) formats.
PictureColours picturesColours(const AVFrame* frame);
PictureColours untaggedColours(int32_t width, int32_t height, AVPixelFormat format);

// How the stream's code values stand for light, from its tag: PQ and HLG
// where tagged so, sRGB for untagged R'G'B', BT.709 for other video.
Transfer streamTransfer(AVColorTransferCharacteristic tag, bool rgb);

// Formats whose pixels are the filter's words already: no conversion at all.
bool isWordLayout(AVPixelFormat format);
bool hasAlpha(AVPixelFormat format);
int32_t bitsPerChannel(AVPixelFormat format);

// Pictures deeper than 8 bits are corrected in planar R'G'B' of their own
// depth (10, 12 or 16 bits; with alpha where they have it): the format for
// one, or AV_PIX_FMT_NONE for 8-bit pictures.
AVPixelFormat deepFormatFor(AVPixelFormat format);

struct PictureConverter {
    SwsContext* toWords = nullptr;
    SwsContext* fromWords = nullptr;
    SwsContext* toDeep = nullptr;
    SwsContext* fromDeep = nullptr;
    AVFrame* deep = nullptr;         // the deep picture, made on first use
    uint8_t deepToByte[65536] = {};  // a deep sample as the 8-bit analysis sees it
    int32_t deepToByteBits = 0;      // what deepToByte was made for
    DeepTables tables;               // the deep picture's correction, a frame at a time
    // What each context was made for, and the colours it was last set to:
    // setting them builds tables.
    int toWordsKey[3] = {}, fromWordsKey[3] = {}, toDeepKey[3] = {}, fromDeepKey[3] = {};
    bool toWordsSet = false, fromWordsSet = false, toDeepSet = false, fromDeepSet = false;
    PictureColours toWordsColours{}, fromWordsColours{}, toDeepColours{}, fromDeepColours{};

    PictureConverter() = default;
    PictureConverter(const PictureConverter&) = delete;
    PictureConverter& operator=(const PictureConverter&) = delete;
    ~PictureConverter();
};

// False when libswscale cannot convert the format.
bool pictureToWords(PictureConverter& c, const AVFrame* frame, const PictureColours& colours,
                    uint32_t* words);
// Into picture (allocated, writable, of the output's format and size).
bool wordsToPicture(PictureConverter& c, const uint32_t* words, const PictureColours& colours,
                    AVFrame* picture);

// The deep path: the frame into c.deep (of deepFormat), c.deep's samples
// rounded to the words the analysis reads, and c.deep into picture.
bool pictureToDeep(PictureConverter& c, const AVFrame* frame, const PictureColours& colours,
                   AVPixelFormat deepFormat);
void deepToWords(PictureConverter& c, uint32_t* words);
bool deepToPicture(PictureConverter& c, const PictureColours& colours, AVFrame* picture);
