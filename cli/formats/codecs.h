// The readers and writers of each format, which the dispatch in image.cpp
// chooses between. They share the picture's types and know nothing of each
// other or of the dispatch.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/formats/picture.h"

Status decodePng(const std::vector<uint8_t>& bytes, const std::string& name, Image& image,
                 const Progress* progress);
Status decodeJpeg(const std::vector<uint8_t>& bytes, const std::string& name, Image& image,
                  bool keepGoing, const Progress* progress);
Status decodeNetpbm(const std::vector<uint8_t>& bytes, const std::string& name, Image& image);
Status decodeWebp(const std::vector<uint8_t>& bytes, const std::string& name, Image& image);
Status decodeTiff(const std::vector<uint8_t>& bytes, const std::string& name, Image& image,
                  bool keepGoing, const Progress* progress);
// Whether the bytes start as a HEIF or AVIF file libheif reads.
bool looksLikeHeif(const std::vector<uint8_t>& bytes);
Status decodeHeif(const std::vector<uint8_t>& bytes, const std::string& name, Image& image);

Status encodePng(const Image& image, const std::string& name, const ByteSink& sink,
                 const EncodeSettings& settings);
Status encodeJpeg(const Image& image, int32_t quality, const std::string& name,
                  const ByteSink& sink, const EncodeSettings& settings);
// quality 1 to 100 for a lossy WebP; lossless ignores it.
Status encodeWebp(const Image& image, int32_t quality, bool lossless, const std::string& name,
                  const ByteSink& sink, const EncodeSettings& settings);
Status encodeTiff(const Image& image, const std::string& name, const ByteSink& sink,
                  const EncodeSettings& settings);
// format heif or avif; quality 1 to 100.
Status encodeHeif(const Image& image, ImageFormat format, int32_t quality, const std::string& name,
                  const ByteSink& sink, const EncodeSettings& settings);
// Whether libheif has an encoder for heif or avif on this machine.
bool heifWritable(ImageFormat format);
Status encodeNetpbm(const Image& image, ImageFormat format, const std::string& name,
                    const ByteSink& sink);
