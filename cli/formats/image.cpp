// The format-independent ends of the codecs: a reader chosen by the bytes'
// signature, a writer by the format asked for.
#include "cli/formats/image.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "cli/formats/codecs.h"

namespace {

bool startsWith(const std::vector<uint8_t>& bytes, size_t at, const char* text, size_t size)
{
    return bytes.size() >= at + size && std::memcmp(bytes.data() + at, text, size) == 0;
}

// The signatures of the common video files: MP4 and QuickTime ('ftyp' box),
// Matroska and WebM (EBML), AVI (RIFF), MPEG program and transport streams,
// Flash video, Ogg and Windows Media.
bool looksLikeVideo(const std::vector<uint8_t>& bytes)
{
    const bool transport = bytes.size() > 376 && bytes[0] == 0x47 && bytes[188] == 0x47 &&
                           bytes[376] == 0x47;
    return startsWith(bytes, 4, "ftyp", 4) || startsWith(bytes, 0, "\x1A\x45\xDF\xA3", 4) ||
           (startsWith(bytes, 0, "RIFF", 4) && startsWith(bytes, 8, "AVI ", 4)) ||
           startsWith(bytes, 0, "\0\0\1\xBA", 4) || startsWith(bytes, 0, "FLV\1", 4) ||
           startsWith(bytes, 0, "OggS", 4) || startsWith(bytes, 0, "\x30\x26\xB2\x75", 4) ||
           transport;
}

}  // namespace

std::string cannotWriteText(ImageFormat format)
{
    return format == ImageFormat::avif
               ? "this machine's libheif has no AV1 encoder to write AVIF; write another format"
               : "this machine's libheif has no HEVC encoder to write HEIC; write another format";
}

Status decodeImage(const std::vector<uint8_t>& bytes, const std::string& name, Image& image,
                   bool keepGoing, const Progress* progress)
{
    image = Image{};
    static constexpr uint8_t pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.empty()) return badData(name + ": empty file");
    if (bytes.size() >= 8 && std::equal(pngSignature, pngSignature + 8, bytes.begin()))
        return decodePng(bytes, name, image, progress);
    if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF)
        return decodeJpeg(bytes, name, image, keepGoing, progress);
    if (bytes.size() >= 2 && bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '7')
        return decodeNetpbm(bytes, name, image);
    if (startsWith(bytes, 0, "RIFF", 4) && startsWith(bytes, 8, "WEBP", 4))
        return decodeWebp(bytes, name, image);
    if (startsWith(bytes, 0, "II*\0", 4) || startsWith(bytes, 0, "MM\0*", 4))
        return decodeTiff(bytes, name, image, keepGoing, progress);
    // A HEIF file is an ISO box file like MP4: its brand tells them apart.
    if (looksLikeHeif(bytes))
        return decodeHeif(bytes, name, image);
    if (looksLikeVideo(bytes))
        return badData(name + ": a video, not a still image; video goes through 'velto video' "
                              "(see 'velto --help')");
    return badData(name + ": not a PNG, JPEG, WebP, TIFF, HEIF, AVIF, PPM, PGM, PBM or PAM image");
}

bool canWrite(ImageFormat format)
{
    return (format != ImageFormat::heif && format != ImageFormat::avif) || heifWritable(format);
}

Status encodeImage(const Image& image, ImageFormat format, const std::string& name,
                   const ByteSink& sink, const EncodeSettings& settings)
{
    if (format == ImageFormat::png) return encodePng(image, name, sink, settings);
    if (format == ImageFormat::tiff) return encodeTiff(image, name, sink, settings);
    if (format == ImageFormat::heif || format == ImageFormat::avif) {
        if (!canWrite(format)) return badData(name + ": " + cannotWriteText(format));
        const int32_t quality = settings.jpegQuality > 0 ? settings.jpegQuality
                                : image.jpegQuality > 0  ? image.jpegQuality
                                                         : defaultHeifQuality;
        return encodeHeif(image, format, quality, name, sink, settings);
    }
    if (format == ImageFormat::webp) {
        // Lossless for a lossless input, unless a quality is asked for; a
        // lossy input's quality carries over, as from JPEG to JPEG.
        const bool lossyInput = image.format == ImageFormat::jpeg ||
                                (image.format == ImageFormat::webp && !image.webpLossless);
        const int32_t quality = settings.jpegQuality > 0 ? settings.jpegQuality
                                : image.jpegQuality > 0  ? image.jpegQuality
                                                         : defaultJpegQuality;
        return encodeWebp(image, quality, settings.jpegQuality == 0 && !lossyInput, name, sink,
                          settings);
    }
    if ((format == ImageFormat::ppm || format == ImageFormat::jpeg) && image.hasAlpha)
        return usageError(name + (format == ImageFormat::ppm ? ": a PPM" : ": a JPEG") +
                          " holds no alpha and the input has some; write .png or .pam, or give "
                          "--flatten COLOUR (see 'velto apply --help')");
    if (format == ImageFormat::jpeg) {
        const int32_t quality = settings.jpegQuality > 0 ? settings.jpegQuality
                                : image.jpegQuality > 0  ? image.jpegQuality
                                                         : defaultJpegQuality;
        return encodeJpeg(image, quality, name, sink, settings);
    }
    const std::string holdsNone = format == ImageFormat::pam ? " (a PAM holds none)" : " (a PPM holds none)";
    if (!image.icc.empty()) noteLost(settings.lost, "the ICC profile" + holdsNone);
    if (!image.exif.empty()) noteLost(settings.lost, "the EXIF block" + holdsNone);
    if (!image.xmp.empty()) noteLost(settings.lost, "the XMP packet" + holdsNone);
    return encodeNetpbm(image, format, name, sink);
}

Status encodeImage(const Image& image, ImageFormat format, const std::string& name,
                   std::vector<uint8_t>& bytes, const EncodeSettings& settings)
{
    // The sink is called from within libpng and libjpeg, which an exception
    // must not cross: running out of memory is a failed write instead.
    struct Memory {
        std::vector<uint8_t>* bytes;
        bool full;
    } memory{&bytes, false};
    bytes.clear();
    const ByteSink sink{&memory, [](void* context, const uint8_t* data, size_t count) {
                            auto* m = static_cast<Memory*>(context);
                            try {
                                m->bytes->insert(m->bytes->end(), data, data + count);
                            } catch (const std::bad_alloc&) {
                                m->full = true;
                            }
                            return !m->full;
                        }};
    const Status s = encodeImage(image, format, name, sink, settings);
    if (memory.full) {
        bytes = {};
        return badData(name + ": out of memory");
    }
    return s;
}
