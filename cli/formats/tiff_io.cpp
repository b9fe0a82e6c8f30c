// TIFF through libtiff, from and into memory. Grey and RGB of 8 and 16 bits,
// with or without alpha, in strips, are read row by row at their own depth;
// any other kind libtiff knows (palette, bilevel, tiles, YCbCr, planes) goes
// through its RGBA reader at 8 bits. The first page is the picture. The
// orientation tag and the EXIF directory become an EXIF block, and become
// them again; the profile, XMP and resolution tags travel as they are.
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "cli/formats/codecs.h"
#include "cli/formats/exif_orientation.h"
#include "cli/formats/tiff_exif.h"
#include "cli/formats/tiff_memory.h"

namespace {

// Deflate inflates a byte to at most 1032, and an LZW code of 9 to 12 bits
// to at most 4096 bytes: what no compressed file can exceed.
constexpr uint64_t mostInflation = 4096 * 8 / 9 + 1;

// The layout the row reader takes; anything else goes to libtiff's RGBA reader.
struct Layout {
    uint16_t bits = 0, samples = 0, photometric = 0, planar = 0;
    bool alpha = false, grey = false;
};

bool rowsReadable(TIFF* tiff, const Layout& l)
{
    const bool colours =
        (l.photometric == PHOTOMETRIC_RGB && (l.samples == 3 || l.samples == 4)) ||
        (l.photometric == PHOTOMETRIC_MINISBLACK && (l.samples == 1 || l.samples == 2));
    return colours && (l.bits == 8 || l.bits == 16) && !TIFFIsTiled(tiff) &&
           (l.planar == PLANARCONFIG_CONTIG || l.samples == 1);
}

// The samples of one row, grey spread to the three colours: 8 bits straight
// into words, 16 bits into deep (the words follow from those at the end).
void takeRow(const uint8_t* row, const Layout& l, uint32_t width, uint32_t* words, uint16_t* deep)
{
    const uint32_t colours = l.grey ? 1 : 3, channels = l.alpha ? 4 : 3;
    for (uint32_t x = 0; x < width; ++x) {
        uint16_t s[4] = {0, 0, 0, 0xFFFF};
        for (uint32_t c = 0; c < colours + (l.alpha ? 1u : 0u); ++c) {
            const size_t at = size_t{x} * l.samples + c;
            uint16_t v = row[at];
            if (l.bits == 16) std::memcpy(&v, row + at * 2, 2);  // libtiff gives host order
            s[c < colours ? c : 3] = v;
        }
        if (l.grey) s[1] = s[2] = s[0];
        if (deep)
            std::copy(s, s + channels, deep + size_t{x} * channels);
        else
            words[x] = (l.alpha ? uint32_t{s[3]} << 24 : 0u) | uint32_t{s[0]} << 16 |
                       uint32_t{s[1]} << 8 | s[2];
    }
}

// Returns nullptr on success, else what is wrong.
const char* readRows(TIFF* tiff, const Layout& l, Image& image, bool keepGoing,
                     const Progress* progress)
{
    const uint32_t width = uint32_t(image.width), height = uint32_t(image.height);
    const tmsize_t rowBytes = TIFFScanlineSize(tiff);
    if (rowBytes <= 0 || uint64_t(rowBytes) < uint64_t{width} * l.samples * (l.bits / 8))
        return "unexpected row layout";
    std::vector<uint8_t> row(static_cast<size_t>(rowBytes));
    if (l.bits == 16) image.deep.assign(size_t{width} * height * (l.alpha ? 4 : 3), 0);
    for (uint32_t y = 0; y < height; ++y) {
        if (TIFFReadScanline(tiff, row.data(), y, 0) < 0) {
            if (!keepGoing) return "a row cannot be decoded";
            if (image.damage.empty())
                image.damage = "row " + std::to_string(y) + " cannot be decoded";
            std::fill(row.begin(), row.end(), 0);
        }
        takeRow(row.data(), l, width, image.words.data() + size_t{y} * width,
                image.deep.empty() ? nullptr
                                   : image.deep.data() + size_t{y} * width * (l.alpha ? 4 : 3));
        tellProgress(progress, y, height);
    }
    if (!image.deep.empty()) wordsFromDeep(image);
    return nullptr;
}

const char* readRgba(TIFF* tiff, Image& image, uint16_t orientation)
{
    // In the rows' own order: the orientation travels as a tag, not applied.
    if (!TIFFReadRGBAImageOriented(tiff, uint32_t(image.width), uint32_t(image.height),
                                   image.words.data(), orientation, 0))
        return "the picture cannot be decoded";
    for (uint32_t& p : image.words) {  // A, B, G, R from the top down to words
        const uint32_t r = p & 0xFF, g = p >> 8 & 0xFF, b = p >> 16 & 0xFF;
        p = (image.hasAlpha ? p & 0xFF000000u : 0) | r << 16 | g << 8 | b;
    }
    return nullptr;
}

void readTags(TIFF* tiff, const std::vector<uint8_t>& bytes, Image& image)
{
    uint32_t count = 0;
    void* data = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_ICCPROFILE, &count, &data) && data)
        image.icc.assign(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + count);
    if (TIFFGetField(tiff, TIFFTAG_XMLPACKET, &count, &data) && data)
        image.xmp.assign(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + count);
    // The EXIF and GPS directories become an EXIF block with the orientation
    // in it; or an orientation other than 1 a block of its own.
    uint16_t orientation = 0;
    if (!TIFFGetField(tiff, TIFFTAG_ORIENTATION, &orientation) || orientation > 8) orientation = 0;
    uint64_t exifAt = 0, gpsAt = 0;
    TIFFGetField(tiff, TIFFTAG_EXIFIFD, &exifAt);
    TIFFGetField(tiff, TIFFTAG_GPSIFD, &gpsAt);
    image.exif = exifFromTiff(bytes, exifAt, gpsAt, orientation);
    if (image.exif.empty() && orientation >= 2) setExifOrientation(image.exif, orientation);
    float x = 0, y = 0;
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &x) &&
        TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &y) && x >= 0.5f && y >= 0.5f && x < 1e9f &&
        y < 1e9f)
        image.density = {uint32_t(std::lround(x)), uint32_t(std::lround(y)),
                         unit == RESUNIT_CENTIMETER ? DensityUnit::centimetre
                         : unit == RESUNIT_INCH     ? DensityUnit::inch
                                                    : DensityUnit::none};
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    image.tiffCompression = compression;
}

