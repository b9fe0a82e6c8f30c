// WebP through libwebp: the pixels by its decoder and encoder, the ICC
// profile, the EXIF block and XMP by its container library (demux to read,
// mux to write), as the file's own chunks.
#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <cstring>

#include "cli/formats/codecs.h"
#include "cli/formats/webp_quality.h"

namespace {

void copyChunk(const WebPDemuxer* demux, const char* fourcc, std::vector<uint8_t>& out)
{
    WebPChunkIterator chunk;
    if (WebPDemuxGetChunk(demux, fourcc, 1, &chunk))
        out.assign(chunk.chunk.bytes, chunk.chunk.bytes + chunk.chunk.size);
    WebPDemuxReleaseChunkIterator(&chunk);
}

// An EXIF chunk may start with the "Exif\0\0" of a JPEG's APP1 segment.
void dropExifHeader(std::vector<uint8_t>& exif)
{
    if (exif.size() >= 6 && std::memcmp(exif.data(), "Exif\0\0", 6) == 0)
        exif.erase(exif.begin(), exif.begin() + 6);
}

Status addChunk(WebPMux* mux, const char* fourcc, const std::vector<uint8_t>& bytes)
{
    if (bytes.empty()) return success();
    const WebPData data{bytes.data(), bytes.size()};
    return WebPMuxSetChunk(mux, fourcc, &data, 1) == WEBP_MUX_OK ? success()
                                                                  : Status{exitBadData, "mux"};
}

}  // namespace

Status decodeWebp(const std::vector<uint8_t>& bytes, const std::string& name, Image& image)
{
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(bytes.data(), bytes.size(), &features) != VP8_STATUS_OK)
        return badData(name + ": corrupt WebP: no readable header");
    if (features.has_animation) return badData(name + ": an animated WebP, not a still image");
    if (!imageSizeAllowed(features.width, features.height))
        return badData(name + ": " + imageTooLargeText());
    image.width = features.width;
    image.height = features.height;
    image.hasAlpha = features.has_alpha != 0;
    image.format = ImageFormat::webp;
    image.webpLossless = features.format == 2;
    if (!image.webpLossless) image.jpegQuality = estimateWebpQuality(bytes);
    image.words.assign(size_t(image.width) * size_t(image.height), 0);
    const size_t stride = size_t(image.width) * 4;
    if (!WebPDecodeBGRAInto(bytes.data(), bytes.size(),
                            reinterpret_cast<uint8_t*>(image.words.data()),
                            stride * size_t(image.height), static_cast<int>(stride))) {
        image = Image{};
        return badData(name + ": corrupt WebP: the picture cannot be decoded");
    }
    if (!image.hasAlpha)
        for (uint32_t& w : image.words) w &= 0xFFFFFF;

    const WebPData data{bytes.data(), bytes.size()};
    WebPDemuxer* demux = WebPDemux(&data);
    if (demux) {
        copyChunk(demux, "ICCP", image.icc);
        copyChunk(demux, "EXIF", image.exif);
        copyChunk(demux, "XMP ", image.xmp);
        WebPDemuxDelete(demux);
        dropExifHeader(image.exif);
    }
    return success();
}

Status encodeWebp(const Image& image, int32_t quality, bool lossless, const std::string& name,
                  const ByteSink& sink, const EncodeSettings& settings)
{
    WebPConfig config;
    WebPPicture picture;
    if (!WebPConfigInit(&config) || !WebPPictureInit(&picture))
        return badData(name + ": cannot encode WebP: libwebp's version differs");
    config.lossless = lossless ? 1 : 0;
    config.quality = lossless ? 75.0f : static_cast<float>(quality);
    config.exact = image.hasAlpha ? 1 : 0;  // the colour under transparent pixels is kept
    picture.use_argb = 1;
    picture.width = image.width;
    picture.height = image.height;
    WebPMemoryWriter memory;
    WebPMemoryWriterInit(&memory);
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &memory;
    // The engine's words are the ARGB that libwebp takes; without alpha the
    // top byte must read opaque.
    bool ok = WebPPictureAlloc(&picture) != 0;
    for (int32_t y = 0; ok && y < image.height; ++y) {
        const uint32_t* row = image.words.data() + size_t(y) * size_t(image.width);
        uint32_t* out = picture.argb + size_t(y) * size_t(picture.argb_stride);
        for (int32_t x = 0; x < image.width; ++x)
            out[x] = image.hasAlpha ? row[x] : (row[x] | 0xFF000000u);
    }
    ok = ok && WebPEncode(&config, &picture);
    const int error = picture.error_code;
    WebPPictureFree(&picture);
    if (!ok) {
        WebPMemoryWriterClear(&memory);
        return badData(name + ": cannot encode WebP (libwebp error " + std::to_string(error) + ")");
    }

    // The container around the bitstream, with the metadata chunks.
    WebPMux* mux = WebPMuxNew();
    const WebPData bitstream{memory.mem, memory.size};
    Status s = mux && WebPMuxSetImage(mux, &bitstream, 1) == WEBP_MUX_OK
                   ? success()
                   : Status{exitBadData, "mux"};
    WebPMemoryWriterClear(&memory);
    if (s.ok()) s = addChunk(mux, "ICCP", image.icc);
    if (s.ok()) s = addChunk(mux, "EXIF", image.exif);
    if (s.ok()) s = addChunk(mux, "XMP ", image.xmp);
    WebPData assembled{nullptr, 0};
    if (s.ok() && WebPMuxAssemble(mux, &assembled) != WEBP_MUX_OK) s = Status{exitBadData, "mux"};
    WebPMuxDelete(mux);
    if (!s.ok()) {
        WebPDataClear(&assembled);
        return badData(name + ": cannot encode WebP: its chunks cannot be assembled");
    }
    if (image.density.x > 0) noteLost(settings.lost, "the pixel density (a WebP holds none)");
    const bool written = sink.write(sink.context, assembled.bytes, assembled.size);
    WebPDataClear(&assembled);
    return written ? success() : Status{exitBadData, ""};
}
