// HEIF (HEVC pictures, .heic) and AVIF (AV1 pictures) through libheif: the
// primary picture (at 16 bits when it has more than 8), its ICC profile, EXIF
// block and XMP; written at 10 bits when the picture has deep samples, else
// at 8. libheif
// turns and mirrors the picture as the file's transforms say while it
// decodes, so the rows come as they are shown: the EXIF orientation is then
// set to 1, or another program would turn the picture a second time. On
// writing, an EXIF orientation becomes the file's transforms in the same way.
#include <libheif/heif.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "cli/formats/codecs.h"
#include "cli/formats/exif_orientation.h"

namespace {

struct ContextFree {
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleFree {
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageFree {
    void operator()(heif_image* i) const { heif_image_release(i); }
};
struct EncoderFree {
    void operator()(heif_encoder* e) const { heif_encoder_release(e); }
};
using Context = std::unique_ptr<heif_context, ContextFree>;
using Handle = std::unique_ptr<heif_image_handle, HandleFree>;
using Picture = std::unique_ptr<heif_image, ImageFree>;
using Encoder = std::unique_ptr<heif_encoder, EncoderFree>;

const char* familyName(ImageFormat format)
{
    return format == ImageFormat::avif ? "AVIF" : "HEIF";
}

heif_compression_format compressionOf(ImageFormat format)
{
    return format == ImageFormat::avif ? heif_compression_AV1 : heif_compression_HEVC;
}

// The picture's EXIF block without the four bytes before its TIFF stream
// (their offset to it), and its XMP packet.
void readMetadata(const heif_image_handle* handle, Image& image)
{
    const int count = heif_image_handle_get_number_of_metadata_blocks(handle, nullptr);
    if (count <= 0) return;
    std::vector<heif_item_id> ids(static_cast<size_t>(count));
    heif_image_handle_get_list_of_metadata_block_IDs(handle, nullptr, ids.data(), count);
    for (heif_item_id id : ids) {
        const char* typeText = heif_image_handle_get_metadata_type(handle, id);
        const char* contentText = heif_image_handle_get_metadata_content_type(handle, id);
        const std::string type = typeText ? typeText : "";
        const std::string content = contentText ? contentText : "";
        const bool exif = type == "Exif" && image.exif.empty();
        const bool xmp = type == "mime" && content == "application/rdf+xml" && image.xmp.empty();
        if (!exif && !xmp) continue;
        std::vector<uint8_t> data(heif_image_handle_get_metadata_size(handle, id));
        if (heif_image_handle_get_metadata(handle, id, data.data()).code != heif_error_Ok) continue;
        if (xmp) {
            image.xmp = std::move(data);
            continue;
        }
        if (data.size() < 4) continue;
        const uint32_t offset =
            uint32_t{data[0]} << 24 | uint32_t{data[1]} << 16 | uint32_t{data[2]} << 8 | data[3];
        if (offset <= data.size() - 4) image.exif.assign(data.begin() + 4 + offset, data.end());
    }
}

void readProfile(const heif_image_handle* handle, Image& image)
{
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
    if (type != heif_color_profile_type_prof && type != heif_color_profile_type_rICC) return;
    image.icc.resize(heif_image_handle_get_raw_color_profile_size(handle));
    if (image.icc.empty() ||
        heif_image_handle_get_raw_color_profile(handle, image.icc.data()).code != heif_error_Ok)
        image.icc.clear();
}

heif_error writeToSink(heif_context*, const void* data, size_t size, void* context)
{
    const auto* sink = static_cast<const ByteSink*>(context);
    if (sink->write(sink->context, static_cast<const uint8_t*>(data), size))
        return {heif_error_Ok, heif_suberror_Unspecified, "ok"};
    return {heif_error_Encoding_error, heif_suberror_Cannot_write_output_data, ""};
}

// The picture's one interleaved plane, of the image's size and bits a sample.
uint8_t* addPlane(heif_image* picture, const Image& image, int bits, int& stride)
{
    if (heif_image_add_plane(picture, heif_channel_interleaved, image.width, image.height, bits)
            .code != heif_error_Ok)
        return nullptr;
    return heif_image_get_plane(picture, heif_channel_interleaved, &stride);
}

// The words as interleaved RGB or RGBA bytes in the picture's one plane.
bool fillPicture(const Image& image, heif_image* picture)
{
    int stride = 0;
    uint8_t* plane = addPlane(picture, image, 8, stride);
    if (!plane) return false;
    const size_t channels = image.hasAlpha ? 4 : 3;
    for (int32_t y = 0; y < image.height; ++y) {
        const uint32_t* words = image.words.data() + size_t(y) * size_t(image.width);
        uint8_t* row = plane + size_t(y) * size_t(stride);
        for (int32_t x = 0; x < image.width; ++x) {
            const uint32_t w = words[x];
            uint8_t* p = row + size_t(x) * channels;
            p[0] = uint8_t(w >> 16), p[1] = uint8_t(w >> 8), p[2] = uint8_t(w);
            if (channels == 4) p[3] = uint8_t(w >> 24);
        }
    }
    return true;
}

// The deep samples rounded to 10 bits, as little-endian 16-bit words in the
// picture's one plane (RRGGBB or RRGGBBAA).
bool fillDeepPicture(const Image& image, heif_image* picture)
{
    int stride = 0;
    uint8_t* plane = addPlane(picture, image, 10, stride);
    if (!plane) return false;
    const size_t samples = size_t(image.width) * size_t(deepChannels(image));
    for (size_t y = 0; y < size_t(image.height); ++y) {
        const uint16_t* in = image.deep.data() + y * samples;
        uint8_t* row = plane + y * size_t(stride);
        for (size_t i = 0; i < samples; ++i) {
            const uint32_t v = (uint32_t{in[i]} * 1023 + 32767) / 65535;
            row[2 * i] = uint8_t(v), row[2 * i + 1] = uint8_t(v >> 8);
        }
    }
    return true;
}

// Samples of 9 to 16 bits (below range), little-endian, rounded to 16 bits.
void takeDeep(const uint8_t* plane, size_t stride, uint32_t range, Image& image)
{
    const uint32_t most = range - 1;
    const size_t channels = image.hasAlpha ? 4 : 3, width = size_t(image.width);
    image.deep.assign(width * size_t(image.height) * channels, 0);
    for (size_t y = 0; y < size_t(image.height); ++y) {
        const uint8_t* row = plane + y * stride;
        uint16_t* out = image.deep.data() + y * width * channels;
        for (size_t i = 0; i < width * channels; ++i) {
            const uint32_t v = std::min<uint32_t>(row[2 * i] | uint32_t{row[2 * i + 1]} << 8, most);
            out[i] = static_cast<uint16_t>((v * 65535 + most / 2) / most);
        }
    }
}

}  // namespace

bool looksLikeHeif(const std::vector<uint8_t>& bytes)
{
    return heif_check_filetype(bytes.data(), int(std::min<size_t>(bytes.size(), 64))) ==
           heif_filetype_yes_supported;
}

bool heifWritable(ImageFormat format)
{
    return heif_have_encoder_for_format(compressionOf(format)) != 0;
}

Status decodeHeif(const std::vector<uint8_t>& bytes, const std::string& name, Image& image)
{
    const bool avif =
        heif_main_brand(bytes.data(), int(std::min<size_t>(bytes.size(), 64))) == heif_avif;
    const std::string corrupt = name + (avif ? ": corrupt AVIF: " : ": corrupt HEIF: ");
    Context context(heif_context_alloc());
    if (!context) return badData(name + ": out of memory");
    heif_error e = heif_context_read_from_memory_without_copy(context.get(), bytes.data(),
                                                              bytes.size(), nullptr);
    if (e.code != heif_error_Ok) return badData(corrupt + libraryPhrase(e.message));
    heif_image_handle* rawHandle = nullptr;
    e = heif_context_get_primary_image_handle(context.get(), &rawHandle);
    Handle handle(rawHandle);
    if (e.code != heif_error_Ok) return badData(corrupt + libraryPhrase(e.message));
    const int width = heif_image_handle_get_width(handle.get());
    const int height = heif_image_handle_get_height(handle.get());
    if (!imageSizeAllowed(width, height)) return badData(name + ": " + imageTooLargeText());

    // More than 8 bits (10 or 12) come as 16-bit samples in the machine's
    // order, and are kept at 16 bits.
    const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
    const bool deep = heif_image_handle_get_luma_bits_per_pixel(handle.get()) > 8;
    const heif_chroma chroma =
        deep ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
             : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
    heif_image* rawPicture = nullptr;
    e = heif_decode_image(handle.get(), &rawPicture, heif_colorspace_RGB, chroma, nullptr);
    Picture picture(rawPicture);
    if (e.code != heif_error_Ok) return badData(corrupt + libraryPhrase(e.message));
    int stride = 0;
    const uint8_t* plane =
        heif_image_get_plane_readonly(picture.get(), heif_channel_interleaved, &stride);
    if (!plane || heif_image_get_width(picture.get(), heif_channel_interleaved) != width ||
        heif_image_get_height(picture.get(), heif_channel_interleaved) != height)
        return badData(corrupt + "unexpected picture layout");

    image.width = width;
    image.height = height;
    image.hasAlpha = alpha;
    image.format = avif ? ImageFormat::avif : ImageFormat::heif;
    const size_t channels = alpha ? 4 : 3;
    if (deep) {
        const int bits = heif_image_get_bits_per_pixel_range(picture.get(), heif_channel_interleaved);
        if (bits < 9 || bits > 16) return badData(corrupt + "unexpected sample depth");
        takeDeep(plane, size_t(stride), uint32_t{1} << bits, image);
        wordsFromDeep(image);
    }
    if (!deep) image.words.assign(size_t(width) * size_t(height), 0);
    for (int y = 0; !deep && y < height; ++y) {
        const uint8_t* row = plane + size_t(y) * size_t(stride);
        uint32_t* words = image.words.data() + size_t(y) * size_t(width);
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = row + size_t(x) * channels;
            words[x] = uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2] |
                       (alpha ? uint32_t{p[3]} << 24 : 0);
        }
    }
    readProfile(handle.get(), image);
    readMetadata(handle.get(), image);
    if (exifOrientation(image.exif) > 1) setExifOrientation(image.exif, 1);  // turned already
    return success();
}

