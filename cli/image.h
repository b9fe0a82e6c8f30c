// One still image in memory, as the engine takes it: 32-bit words, blue in
// bits 0-7, green 8-15, red 16-23, top row first. The top byte holds the
// image's alpha, or 0 when it has none; the engine never reads it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/status.h"

enum class ImageFormat { png, ppm, pam };

struct Image {
    int32_t width = 0, height = 0;
    bool hasAlpha = false;
    ImageFormat format = ImageFormat::png;  // the family it was read from
    std::vector<uint32_t> words;
};

// Sides 1..65536 and at most 1 GiB of words, checked before any allocation.
bool imageSizeAllowed(int64_t width, int64_t height);
// What the readers say of a picture beyond those bounds.
inline constexpr char imageTooLarge[] = "image too large (at most 65536 pixels a side and 1 GiB)";

// Sample reduction to 8 bits: round(v * 255 / maxval), v first held to maxval.
uint8_t scaleSample(uint32_t v, uint32_t maxval);

// Reads a PNG or a Netpbm image (PBM, PGM, PPM, PAM) from its bytes, telling
// them apart by content. Grey becomes R = G = B; 16-bit and other sample
// depths are rounded to 8 bits. name is how messages call the input.
Status decodeImage(const std::vector<uint8_t>& bytes, const std::string& name, Image& image);
Status decodePng(const std::vector<uint8_t>& bytes, const std::string& name, Image& image);
Status decodeNetpbm(const std::vector<uint8_t>& bytes, const std::string& name, Image& image);

// Writes 8-bit RGB, or RGBA when the image has alpha. A PPM cannot hold alpha.
Status encodeImage(const Image& image, ImageFormat format, const std::string& name,
                   std::vector<uint8_t>& bytes);
Status encodePng(const Image& image, const std::string& name, std::vector<uint8_t>& bytes);
Status encodeNetpbm(const Image& image, ImageFormat format, const std::string& name,
                    std::vector<uint8_t>& bytes);

// The format an output path asks for by its extension; "-" and names without
// an extension take the input's family. False for an extension we do not write.
bool outputFormatFor(const std::string& path, ImageFormat inputFormat, bool inputHasAlpha,
                     ImageFormat& format);
