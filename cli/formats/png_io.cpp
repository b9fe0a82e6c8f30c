// PNG through libpng. libpng reports errors by longjmp, so the functions that
// hold a setjmp keep no object with a destructor of its own between setjmp and
// the calls that may jump; everything they fill lives with their caller.
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "cli/formats/codecs.h"
#include "cli/formats/png_chunks.h"

namespace {

struct PngMemory {
    const uint8_t* data;
    size_t size;
    size_t at;
};

struct PngFailure {
    char text[160];
};

void onPngError(png_structp png, png_const_charp message)
{
    auto* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
    std::snprintf(failure->text, sizeof failure->text, "%s", message);
    png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

void readFromMemory(png_structp png, png_bytep out, size_t count)
{
    auto* in = static_cast<PngMemory*>(png_get_io_ptr(png));
    if (count > in->size - in->at) png_error(png, "file ends early");
    std::memcpy(out, in->data + in->at, count);
    in->at += count;
}

// Deflate codes a run of 258 bytes in two bits at best, so no stream inflates
// to more than 1032 times its size.
constexpr uint64_t deflateMostInflation = 1032;

// What the pixels inflate to: a filter byte and the packed samples of every
// row, of each of the seven passes when the image is interlaced.
uint64_t filteredPixelBytes(uint64_t width, uint64_t height, uint64_t bitsPerPixel,
                            bool interlaced)
{
    const auto rows = [bitsPerPixel](uint64_t columns, uint64_t count) {
        return columns == 0 ? 0 : count * (1 + (columns * bitsPerPixel + 7) / 8);
    };
    if (!interlaced) return rows(width, height);
    uint64_t total = 0;
    for (int pass = 0; pass < 7; ++pass)
        total += rows(PNG_PASS_COLS(width, pass), PNG_PASS_ROWS(height, pass));
    return total;
}

// The key under which an iTXt chunk holds an XMP packet.
constexpr char xmpKey[] = "XML:com.adobe.xmp";

void keepXmp(png_structp png, png_infop info, Image& image)
{
    png_textp texts = nullptr;
    const int count = png_get_text(png, info, &texts, nullptr);
    for (int i = 0; i < count; ++i)
        if (texts[i].compression >= PNG_ITXT_COMPRESSION_NONE &&
            std::strcmp(texts[i].key, xmpKey) == 0 && texts[i].text) {
            const auto* text = reinterpret_cast<const uint8_t*>(texts[i].text);
            image.xmp.assign(text, text + texts[i].itxt_length);
            return;
        }
}

// Returns nullptr on success, else what is wrong.
const char* readPng(png_structp png, png_infop info, PngMemory* in, PngFailure* failure,
                    Image& image, const Progress* progress)
{
    if (setjmp(png_jmpbuf(png))) return failure->text;
    png_set_read_fn(png, in, readFromMemory);
    png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);  // the bounds are ours, below
    png_read_info(png, info);

    const uint32_t width = png_get_image_width(png, info);
    const uint32_t height = png_get_image_height(png, info);
    if (!imageSizeAllowed(width, height))
        return imageTooLarge;
    // A header can claim any size: before the picture is allocated, the
    // compressed data must be able to hold it.
    const uint64_t bitsPerPixel =
        uint64_t{png_get_bit_depth(png, info)} * png_get_channels(png, info);
    const bool interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    if (filteredPixelBytes(width, height, bitsPerPixel, interlaced) >
        deflateMostInflation * compressedPixelBytes(in->data, in->size)) {
        std::snprintf(failure->text, sizeof failure->text,
                      "too little image data for %ux%u pixels", width, height);
        return failure->text;
    }
    // The profile and the EXIF block that come before the pixels.
    png_charp profileName = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 profileSize = 0;
    if (png_get_iCCP(png, info, &profileName, &compression, &profile, &profileSize) != 0)
        image.icc.assign(profile, profile + profileSize);
    png_bytep exif = nullptr;
    png_uint_32 exifSize = 0;
    if (png_get_eXIf_1(png, info, &exifSize, &exif) != 0) image.exif.assign(exif, exif + exifSize);

    keepPngChunks(in->data, in->size, image);
    keepXmp(png, info, image);
    const int colorType = png_get_color_type(png, info);
    image.grey = (colorType & PNG_COLOR_MASK_COLOR) == 0;
    const bool alpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0 ||
                       png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    const bool deep = png_get_bit_depth(png, info) == 16;

    // To 8-bit B, G, R, A bytes, which are the engine's words in memory; or
    // to 16-bit R, G, B (A) samples in the machine's byte order.
    png_set_expand(png);  // palette to RGB, low-bit grey to 8 bits, tRNS to alpha
    png_set_gray_to_rgb(png);
    if (deep) {
        png_set_swap(png);
    } else {
        png_set_bgr(png);
        if (!alpha) png_set_filler(png, 0, PNG_FILLER_AFTER);
    }
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const size_t channels = alpha ? 4 : 3;
    if (png_get_rowbytes(png, info) != (deep ? size_t{width} * channels * 2 : size_t{width} * 4))
        return "unexpected row layout";

    image.width = static_cast<int32_t>(width);
    image.height = static_cast<int32_t>(height);
    image.hasAlpha = alpha;
    image.format = ImageFormat::png;
    if (deep) image.deep.assign(size_t{width} * height * channels, 0);
    else image.words.assign(size_t{width} * height, 0);
    for (int pass = 0; pass < passes; ++pass)
        for (uint32_t y = 0; y < height; ++y) {
            png_bytep row =
                deep ? reinterpret_cast<png_bytep>(image.deep.data() + size_t{y} * width * channels)
                     : reinterpret_cast<png_bytep>(image.words.data() + size_t{y} * width);
            png_read_row(png, row, nullptr);
            tellProgress(progress, int64_t{pass} * height + y, int64_t{passes} * height);
        }
    png_read_end(png, nullptr);
    if (deep) wordsFromDeep(image);
    return nullptr;
}

struct PngSink {
    const ByteSink* sink;
    bool failed;  // the sink's write failed; it says why
};

void writeToSink(png_structp png, png_bytep bytes, size_t count)
{
    auto* out = static_cast<PngSink*>(png_get_io_ptr(png));
    if (!out->sink->write(out->sink->context, bytes, count)) {
        out->failed = true;
        png_error(png, "the output failed");
    }
}

void flushSink(png_structp) {}

// The profile where it fits, else the other colour chunks as they came: an
// sRGB chunk and a profile are never written together.
void setColour(png_structp png, png_infop info, const Image& image, bool grey, std::string* lost)
{
    if (!image.icc.empty()) {
        if (!profileFits(image.icc, grey)) {
            noteLost(lost, grey ? "the ICC profile (not a grey one)"
                                : "the ICC profile (a grey one)");
            return;
        }
        png_set_iCCP(png, info, "ICC profile", PNG_COMPRESSION_TYPE_BASE, image.icc.data(),
                     static_cast<png_uint_32>(image.icc.size()));
        if (png_get_valid(png, info, PNG_INFO_iCCP) == 0)
            noteLost(lost, "the ICC profile (libpng finds it unfit)");
        return;
    }
    const PngColour& c = image.pngColour;
    if (c.srgbIntent >= 0) png_set_sRGB(png, info, c.srgbIntent);
    if (c.gamma != 0) png_set_gAMA_fixed(png, info, static_cast<png_fixed_point>(c.gamma));
    const uint32_t* x = c.chromaticities;
    if (x[0] != 0)
        png_set_cHRM_fixed(png, info, x[0], x[1], x[2], x[3], x[4], x[5], x[6], x[7]);
}

// One row of 16-bit samples as the output holds them: as stored, or the
// grey (and alpha) of each pixel.
png_const_bytep deepRow(const Image& image, int32_t y, bool grey, uint16_t* greyRow)
{
    const size_t width = size_t(image.width), channels = size_t(deepChannels(image));
    const uint16_t* samples = image.deep.data() + size_t(y) * width * channels;
    if (!grey) return reinterpret_cast<png_const_bytep>(samples);
    const size_t step = image.hasAlpha ? 2 : 1;
    for (size_t x = 0; x < width; ++x) {
        greyRow[x * step] = samples[x * channels];
        if (image.hasAlpha) greyRow[x * step + 1] = samples[x * channels + 3];
    }
    return reinterpret_cast<png_const_bytep>(greyRow);
}

const char* writePng(png_structp png, png_infop info, PngSink* out, PngFailure* failure,
                     const Image& image, bool grey, uint8_t* greyRow, png_textp xmp,
                     const EncodeSettings* settings)
{
    if (setjmp(png_jmpbuf(png))) return failure->text;
    png_set_write_fn(png, out, writeToSink, flushSink);
    const bool deep = !image.deep.empty();
    const int type = grey ? (image.hasAlpha ? PNG_COLOR_TYPE_GRAY_ALPHA : PNG_COLOR_TYPE_GRAY)
                          : (image.hasAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB);
    png_set_IHDR(png, info, static_cast<uint32_t>(image.width),
                 static_cast<uint32_t>(image.height), deep ? 16 : 8, type, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (xmp) png_set_text(png, info, xmp, 1);
    // A chunk libpng finds unfit (an inconsistent profile) is left out
    // rather than failing the picture.
    png_set_benign_errors(png, 1);
    setColour(png, info, image, grey, settings->lost);
    const Density density = pngDensity(image.density);
    if (density.x > 0)
        png_set_pHYs(png, info, density.x, density.y,
                     density.unit == DensityUnit::metre ? PNG_RESOLUTION_METER
                                                        : PNG_RESOLUTION_UNKNOWN);
    if (!image.exif.empty())
        png_set_eXIf_1(png, info, static_cast<png_uint_32>(image.exif.size()),
                       const_cast<png_bytep>(image.exif.data()));
    png_write_info(png, info);
    if (deep) {
        png_set_swap(png);  // the machine's order to PNG's
        for (int32_t y = 0; y < image.height; ++y) {
            tellProgress(settings->progress, y, image.height);
            png_write_row(png, deepRow(image, y, grey, reinterpret_cast<uint16_t*>(greyRow)));
        }
        png_write_end(png, nullptr);
        return nullptr;
    }
    if (!grey) {
        png_set_bgr(png);
        if (!image.hasAlpha) png_set_filler(png, 0, PNG_FILLER_AFTER);  // drops the top byte
    }
    const size_t width = size_t(image.width);
    for (int32_t y = 0; y < image.height; ++y) {
        tellProgress(settings->progress, y, image.height);
        const uint32_t* words = image.words.data() + size_t(y) * width;
        if (!grey) {
            png_write_row(png, reinterpret_cast<png_const_bytep>(words));
            continue;
        }
        const size_t step = image.hasAlpha ? 2 : 1;
        for (size_t x = 0; x < width; ++x) {
            greyRow[x * step] = static_cast<uint8_t>(words[x]);
            if (image.hasAlpha) greyRow[x * step + 1] = static_cast<uint8_t>(words[x] >> 24);
        }
        png_write_row(png, greyRow);
    }
    png_write_end(png, nullptr);
    return nullptr;
}

}  // namespace

Status decodePng(const std::vector<uint8_t>& bytes, const std::string& name, Image& image,
                 const Progress* progress)
{
    PngMemory in{bytes.data(), bytes.size(), 0};
    PngFailure failure{};
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &failure, onPngError, onPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return badData(name + ": out of memory");
    }
    const char* wrong = readPng(png, info, &in, &failure, image, progress);
    png_destroy_read_struct(&png, &info, nullptr);
    if (wrong) {
        image = Image{};
        if (wrong == imageTooLarge) return badData(name + ": " + imageTooLargeText());
        return badData(name + ": corrupt PNG: " + wrong);
    }
    return success();
}