Status encodeHeif(const Image& image, ImageFormat format, int32_t quality, const std::string& name,
                  const ByteSink& sink, const EncodeSettings& settings)
{
    const std::string cannot = name + ": cannot encode " + familyName(format) + ": ";
    Context context(heif_context_alloc());
    if (!context) return badData(name + ": out of memory");
    heif_encoder* rawEncoder = nullptr;
    heif_error e =
        heif_context_get_encoder_for_format(context.get(), compressionOf(format), &rawEncoder);
    Encoder encoder(rawEncoder);
    if (e.code != heif_error_Ok) return badData(cannot + libraryPhrase(e.message));
    heif_encoder_set_lossy_quality(encoder.get(), quality);

    // libaom, as libheif 1.15 sets it up, stops the program on an assertion
    // for a 10-bit picture (it is told the AV1 profile of 4:2:2 and 12 bits):
    // an AVIF from that encoder is written at 8 bits.
    const char* encoderName = heif_encoder_get_name(encoder.get());
    const bool aom = format == ImageFormat::avif && encoderName &&
                     std::strncmp(encoderName, "AOMedia", 7) == 0;
    const bool deep = !image.deep.empty() && !aom;
    if (!image.deep.empty() && aom)
        noteLost(settings.lost, "the depth beyond 8 bits (libheif's AV1 encoder fails on 10 bits)");
    const heif_chroma chroma =
        deep ? (image.hasAlpha ? heif_chroma_interleaved_RRGGBBAA_LE
                               : heif_chroma_interleaved_RRGGBB_LE)
             : (image.hasAlpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
    heif_image* rawPicture = nullptr;
    e = heif_image_create(image.width, image.height, heif_colorspace_RGB, chroma, &rawPicture);
    Picture picture(rawPicture);
    if (e.code != heif_error_Ok ||
        !(deep ? fillDeepPicture(image, picture.get()) : fillPicture(image, picture.get())))
        return badData(cannot + "out of memory");
    if (!image.icc.empty())
        heif_image_set_raw_color_profile(picture.get(), "prof", image.icc.data(), image.icc.size());

    // The EXIF orientation becomes the file's transforms, and the block's own says 1.
    heif_encoding_options* options = heif_encoding_options_alloc();
    const int32_t orientation = exifOrientation(image.exif);
    if (orientation > 1) options->image_orientation = static_cast<heif_orientation>(orientation);
    heif_image_handle* rawHandle = nullptr;
    e = heif_context_encode_image(context.get(), picture.get(), encoder.get(), options, &rawHandle);
    heif_encoding_options_free(options);
    Handle handle(rawHandle);
    if (e.code != heif_error_Ok) return badData(cannot + libraryPhrase(e.message));
    if (!image.exif.empty()) {
        std::vector<uint8_t> exif = image.exif;
        if (orientation > 1) setExifOrientation(exif, 1);
        e = heif_context_add_exif_metadata(context.get(), handle.get(), exif.data(),
                                           int(exif.size()));
        if (e.code != heif_error_Ok) noteLost(settings.lost, "the EXIF block (libheif refuses it)");
    }
    if (!image.xmp.empty() && heif_context_add_XMP_metadata(context.get(), handle.get(),
                                                            image.xmp.data(), int(image.xmp.size()))
                                      .code != heif_error_Ok)
        noteLost(settings.lost, "the XMP packet (libheif refuses it)");
    if (image.density.x > 0)
        noteLost(settings.lost,
                 std::string("the pixel density (a ") + familyName(format) + " holds none)");

    heif_writer writer{1, writeToSink};
    e = heif_context_write(context.get(), &writer, const_cast<ByteSink*>(&sink));
    if (e.code == heif_error_Encoding_error && e.subcode == heif_suberror_Cannot_write_output_data)
        return Status{exitBadData, ""};  // the sink says why
    if (e.code != heif_error_Ok) return badData(cannot + libraryPhrase(e.message));
    return success();
}
