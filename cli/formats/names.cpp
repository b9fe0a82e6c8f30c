#include "cli/formats/names.h"

#include <cctype>
#include <utility>

namespace {

std::string lowered(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

PathParts splitPath(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > nameStart;
    return {nameStart, hasExtension ? dot : std::string::npos};
}

bool formatOfName(std::string name, ImageFormat& format)
{
    name = lowered(std::move(name));
    if (name == "png") format = ImageFormat::png;
    else if (name == "ppm" || name == "pnm") format = ImageFormat::ppm;
    else if (name == "pam") format = ImageFormat::pam;
    else if (name == "jpeg" || name == "jpg") format = ImageFormat::jpeg;
    else if (name == "webp") format = ImageFormat::webp;
    else if (name == "tiff" || name == "tif") format = ImageFormat::tiff;
    else if (name == "heic" || name == "heif") format = ImageFormat::heif;
    else if (name == "avif") format = ImageFormat::avif;
    else return false;
    return true;
}

const char* extensionOf(ImageFormat format)
{
    switch (format) {
    case ImageFormat::png: return "png";
    case ImageFormat::ppm: return "ppm";
    case ImageFormat::pam: return "pam";
    case ImageFormat::jpeg: return "jpg";
    case ImageFormat::webp: return "webp";
    case ImageFormat::tiff: return "tif";
    case ImageFormat::heif: return "heic";
    case ImageFormat::avif: return "avif";
    }
    return "";
}

bool formatOfExtension(const std::string& path, ImageFormat& format)
{
    const size_t dot = splitPath(path).dot;
    return dot != std::string::npos && formatOfName(path.substr(dot + 1), format);
}

bool outputFormatFor(const std::string& path, ImageFormat inputFormat, bool inputHasAlpha,
                     ImageFormat& format)
{
    if (splitPath(path).dot != std::string::npos) return formatOfExtension(path, format);
    if (inputFormat != ImageFormat::ppm && inputFormat != ImageFormat::pam)
        format = inputFormat;
    else
        format = inputHasAlpha ? ImageFormat::pam : ImageFormat::ppm;
    return true;
}

std::string outputPathIn(const std::string& dir, const std::string& input, bool formatGiven,
                         ImageFormat format)
{
    const PathParts parts = splitPath(input);
    std::string name = input.substr(parts.nameStart);
    const size_t dot = parts.dot == std::string::npos ? parts.dot : parts.dot - parts.nameStart;
    const std::string extension = dot == std::string::npos ? "" : lowered(name.substr(dot + 1));
    ImageFormat named;
    const bool namesFormat = formatOfName(extension, named);
    const char* wanted = nullptr;
    if (formatGiven && !(namesFormat && named == format))
        wanted = extensionOf(format);
    else if (!formatGiven && (extension == "pgm" || extension == "pbm"))
        wanted = extensionOf(ImageFormat::ppm);
    if (wanted) name = name.substr(0, dot) + "." + wanted;
    return dir.empty() ? name : dir + (dir.back() == '/' ? "" : "/") + name;
}
