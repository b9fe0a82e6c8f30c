// Formats by name and by extension, and the names of outputs: what --format
// names, what an output's extension asks for, and what a file written into
// an --out-dir folder is called.
#pragma once

#include <cstddef>
#include <string>

#include "cli/formats/picture.h"

// Where a path's file name starts, and the dot of its extension (npos for
// none). A leading dot starts a hidden name, not an extension.
struct PathParts {
    size_t nameStart;
    size_t dot;
};
PathParts splitPath(const std::string& path);

// The format --format names: png, ppm (or pnm), pam, jpeg (or jpg), webp,
// tiff (or tif), heic (or heif), avif.
bool formatOfName(std::string name, ImageFormat& format);
// The extension velto gives a file of this format, without the dot.
const char* extensionOf(ImageFormat format);
// The format a name's extension asks for; false for none, or one we do not write.
bool formatOfExtension(const std::string& path, ImageFormat& format);
// The format an output path asks for by its extension; "-" and names without
// an extension take the input's family. False for an extension we do not write.
bool outputFormatFor(const std::string& path, ImageFormat inputFormat, bool inputHasAlpha,
                     ImageFormat& format);

// DIR/NAME for one input: NAME is its file name, with the extension of
// the format asked for (formatGiven) when it names another format (or none).
// Without one, a PGM or PBM name becomes .ppm, since the output is colour;
// other names stay.
std::string outputPathIn(const std::string& dir, const std::string& input, bool formatGiven,
                         ImageFormat format);
