// The format-independent ends of the codecs: a reader chosen by the bytes'
// signature, a writer by the format asked for.
#include "cli/formats/image.h"

#include <algorithm>

Status decodeImage(const std::vector<uint8_t>& bytes, const std::string& name, Image& image)
{
    image = Image{};
    static constexpr uint8_t pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.empty()) return badData(name + ": empty file");
    if (bytes.size() >= 8 && std::equal(pngSignature, pngSignature + 8, bytes.begin()))
        return decodePng(bytes, name, image);
    if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF)
        return decodeJpeg(bytes, name, image);
    if (bytes.size() >= 2 && bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '7')
        return decodeNetpbm(bytes, name, image);
    return badData(name + ": not a PNG, JPEG, PPM, PGM, PBM or PAM image");
}

Status encodeImage(const Image& image, ImageFormat format, const std::string& name,
                   std::vector<uint8_t>& bytes, int32_t jpegQuality)
{
    if (format == ImageFormat::png) return encodePng(image, name, bytes);
    if ((format == ImageFormat::ppm || format == ImageFormat::jpeg) && image.hasAlpha)
        return usageError(name + (format == ImageFormat::ppm ? ": a PPM" : ": a JPEG") +
                          " holds no alpha and the input has some; write .png or .pam instead "
                          "(see 'velto apply --help')");
    if (format == ImageFormat::jpeg) return encodeJpeg(image, jpegQuality, name, bytes);
    return encodeNetpbm(image, format, name, bytes);
}
