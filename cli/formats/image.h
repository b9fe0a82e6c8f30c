// One still image in memory, as the engine takes it: 32-bit words, blue in
// bits 0-7, green 8-15, red 16-23, top row first. The top byte holds the
// image's alpha, or 0 when it has none; the engine never reads it. The EXIF
// block and the ICC profile of a photograph travel with it untouched.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/status.h"

enum class ImageFormat { png, ppm, pam, jpeg };

constexpr int32_t defaultJpegQuality = 95;

struct Image {
    int32_t width = 0, height = 0;
    bool hasAlpha = false;
    ImageFormat format = ImageFormat::png;  // the family it was read from
    std::vector<uint32_t> words;
    std::vector<uint8_t> exif;  // the TIFF stream of an EXIF block, without "Exif\0\0"
    std::vector<uint8_t> icc;   // an ICC profile, whole
};

// Within the tool's frame limits (options.h), checked before any allocation.
bool imageSizeAllowed(int64_t width, int64_t height);
// What the readers return for a picture beyond those limits...
inline constexpr char imageTooLarge[] = "image too large";
// ...and what is said of it: the same with the limits.
std::string imageTooLargeText();

// Sample reduction to 8 bits: round(v * 255 / maxval), v first held to maxval.
uint8_t scaleSample(uint32_t v, uint32_t maxval);

// Reads a PNG, a JPEG or a Netpbm image (PBM, PGM, PPM, PAM) from its bytes,
// telling them apart by content. Grey becomes R = G = B; 16-bit and other
// sample depths are rounded to 8 bits. name is how messages call the input.
Status decodeImage(const std::vector<uint8_t>& bytes, const std::string& name, Image& image);
Status decodePng(const std::vector<uint8_t>& bytes, const std::string& name, Image& image);
Status decodeJpeg(const std::vector<uint8_t>& bytes, const std::string& name, Image& image);
Status decodeNetpbm(const std::vector<uint8_t>& bytes, const std::string& name, Image& image);

// Writes 8-bit RGB, or RGBA when the image has alpha. A PPM or a JPEG cannot
// hold alpha; PNG and JPEG carry the EXIF block and an RGB ICC profile.
// jpegQuality is 1 to 100.
Status encodeImage(const Image& image, ImageFormat format, const std::string& name,
                   std::vector<uint8_t>& bytes, int32_t jpegQuality = defaultJpegQuality);
Status encodePng(const Image& image, const std::string& name, std::vector<uint8_t>& bytes);
Status encodeJpeg(const Image& image, int32_t quality, const std::string& name,
                  std::vector<uint8_t>& bytes);
Status encodeNetpbm(const Image& image, ImageFormat format, const std::string& name,
                    std::vector<uint8_t>& bytes);

// Whether an ICC profile describes RGB data, as every picture velto writes
// holds: a grey picture's profile does not fit its colour output.
bool profileFitsRgb(const std::vector<uint8_t>& icc);

// The format an output path asks for by its extension; "-" and names without
// an extension take the input's family. False for an extension we do not write.
bool outputFormatFor(const std::string& path, ImageFormat inputFormat, bool inputHasAlpha,
                     ImageFormat& format);
// The format a name's extension asks for; false for none, or one we do not write.
bool formatOfExtension(const std::string& path, ImageFormat& format);
// The format --format names: png, ppm (or pnm), pam, jpeg (or jpg).
bool formatOfName(std::string name, ImageFormat& format);
// The extension velto gives a file of this format, without the dot.
const char* extensionOf(ImageFormat format);
