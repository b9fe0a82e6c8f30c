// One still image in memory, as the engine takes it: 32-bit words, blue in
// bits 0-7, green 8-15, red 16-23, top row first. The top byte holds the
// image's alpha, or 0 when it has none; the engine never reads it. The EXIF
// block and the ICC profile of a photograph travel with it untouched.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/status.h"
// What the codecs share: the size rule they check before allocating, the
// sample reduction and the profile check.
#include "cli/formats/frame_size.h"
#include "cli/formats/icc_profile.h"
#include "cli/formats/sample_scale.h"

enum class ImageFormat { png, ppm, pam, jpeg };

constexpr int32_t minimumJpegQuality = 1;
constexpr int32_t maximumJpegQuality = 100;
constexpr int32_t defaultJpegQuality = 95;

struct Image {
    int32_t width = 0, height = 0;
    bool hasAlpha = false;
    ImageFormat format = ImageFormat::png;  // the family it was read from
    std::vector<uint32_t> words;
    std::vector<uint8_t> exif;  // the TIFF stream of an EXIF block, without "Exif\0\0"
    std::vector<uint8_t> icc;   // an ICC profile, whole
};

// Reads a PNG, a JPEG or a Netpbm image (PBM, PGM, PPM, PAM) from its bytes,
// telling them apart by content. Grey becomes R = G = B; 16-bit and other
// sample depths are rounded to 8 bits. name is how messages call the input.
Status decodeImage(const std::vector<uint8_t>& bytes, const std::string& name, Image& image);
Status decodePng(const std::vector<uint8_t>& bytes, const std::string& name, Image& image);
Status decodeJpeg(const std::vector<uint8_t>& bytes, const std::string& name, Image& image);
Status decodeNetpbm(const std::vector<uint8_t>& bytes, const std::string& name, Image& image);

// Writes 8-bit RGB, or RGBA when the image has alpha. A PPM or a JPEG cannot
// hold alpha; PNG and JPEG carry the EXIF block and an RGB ICC profile.
// jpegQuality is minimumJpegQuality to maximumJpegQuality.
Status encodeImage(const Image& image, ImageFormat format, const std::string& name,
                   std::vector<uint8_t>& bytes, int32_t jpegQuality = defaultJpegQuality);
Status encodePng(const Image& image, const std::string& name, std::vector<uint8_t>& bytes);
Status encodeJpeg(const Image& image, int32_t quality, const std::string& name,
                  std::vector<uint8_t>& bytes);
Status encodeNetpbm(const Image& image, ImageFormat format, const std::string& name,
                    std::vector<uint8_t>& bytes);