const char* readTiff(TIFF* tiff, const std::vector<uint8_t>& bytes, Image& image, bool keepGoing,
                     const Progress* progress)
{
    uint32_t width = 0, height = 0;
    Layout l;
    uint16_t extraCount = 0, orientation = ORIENTATION_TOPLEFT;
    uint16_t* extra = nullptr;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    if (!imageSizeAllowed(width, height)) return imageTooLarge;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &l.bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &l.samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &l.planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &orientation);
    if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &l.photometric)) return "no photometric tag";
    // A header can claim any size: the file must be able to hold the picture.
    const uint64_t pixelBytes =
        uint64_t{width} * height * l.samples * std::max<uint16_t>(l.bits, 1) / 8;
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    const uint64_t inflation = compression == COMPRESSION_NONE ? 1 : mostInflation;
    if (pixelBytes / inflation > bytes.size()) return "too little image data for its size";

    image.width = int32_t(width);
    image.height = int32_t(height);
    image.format = ImageFormat::tiff;
    image.grey = l.photometric == PHOTOMETRIC_MINISBLACK || l.photometric == PHOTOMETRIC_MINISWHITE;
    l.grey = l.photometric == PHOTOMETRIC_MINISBLACK;
    image.hasAlpha = extraCount >= 1 && extra &&
                     (extra[0] == EXTRASAMPLE_ASSOCALPHA || extra[0] == EXTRASAMPLE_UNASSALPHA);
    l.alpha = image.hasAlpha;
    readTags(tiff, bytes, image);
    image.words.assign(size_t{width} * height, 0);
    if (rowsReadable(tiff, l) && l.samples == (l.grey ? 1 : 3) + (l.alpha ? 1 : 0))
        return readRows(tiff, l, image, keepGoing, progress);
    return readRgba(tiff, image, orientation);
}

// What compression an output takes: the input's when a TIFF of ours, else LZW.
uint16_t outputCompression(const Image& image)
{
    const uint16_t c = image.tiffCompression;
    return c == COMPRESSION_NONE || c == COMPRESSION_LZW || c == COMPRESSION_ADOBE_DEFLATE ||
                   c == COMPRESSION_DEFLATE
               ? (c == COMPRESSION_DEFLATE ? uint16_t{COMPRESSION_ADOBE_DEFLATE} : c)
               : uint16_t{COMPRESSION_LZW};
}

bool writeTags(TIFF* tiff, const Image& image, bool grey, bool deep)
{
    const uint16_t channels = uint16_t((grey ? 1 : 3) + (image.hasAlpha ? 1 : 0));
    const uint16_t compression =
        image.format == ImageFormat::tiff ? outputCompression(image) : uint16_t{COMPRESSION_LZW};
    bool ok =
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(image.width)) &&
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(image.height)) &&
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, deep ? 16 : 8) &&
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, channels) &&
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, grey ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB) &&
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, compression) &&
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0));
    if (compression != COMPRESSION_NONE)
        ok = ok && TIFFSetField(tiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    if (image.hasAlpha) {
        const uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
        ok = ok && TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    if (!image.icc.empty())
        ok = ok &&
             TIFFSetField(tiff, TIFFTAG_ICCPROFILE, uint32_t(image.icc.size()), image.icc.data());
    if (!image.xmp.empty())
        ok = ok &&
             TIFFSetField(tiff, TIFFTAG_XMLPACKET, uint32_t(image.xmp.size()), image.xmp.data());
    const int32_t orientation = exifOrientation(image.exif);
    if (orientation > 1) ok = ok && TIFFSetField(tiff, TIFFTAG_ORIENTATION, uint16_t(orientation));
    if (image.density.x > 0) {
        const uint16_t unit = image.density.unit == DensityUnit::inch   ? RESUNIT_INCH
                              : image.density.unit == DensityUnit::none ? RESUNIT_NONE
                                                                        : RESUNIT_CENTIMETER;
        const double perMetre = image.density.unit == DensityUnit::metre ? 0.01 : 1.0;
        ok = ok && TIFFSetField(tiff, TIFFTAG_XRESOLUTION, float(image.density.x * perMetre)) &&
             TIFFSetField(tiff, TIFFTAG_YRESOLUTION, float(image.density.y * perMetre)) &&
             TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, unit);
    }
    return ok;
}

