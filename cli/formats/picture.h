// One still image in memory, as the engine takes it: 32-bit words, blue in
// bits 0-7, green 8-15, red 16-23, top row first. The top byte holds the
// image's alpha, or 0 when it has none; the engine never reads it. A picture
// of 16 bits a sample keeps those samples too, beside the words that are
// their 8-bit reduction. The EXIF block, the ICC profile and XMP of a
// photograph travel with it untouched. What the readers and writers of every
// format share, and nothing of their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cli/status.h"
// What the codecs share: the size rule they check before allocating, the
// sample reduction and the profile check.
#include "cli/formats/density.h"
#include "cli/formats/frame_size.h"
#include "cli/formats/icc_profile.h"
#include "cli/formats/sample_scale.h"

// heif is HEIF with HEVC pictures (.heic), avif HEIF with AV1 pictures.
enum class ImageFormat { png, ppm, pam, jpeg, webp, tiff, heif, avif };

constexpr int32_t minimumJpegQuality = 1;
constexpr int32_t maximumJpegQuality = 100;
// The quality of a JPEG made from anything but a JPEG.
constexpr int32_t defaultJpegQuality = 95;
// The quality of a HEIC or AVIF made from anything but a JPEG or lossy WebP.
constexpr int32_t defaultHeifQuality = 90;

// A PNG's colour chunks other than the profile, as stored: the sRGB chunk's
// rendering intent (-1 for none), gAMA's gamma and cHRM's eight numbers,
// each times 100000 (0 and all 0 for none).
struct PngColour {
    int32_t srgbIntent = -1;
    uint32_t gamma = 0;
    uint32_t chromaticities[8] = {};
};

struct Image {
    int32_t width = 0, height = 0;
    bool hasAlpha = false;
    ImageFormat format = ImageFormat::png;  // the family it was read from
    std::vector<uint32_t> words;
    // 16-bit samples, red, green, blue and alpha when hasAlpha, interleaved,
    // top row first, from a 16-bit PNG or TIFF or a HEIF of 10 or 12 bits;
    // empty for 8-bit pictures.
    // The words are then these rounded to 8 bits, which the analysis reads.
    std::vector<uint16_t> deep;
    std::vector<uint8_t> exif;  // the TIFF stream of an EXIF block, without "Exif\0\0"
    std::vector<uint8_t> icc;   // an ICC profile, whole
    std::vector<uint8_t> xmp;   // an XMP packet, whole
    // How the input was stored, for an output to follow: grey (one channel),
    // a JPEG's quality as its quantisation tables show it (0 for none) and
    // its colour resolution as luma samples per chroma sample across and
    // down (1, 1 is full resolution).
    bool grey = false;
    int32_t jpegQuality = 0;
    bool webpLossless = false;  // a WebP coded without loss
    int32_t chromaStepX = 1, chromaStepY = 1;
    Density density;
    PngColour pngColour;
    uint16_t tiffCompression = 0;  // a TIFF's: none, LZW or Deflate (libtiff's number)
    // What the reader went on over, when told to keep going past damaged
    // data; empty when the data was sound.
    std::string damage;
    // What the reader left out of a sound file (a multi-page TIFF's other
    // pages), said once the picture is written; empty for nothing.
    std::string left;
};

// The samples a pixel of deep holds: 3, or 4 with alpha.
inline int32_t deepChannels(const Image& image)
{
    return image.hasAlpha ? 4 : 3;
}
// The words from deep, each sample rounded to 8 bits; alpha to the top byte
// when the image has it.
void wordsFromDeep(Image& image);

// How far a long read or write has come, 0 to 1, told every 64 rows.
using Progress = std::function<void(double fraction)>;
inline void tellProgress(const Progress* progress, int64_t done, int64_t total)
{
    if (progress && *progress && done % 64 == 0) (*progress)(double(done) / double(total));
}

// Where an encoder's bytes go, as they are made. write must not throw (the
// codecs' C code calls it); it returns false when the output has failed, and
// keeps its own account of why: the encoder then stops and returns a failure
// without a message, for the sink's owner to give its own.
struct ByteSink {
    void* context = nullptr;
    bool (*write)(void* context, const uint8_t* data, size_t count) = nullptr;
};

// How an output is written: a JPEG's quality (0: the input's, if it was a
// JPEG, else 95), and, when not null, lost collects the colour information
// the output cannot carry (", "-separated phrases).
struct EncodeSettings {
    int32_t jpegQuality = 0;
    std::string* lost = nullptr;
    const Progress* progress = nullptr;  // a PNG's or a JPEG's rows
};

// Whether a file of the format can hold alpha (PNG and PAM can).
bool holdsAlpha(ImageFormat format);
// Whether every alpha value is 255, so that dropping the channel loses nothing.
bool allOpaque(const Image& image);
// Drops an alpha that allOpaque finds: the writers skip the top byte.
void dropAlpha(Image& image);
// Composites the pixels onto colour (0xRRGGBB), rounded to nearest, and
// drops the alpha: (c * a + colour * (255 - a)) / 255 in each channel.
void flattenOnto(Image& image, uint32_t colour);

// Whether every pixel has red = green = blue, so that one channel holds it
// (in deep, when the image has deep samples).
bool allGrey(const Image& image);
// A library's message as one phrase of a line: its line breaks, tabs and runs
// of spaces one space each, a capital that starts a sentence and a closing
// full stop dropped ("Invalid input: No 'meta' box." -> "invalid input: No
// 'meta' box").
std::string libraryPhrase(const char* text);
// Adds a phrase to the list of what an output leaves out.
void noteLost(std::string* lost, const std::string& what);
