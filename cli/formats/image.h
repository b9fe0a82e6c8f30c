// Any picture the tool reads or writes: the reader chosen by the bytes'
// signature, the writer by the format asked for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/formats/picture.h"

// Reads a PNG, a JPEG or a Netpbm image (PBM, PGM, PPM, PAM) from its bytes,
// telling them apart by content. Grey becomes R = G = B; 16-bit and other
// sample depths are rounded to 8 bits. name is how messages call the input.
// A JPEG whose data is damaged is refused, unless keepGoing: then it is read
// as libjpeg makes it out, and image.damage says what was wrong.
// progress, when given, hears how far a PNG or JPEG has come.
Status decodeImage(const std::vector<uint8_t>& bytes, const std::string& name, Image& image,
                   bool keepGoing = false, const Progress* progress = nullptr);

// Writes 8-bit RGB, or RGBA when the image has alpha; grey, or grey and
// alpha, in a PNG or JPEG when the input was grey and still is. A PPM or a
// JPEG cannot hold alpha; PNG and JPEG carry the EXIF block, the pixel
// density and a profile that fits, a PNG the other colour chunks too.
Status encodeImage(const Image& image, ImageFormat format, const std::string& name,
                   const ByteSink& sink, const EncodeSettings& settings = {});
// The same, into memory.
Status encodeImage(const Image& image, ImageFormat format, const std::string& name,
                   std::vector<uint8_t>& bytes, const EncodeSettings& settings = {});