// One row of the output: words or deep samples, in the output's channels.
void giveRow(const Image& image, int32_t y, bool grey, uint8_t* row)
{
    const size_t width = size_t(image.width);
    const size_t in = size_t(deepChannels(image));
    const size_t out = (grey ? 1 : 3) + (image.hasAlpha ? 1 : 0);
    for (size_t x = 0; x < width; ++x) {
        uint16_t s[4];
        if (!image.deep.empty()) {
            const uint16_t* p = image.deep.data() + (size_t(y) * width + x) * in;
            s[0] = p[0], s[1] = p[1], s[2] = p[2], s[3] = in == 4 ? p[3] : 0;
        } else {
            const uint32_t w = image.words[size_t(y) * width + x];
            s[0] = w >> 16 & 0xFF, s[1] = w >> 8 & 0xFF, s[2] = w & 0xFF, s[3] = w >> 24;
        }
        if (grey) s[1] = s[3];
        for (size_t c = 0; c < out; ++c) {
            if (image.deep.empty())
                row[x * out + c] = static_cast<uint8_t>(s[c]);
            else
                std::memcpy(row + (x * out + c) * 2, &s[c], 2);
        }
    }
}

}  // namespace

Status decodeTiff(const std::vector<uint8_t>& bytes, const std::string& name, Image& image,
                  bool keepGoing, const Progress* progress)
{
    TiffMemory memory;
    memory.data = bytes.data();
    memory.size = bytes.size();
    TIFF* tiff = openTiff(memory, "rm");
    const char* wrong = tiff ? nullptr : "no readable header";
    if (tiff) {
        try {
            wrong = readTiff(tiff, bytes, image, keepGoing, progress);
        } catch (...) {  // out of memory for the picture
            TIFFClose(tiff);
            image = Image{};
            throw;
        }
        const tdir_t pages = wrong ? 1 : TIFFNumberOfDirectories(tiff);
        if (pages > 1)
            image.left = "the other " + std::to_string(pages - 1) +
                         (pages == 2 ? " page is" : " pages are") +
                         " left out (only the first is read)";
        TIFFClose(tiff);
    }
    if (wrong) {
        const std::string why = wrong == imageTooLarge ? imageTooLargeText()
                                : memory.error[0]
                                    ? std::string(wrong) + " (" + libraryPhrase(memory.error) + ")"
                                    : std::string(wrong);
        image = Image{};
        return badData(name + (wrong == imageTooLarge ? ": " : ": corrupt TIFF: ") + why);
    }
    if (!image.damage.empty() && memory.error[0])
        image.damage += " (" + libraryPhrase(memory.error) + ")";
    return success();
}

Status encodeTiff(const Image& image, const std::string& name, const ByteSink& sink,
                  const EncodeSettings& settings)
{
    const bool grey = image.grey && allGrey(image);
    const bool deep = !image.deep.empty();
    std::vector<uint8_t> bytes;
    TiffMemory memory;
    memory.out = &bytes;
    TIFF* tiff = openTiff(memory, "wm");
    if (!tiff) return badData(name + ": cannot encode TIFF: " + libraryPhrase(memory.error));
    bool ok = writeTags(tiff, image, grey, deep);
    const size_t channels = (grey ? 1 : 3) + (image.hasAlpha ? 1 : 0);
    std::vector<uint8_t> row(size_t(image.width) * channels * (deep ? 2 : 1));
    for (int32_t y = 0; ok && y < image.height; ++y) {
        tellProgress(settings.progress, y, image.height);
        giveRow(image, y, grey, row.data());
        ok = TIFFWriteScanline(tiff, row.data(), uint32_t(y), 0) == 1;
    }
    ok = ok && TIFFWriteDirectory(tiff);
    TIFFClose(tiff);
    if (memory.full) return badData(name + ": out of memory");
    if (!ok) return badData(name + ": cannot encode TIFF: " + libraryPhrase(memory.error));
    // The orientation went as a tag; the rest of an EXIF block goes as the
    // file's EXIF directory.
    if (exifBeyondOrientation(image.exif) && !addExifToTiff(bytes, image.exif))
        noteLost(settings.lost, "part of the EXIF block (the interoperability directory, or tags "
                                "a TIFF takes no copy of)");
    return sink.write(sink.context, bytes.data(), bytes.size()) ? success()
                                                                : Status{exitBadData, ""};
}
