// Any picture the tool reads or writes: the reader chosen by the bytes'
// signature, the writer by the format asked for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/formats/picture.h"

// Reads a PNG, a JPEG, a WebP, a TIFF, a HEIF or AVIF or a Netpbm image (PBM,
// PGM, PPM, PAM) from its bytes, telling them apart by content. Grey becomes
// R = G = B; a 16-bit PNG or TIFF, or a HEIF of 10 or 12 bits, keeps its
// samples at 16 bits in deep; other sample depths are rounded to 8 bits. name is how messages call the input.
// A JPEG or TIFF whose data is damaged is refused, unless keepGoing: then it is read
// as libjpeg makes it out, and image.damage says what was wrong.
// progress, when given, hears how far a PNG or JPEG has come.
Status decodeImage(const std::vector<uint8_t>& bytes, const std::string& name, Image& image,
                   bool keepGoing = false, const Progress* progress = nullptr);

// Whether this machine can write the format: HEIF and AVIF need an encoder
// in libheif, which may have been built without; and what is said when not.
bool canWrite(ImageFormat format);
std::string cannotWriteText(ImageFormat format);

// Writes 8-bit RGB, or RGBA when the image has alpha, and 16 bits in a PNG
// or TIFF when the image has deep samples; grey, or grey and alpha, in a
// PNG, JPEG or TIFF when the input was grey and still is. A PPM or a JPEG
// cannot hold alpha. Each format carries what of the EXIF block, the ICC
// profile, XMP and the pixel density it can hold; settings.lost hears the rest.
Status encodeImage(const Image& image, ImageFormat format, const std::string& name,
                   const ByteSink& sink, const EncodeSettings& settings = {});
// The same, into memory.
Status encodeImage(const Image& image, ImageFormat format, const std::string& name,
                   std::vector<uint8_t>& bytes, const EncodeSettings& settings = {});
