#include "cli/image.h"

#include <algorithm>
#include <cctype>

#include "cli/options.h"

bool imageSizeAllowed(int64_t width, int64_t height)
{
    return width >= 1 && height >= 1 && width <= maximumSide && height <= maximumSide &&
           width * height * 4 <= maximumFrameBytes;
}

uint8_t scaleSample(uint32_t v, uint32_t maxval)
{
    if (maxval == 0) return 0;
    if (v > maxval) v = maxval;
    return static_cast<uint8_t>((uint64_t{v} * 255 + maxval / 2) / maxval);
}

Status decodeImage(const std::vector<uint8_t>& bytes, const std::string& name, Image& image)
{
    static constexpr uint8_t pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.empty()) return badData(name + ": empty file");
    if (bytes.size() >= 8 && std::equal(pngSignature, pngSignature + 8, bytes.begin()))
        return decodePng(bytes, name, image);
    if (bytes.size() >= 2 && bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '7')
        return decodeNetpbm(bytes, name, image);
    return badData(name + ": not a PNG, PPM, PGM, PBM or PAM image");
}

Status encodeImage(const Image& image, ImageFormat format, const std::string& name,
                   std::vector<uint8_t>& bytes)
{
    if (format == ImageFormat::png) return encodePng(image, name, bytes);
    if (format == ImageFormat::ppm && image.hasAlpha)
        return usageError(name + ": a PPM holds no alpha and the input has some; write .png "
                                 "or .pam instead (see 'velto apply --help')");
    return encodeNetpbm(image, format, name, bytes);
}

bool outputFormatFor(const std::string& path, ImageFormat inputFormat, bool inputHasAlpha,
                     ImageFormat& format)
{
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    // A leading dot starts a hidden name, not an extension.
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const bool hasExtension = path != "-" && dot != std::string::npos && dot > nameStart;
    if (!hasExtension) {
        if (inputFormat == ImageFormat::png)
            format = ImageFormat::png;
        else
            format = inputHasAlpha ? ImageFormat::pam : ImageFormat::ppm;
        return true;
    }
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == "png") format = ImageFormat::png;
    else if (ext == "ppm" || ext == "pnm") format = ImageFormat::ppm;
    else if (ext == "pam") format = ImageFormat::pam;
    else return false;
    return true;
}
