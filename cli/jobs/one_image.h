// The steps of one picture, shared by the image jobs; and `velto apply` of
// one picture (declared in images.h): read, corrected where it lies, fitted
// to the output's format, and encoded into the output as it is written. A
// run holds one decoded copy of the picture, and the encoder's rows.
#pragma once

#include <string>
#include <vector>

#include "cli/formats/image.h"
#include "cli/options.h"
#include "cli/status.h"

// Reads a file (or standard input) whole and decodes it; the file's bytes are
// let go before this returns.
Status readImage(const std::string& path, const Options& options, Image& image,
                 const Progress* progress = nullptr);

// Makes an image with alpha fit a format without: --flatten composites it
// onto its colour (whatever the format), an alpha that is 255 everywhere is
// dropped, any other is a usage error, as before.
Status fitAlpha(Image& image, ImageFormat format, const Options& options, const std::string& name);

// What is said, in one line each, after a picture is written: damage read
// over with --keep-going, and colour information the output leaves out.
std::vector<std::string> afterWriting(const Image& image, const std::string& input,
                                      const std::string& output, const std::string& lost);