Status encodePng(const Image& image, const std::string& name, const ByteSink& sink,
                 const EncodeSettings& settings)
{
    const bool grey = image.grey && allGrey(image);
    // Room for a grey row of 16-bit grey and alpha, uint16_t-aligned.
    std::vector<uint16_t> greyRow(grey ? size_t(image.width) * 2 : 0);
    // The XMP packet as iTXt text, which libpng takes ended by a 0.
    std::string xmpText(image.xmp.begin(), image.xmp.end());
    png_text xmp{};
    xmp.compression = PNG_ITXT_COMPRESSION_NONE;
    xmp.key = const_cast<png_charp>(xmpKey);
    xmp.text = xmpText.data();
    xmp.itxt_length = xmpText.size();
    PngSink out{&sink, false};
    PngFailure failure{};
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &failure, onPngError, onPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return badData(name + ": out of memory");
    }
    const char* wrong =
        writePng(png, info, &out, &failure, image, grey, reinterpret_cast<uint8_t*>(greyRow.data()),
                 image.xmp.empty() ? nullptr : &xmp, &settings);
    png_destroy_write_struct(&png, &info);
    if (out.failed) return Status{exitBadData, ""};
    if (wrong) return badData(name + ": cannot encode PNG: " + wrong);
    return success();
}
