#include <png.h>
#include <tiffio.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>  // before jpeglib.h
#include <jpeglib.h>
#include <webp/encode.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "cli/formats/exif_orientation.h"
#include "cli/formats/image.h"
#include "cli/formats/jpeg_quality.h"
#include "cli/formats/webp_quality.h"

namespace {

std::vector<uint8_t> bytesOf(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

// Test inputs in layouts the tool itself never writes, through libpng's
// simplified writer.
std::vector<uint8_t> simplePng(uint32_t format, int32_t width, int32_t height, const void* pixels,
                               const void* colormap = nullptr, uint32_t entries = 0)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<uint32_t>(width);
    image.height = static_cast<uint32_t>(height);
    image.format = format;
    image.colormap_entries = entries;
    png_alloc_size_t size = 0;
    EXPECT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, pixels, 0, colormap));
    std::vector<uint8_t> bytes(size);
    EXPECT_TRUE(png_image_write_to_memory(&image, bytes.data(), &size, 0, pixels, 0, colormap));
    bytes.resize(size);
    return bytes;
}

Image decoded(const std::vector<uint8_t>& bytes)
{
    Image image;
    const Status s = decodeImage(bytes, "test", image);
    EXPECT_TRUE(s.ok()) << s.message;
    return image;
}

// An RGB (or grey) display profile without tags, as libpng accepts it,
// padded to size bytes.
std::vector<uint8_t> profile(uint32_t size, const char* space = "RGB ")
{
    std::vector<uint8_t> icc(size, 0);
    for (int i = 0; i < 4; ++i) icc[size_t(i)] = static_cast<uint8_t>(size >> (24 - 8 * i));
    std::memcpy(&icc[12], "mntr", 4);
    std::memcpy(&icc[16], space, 4);
    std::memcpy(&icc[20], "XYZ ", 4);
    std::memcpy(&icc[36], "acsp", 4);
    icc[9] = 0x40;  // version 4
    for (size_t i = 132; i < size; ++i) icc[i] = static_cast<uint8_t>(i * 7);
    return icc;
}

// An 8 x 8 grey JPEG of 505 scans: the DC coefficient, then each AC
// coefficient on its own, one bit at a time from bit 7 down.
std::vector<uint8_t> manyScanJpeg()
{
    jpeg_compress_struct c{};
    jpeg_error_mgr errors{};
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    unsigned char* data = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &data, &size);
    c.image_width = c.image_height = 8;
    c.input_components = 1;
    c.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    std::vector<jpeg_scan_info> scans{{1, {0}, 0, 0, 0, 0}};
    for (int k = 1; k < 64; ++k)
        for (int bit = 7; bit >= 0; --bit) scans.push_back({1, {0}, k, k, bit == 7 ? 0 : bit + 1, bit});
    c.scan_info = scans.data();
    c.num_scans = static_cast<int>(scans.size());
    jpeg_start_compress(&c, TRUE);
    JSAMPLE row[8] = {0, 250, 3, 200, 90, 17, 255, 60};
    for (JSAMPROW r = row; c.next_scanline < 8; row[0] += 31) jpeg_write_scanlines(&c, &r, 1);
    jpeg_finish_compress(&c);
    std::vector<uint8_t> bytes(data, data + size);
    std::free(data);
    jpeg_destroy_compress(&c);
    return bytes;
}

// A 32 x 16 JPEG as another program would write it: libjpeg at a quality,
// colour halved h times across and v times down, or grey.
std::vector<uint8_t> libjpegFile(int quality, int h, int v, bool grey)
{
    jpeg_compress_struct c{};
    jpeg_error_mgr errors{};
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    unsigned char* data = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &data, &size);
    c.image_width = 32;
    c.image_height = 16;
    c.input_components = grey ? 1 : 3;
    c.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    c.comp_info[0].h_samp_factor = h;
    c.comp_info[0].v_samp_factor = v;
    jpeg_start_compress(&c, TRUE);
    JSAMPLE row[32 * 3];
    for (JSAMPROW r = row; c.next_scanline < 16;) {
        for (int i = 0; i < 96; ++i) row[i] = static_cast<JSAMPLE>(i * 37 + c.next_scanline * 11);
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> bytes(data, data + size);
    std::free(data);
    jpeg_destroy_compress(&c);
    return bytes;
}

Image sample(bool alpha)
{
    Image image;
    image.width = 5;
    image.height = 3;
    image.hasAlpha = alpha;
    for (uint32_t i = 0; i < 15; ++i)
        image.words.push_back((alpha ? (i * 17) << 24 : 0) | (i * 13) << 16 | (250 - i) << 8 | i);
    return image;
}

}  // namespace

TEST(Image, SixteenBitPngAndPamReduceAlike)
{
    EXPECT_EQ(scaleSample(128, 65535), 0);  // 0.498
    EXPECT_EQ(scaleSample(129, 65535), 1);  // 0.502
    EXPECT_EQ(scaleSample(7, 1), 255);      // held to maxval first
    // Every 16-bit value once, as a 256 x 256 grey image, in both formats.
    std::vector<uint16_t> grey(65536);
    std::string pam = "P5\n256 256\n65535\n";
    for (uint32_t v = 0; v < 65536; ++v) {
        grey[v] = static_cast<uint16_t>(v);
        pam += static_cast<char>(v >> 8);
        pam += static_cast<char>(v & 0xFF);
    }
    const Image fromPng = decoded(simplePng(PNG_FORMAT_LINEAR_Y, 256, 256, grey.data()));
    const Image fromPgm = decoded(bytesOf(pam));
    ASSERT_EQ(fromPng.words.size(), 65536u);
    ASSERT_EQ(fromPgm.words.size(), 65536u);
    for (uint32_t v = 0; v < 65536; ++v) {
        const uint32_t s = scaleSample(v, 65535);
        ASSERT_EQ(fromPng.words[v], s << 16 | s << 8 | s) << v;
        ASSERT_EQ(fromPgm.words[v], s << 16 | s << 8 | s) << v;
    }
}

TEST(Image, GreyPaletteAndAlphaInputs)
{
    const uint8_t grey[4] = {0, 90, 180, 255};
    Image g = decoded(simplePng(PNG_FORMAT_GRAY, 2, 2, grey));
    EXPECT_FALSE(g.hasAlpha);
    EXPECT_EQ(g.words[1], 0x005A5A5Au);

    const uint8_t greyAlpha[4] = {200, 7, 10, 255};
    g = decoded(simplePng(PNG_FORMAT_GA, 2, 1, greyAlpha));
    EXPECT_TRUE(g.hasAlpha);
    EXPECT_EQ(g.words[0], 0x07C8C8C8u);
    EXPECT_EQ(g.words[1], 0xFF0A0A0Au);

    const uint8_t colormap[8] = {10, 20, 30, 0, 200, 150, 100, 255};  // RGBA entries
    const uint8_t indices[3] = {1, 0, 1};
    const Image p = decoded(simplePng(PNG_FORMAT_RGBA_COLORMAP, 3, 1, indices, colormap, 2));
    EXPECT_TRUE(p.hasAlpha);  // the palette's transparency becomes alpha
    EXPECT_EQ(p.words[0], 0xFFC89664u);
    EXPECT_EQ(p.words[1], 0x000A141Eu);

    const Image n = decoded(bytesOf("P7\nWIDTH 1\nHEIGHT 1\nDEPTH 2\nMAXVAL 255\n"
                                    "TUPLTYPE GRAYSCALE_ALPHA\nENDHDR\n\x40\x80"));
    EXPECT_TRUE(n.hasAlpha);
    EXPECT_EQ(n.format, ImageFormat::pam);
    EXPECT_EQ(n.words[0], 0x80404040u);

    const Image plain = decoded(bytesOf("P3\n2 1\n100\n100 50 0  1 2 3\n"));
    EXPECT_EQ(plain.format, ImageFormat::ppm);
    EXPECT_EQ(plain.words[0], 0x00FF8000u);
    EXPECT_EQ(plain.words[1], 0x00030508u);
}

TEST(Image, EncodedImagesReadBackExactly)
{
    // 16-bit samples whose low bytes differ from their high ones, so that a
    // byte order or a reduction on the way shows.
    const auto deepSample = [](bool alpha) {
        Image image = sample(alpha);
        for (uint32_t i = 0; i < 15 * uint32_t(deepChannels(image)); ++i)
            image.deep.push_back(static_cast<uint16_t>(i * 4099 + 1));
        wordsFromDeep(image);
        return image;
    };
    for (bool alpha : {false, true})
        for (bool deep : {false, true})
            for (ImageFormat f : {ImageFormat::png, ImageFormat::pam, ImageFormat::ppm,
                                  ImageFormat::tiff}) {
                const Image in = deep ? deepSample(alpha) : sample(alpha);
                std::vector<uint8_t> bytes;
                const Status s = encodeImage(in, f, "out", bytes);
                if (alpha && f == ImageFormat::ppm) {
                    EXPECT_EQ(s.exitCode, exitUsage);  // no place for the alpha
                    continue;
                }
                ASSERT_TRUE(s.ok()) << s.message;
                const Image out = decoded(bytes);
                EXPECT_EQ(out.hasAlpha, alpha);
                EXPECT_EQ(out.words, in.words);
                // 16 bits stay 16 in PNG and TIFF, and are reduced in Netpbm.
                const bool keepsDeep = f == ImageFormat::png || f == ImageFormat::tiff;
                EXPECT_EQ(out.deep, keepsDeep ? in.deep : std::vector<uint16_t>{}) << int(f);
            }
}

// A TIFF as cameras and raw converters write it: an EXIF directory (its date
// text) or a GPS one (its date stamp text) beside the picture's, and the
// orientation as a tag of the picture's own. (One of them a file: libtiff
// 4.5 leaks when one handle writes a second.)
std::vector<uint8_t> tiffWithDirectory(bool gps, const char* text)
{
    char path[] = "/tmp/velto-exif-XXXXXX";
    const int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    close(fd);
    TIFF* tiff = TIFFOpen(path, "w");
    const uint8_t row[6] = {10, 20, 30, 200, 100, 50};
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, 2);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, 1);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, 6);
    const uint32_t pointer = gps ? TIFFTAG_GPSIFD : TIFFTAG_EXIFIFD;
    TIFFSetField(tiff, pointer, uint64_t{0});  // its place, filled in below
    TIFFWriteScanline(tiff, const_cast<uint8_t*>(row), 0, 0);
    TIFFWriteDirectory(tiff);
    uint64_t at = 0;
    if (gps) {
        TIFFCreateGPSDirectory(tiff);
        TIFFSetField(tiff, GPSTAG_LATITUDEREF, "N");
        TIFFSetField(tiff, GPSTAG_DATESTAMP, text);
    } else {
        TIFFCreateEXIFDirectory(tiff);
        TIFFSetField(tiff, EXIFTAG_DATETIMEORIGINAL, text);
        TIFFSetField(tiff, EXIFTAG_EXPOSURETIME, 0.004);
    }
    TIFFWriteCustomDirectory(tiff, &at);
    TIFFSetDirectory(tiff, 0);
    TIFFSetField(tiff, pointer, at);
    TIFFRewriteDirectory(tiff);
    TIFFClose(tiff);
    std::FILE* f = std::fopen(path, "rb");
    std::vector<uint8_t> bytes(1 << 16);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
    std::fclose(f);
    std::remove(path);
    return bytes;
}

TEST(Image, TiffExifAndGpsDirectoriesTravelAsAnExifBlock)
{
    for (const bool gps : {false, true}) {
        const char* text = gps ? "2026:12:10" : "2026:12:09 10:11:12";
        const Image in = decoded(tiffWithDirectory(gps, text));
        EXPECT_EQ(exifOrientation(in.exif), 6);
        const std::string block(in.exif.begin(), in.exif.end());
        EXPECT_NE(block.find(text), std::string::npos) << gps;
        // The pointer's entry (tag 0x8825 or 0x8769, type IFD, one value).
        const uint8_t low = gps ? 0x25 : 0x69, high = gps ? 0x88 : 0x87;
        const uint8_t entry[] = {low, high, 4, 0, 1, 0, 0, 0};
        const auto pointer =
            std::search(in.exif.begin(), in.exif.end(), std::begin(entry), std::end(entry));
        ASSERT_NE(pointer, in.exif.end()) << "no pointer to the directory in the block: " << gps;
        // Through a JPEG and back byte for byte, and into a TIFF's directories
        // again, whole. A tag a TIFF takes no copy of is said to be left.
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(encodeImage(in, ImageFormat::jpeg, "out", bytes).ok());
        EXPECT_EQ(decoded(bytes).exif, in.exif);
        std::string lost;
        ASSERT_TRUE(encodeImage(in, ImageFormat::tiff, "out", bytes, {0, &lost}).ok());
        EXPECT_EQ(lost, "");
        EXPECT_EQ(decoded(bytes).exif, in.exif);
        Image other = in;
        // The pointer as tag 0x9925 or 0x9969, which no TIFF directory takes.
        other.exif[size_t(pointer - in.exif.begin()) + 1] = 0x99;
        ASSERT_TRUE(encodeImage(other, ImageFormat::tiff, "out", bytes, {0, &lost}).ok());
        EXPECT_NE(lost.find("part of the EXIF block"), std::string::npos) << lost;
        EXPECT_EQ(exifOrientation(decoded(bytes).exif), 6);
    }
}

TEST(Image, ExifOrientationIsFoundAndSet)
{
    // Big-endian, the orientation (6) the only tag; then with a second tag
    // before it; then without it.
    std::vector<uint8_t> one = {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 0x01, 0x12, 0, 3,
                                0, 0, 0, 1, 0, 6, 0, 0, 0, 0, 0, 0};
    std::vector<uint8_t> two = {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 2, 0x01, 0x0F, 0, 2, 0, 0, 0, 1,
                                'x', 0, 0, 0, 0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, 3, 0, 0, 0, 0, 0, 0};
    std::vector<uint8_t> none(one.begin(), one.begin() + 10);
    none[9] = 0;
    EXPECT_EQ(exifOrientation(one), 6);
    EXPECT_EQ(exifOrientation(two), 3);
    EXPECT_EQ(exifOrientation(none), 0);
    EXPECT_FALSE(exifBeyondOrientation(one));
    EXPECT_TRUE(exifBeyondOrientation(two));
    ASSERT_TRUE(setExifOrientation(one, 1));
    EXPECT_EQ(exifOrientation(one), 1);
    EXPECT_FALSE(setExifOrientation(none, 1));
    std::vector<uint8_t> made;
    ASSERT_TRUE(setExifOrientation(made, 8));
    EXPECT_EQ(exifOrientation(made), 8);
    EXPECT_FALSE(exifBeyondOrientation(made));
    // A directory beyond the block's end is no orientation.
    std::vector<uint8_t> cut(one.begin(), one.end() - 10);
    EXPECT_EQ(exifOrientation(cut), 0);
}

TEST(Image, JpegIsCloseAndPhotoMetadataTravels)
{
    Image in = sample(false);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(encodeImage(in, ImageFormat::jpeg, "out", bytes, {100}).ok());
    Image out = decoded(bytes);
    EXPECT_EQ(out.format, ImageFormat::jpeg);
    ASSERT_EQ(out.words.size(), in.words.size());
    for (size_t i = 0; i < in.words.size(); ++i)
        for (int shift : {0, 8, 16, 24})
            EXPECT_LE(std::abs(int(in.words[i] >> shift & 0xFF) - int(out.words[i] >> shift & 0xFF)),
                      6) << i;
    std::vector<uint8_t> smaller;
    ASSERT_TRUE(encodeImage(in, ImageFormat::jpeg, "out", smaller, {1}).ok());
    EXPECT_LT(smaller.size(), bytes.size());

    // EXIF and the profile, one too large for a single marker, come through
    // JPEG and PNG byte for byte, and from one to the other.
    in.exif = {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 1, 0x12, 0, 3, 0, 0, 0, 1, 0, 6, 0, 0, 0, 0, 0, 0};
    in.icc = profile(70000);
    for (ImageFormat first : {ImageFormat::jpeg, ImageFormat::png})
        for (ImageFormat second : {ImageFormat::jpeg, ImageFormat::png}) {
            ASSERT_TRUE(encodeImage(in, first, "out", bytes).ok());
            ASSERT_TRUE(encodeImage(decoded(bytes), second, "out", bytes).ok());
            out = decoded(bytes);
            EXPECT_EQ(out.exif, in.exif);
            EXPECT_EQ(out.icc, in.icc);
        }
    // A PNG with an sRGB chunk before its profile keeps the profile.
    in.icc = profile(200);
    ASSERT_TRUE(encodeImage(in, ImageFormat::png, "out", bytes).ok());
    const uint8_t srgb[13] = {0, 0, 0, 1, 's', 'R', 'G', 'B', 0, 0xAE, 0xCE, 0x1C, 0xE9};
    bytes.insert(bytes.begin() + 33, srgb, srgb + 13);  // after the header chunk
    EXPECT_EQ(decoded(bytes).icc, in.icc);
    EXPECT_EQ(decoded(bytes).pngColour.srgbIntent, 0);

    // What an output cannot carry is said; what it can is not. A grey
    // picture's profile does not describe a colour output.
    struct Lost {
        const char* space;  // the profile's, or null for none
        uint32_t gamma;
        ImageFormat format;
        const char* says;  // null: nothing lost
    };
    for (const Lost& c : {Lost{"GRAY", 0, ImageFormat::jpeg, "the ICC profile (a grey one)"},
                          Lost{"GRAY", 0, ImageFormat::png, "the ICC profile (a grey one)"},
                          Lost{"RGB ", 0, ImageFormat::ppm, "the ICC profile (a PPM holds none)"},
                          Lost{"RGB ", 45455, ImageFormat::jpeg, nullptr},
                          Lost{nullptr, 45455, ImageFormat::jpeg, "the gAMA chunk"},
                          Lost{nullptr, 45455, ImageFormat::png, nullptr}}) {
        Image one = sample(false);
        if (c.space) one.icc = profile(200, c.space);
        one.pngColour.gamma = c.gamma;
        std::string lost;
        ASSERT_TRUE(encodeImage(one, c.format, "out", bytes, {0, &lost}).ok());
        if (c.says) {
            EXPECT_NE(lost.find(c.says), std::string::npos) << lost;
        } else {
            EXPECT_EQ(lost, "");
            EXPECT_EQ(decoded(bytes).pngColour.gamma, c.format == ImageFormat::png ? c.gamma : 0);
        }
    }
    EXPECT_EQ(encodeImage(sample(true), ImageFormat::jpeg, "out", bytes).exitCode, exitUsage);
}

TEST(Image, CorruptAndAbsurdInputsAreBadData)
{
    std::vector<uint8_t> png;
    ASSERT_TRUE(encodeImage(sample(false), ImageFormat::png, "x", png).ok());
    std::vector<uint8_t> cut(png.begin(), png.begin() + static_cast<long>(png.size() / 2));
    std::vector<uint8_t> badCrc = png;
    badCrc[29] ^= 0xFF;  // the IHDR checksum

    // Headers that claim a huge picture over a few bytes: refused before the
    // picture is allocated, by what the bytes can hold.
    std::vector<uint8_t> hugePng = png;
    for (int i : {16, 20}) hugePng[size_t(i) + 2] = 0x3E, hugePng[size_t(i) + 3] = 0x80;  // 16000
    const uint32_t crc = static_cast<uint32_t>(crc32(0, hugePng.data() + 12, 17));
    for (int i = 0; i < 4; ++i) hugePng[29 + size_t(i)] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    std::vector<uint8_t> hugePpm = bytesOf("P6\n16384 16384\n255\n");
    hugePpm.resize(hugePpm.size() + 100, 7);
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(encodeImage(sample(false), ImageFormat::jpeg, "x", jpeg).ok());
    std::vector<uint8_t> hugeJpeg = jpeg;
    for (size_t i = 0; i + 8 < hugeJpeg.size(); ++i)
        if (hugeJpeg[i] == 0xFF && hugeJpeg[i + 1] == 0xC0) {  // the frame header
            for (size_t at : {i + 5, i + 7}) hugeJpeg[at] = 0x3E, hugeJpeg[at + 1] = 0x80;
            break;
        }
    // A TIFF of 16000 x 16000 pixels in a few hundred bytes.
    std::vector<uint8_t> tiff;
    ASSERT_TRUE(encodeImage(sample(false), ImageFormat::tiff, "x", tiff).ok());
    std::vector<uint8_t> hugeTiff = tiff;
    const size_t directory = size_t(tiff[4]) | size_t(tiff[5]) << 8;  // little-endian, as libtiff writes here
    for (size_t e = 0; e < 2; ++e) {  // width and height: the first two tags, as SHORT or LONG
        uint8_t* value = hugeTiff.data() + directory + 2 + e * 12 + 8;
        value[0] = 0x80, value[1] = 0x3E;  // 16000
    }
    for (const auto& [bytes, says] : {std::pair{hugeTiff, "corrupt TIFF: too little image data"},
                                      std::pair{hugePng, "too little image data for 16000x16000"},
                                      std::pair{hugeJpeg, "too little image data for 16000x16000"},
                                      std::pair{manyScanJpeg(), ": a JPEG of more than 500 scans"},
                                      std::pair{hugePpm, "the file ends early: 16384x16384"}}) {
        Image image;
        const Status s = decodeImage(bytes, "in.img", image);
        EXPECT_NE(s.message.find(says), std::string::npos) << s.message;
    }

    const std::vector<std::vector<uint8_t>> inputs = {
        {},
        bytesOf("GIF89a"),
        cut,
        badCrc,
        bytesOf("P6\n70000 1\n255\n"),
        bytesOf("P6\n65536 65536\n255\n"),
        bytesOf("P6\n0 0\n255\n"),
        bytesOf("P6\n2 2\n255\nabcde"),
        bytesOf("P6\n2 2\n0\n"),
        bytesOf("P6\n2 2\n70000\n"),
        bytesOf("P7\nWIDTH 1\nHEIGHT 1\nDEPTH 5\nMAXVAL 255\nENDHDR\nabcde"),
        bytesOf("P3\n1 1\n255\n1 2 x\n"),
        bytesOf("P9\n"),
        bytesOf("P3\n3 1\n255\n1 2 3 4 5 6 7 8\n"),
        hugePng,
        hugePpm,
        std::vector<uint8_t>(jpeg.begin(), jpeg.end() - 40),
        std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + 3),
        hugeJpeg,
        manyScanJpeg(),
        hugeTiff,
        std::vector<uint8_t>(tiff.begin(), tiff.begin() + 40),
        bytesOf(std::string("\0\0\0\x18" "ftypheic\0\0\0\0mif1heic", 24)),
    };
    for (size_t i = 0; i < inputs.size(); ++i) {
        Image image;
        const Status s = decodeImage(inputs[i], "in.img", image);
        EXPECT_EQ(s.exitCode, exitBadData) << "input " << i;
        EXPECT_EQ(s.message.rfind("in.img: ", 0), 0u) << s.message;
        // One line, one phrase: no line break, no sentence after sentence.
        EXPECT_EQ(s.message.find_first_of("\n\t"), std::string::npos) << s.message;
        EXPECT_EQ(s.message.find("  "), std::string::npos) << s.message;
        EXPECT_NE(s.message.back(), '.') << s.message;
        EXPECT_TRUE(image.words.empty()) << "input " << i;
    }
    // Damaged JPEG data is refused unless the reader is told to keep going:
    // here stray bytes after the coded data, where damage in its middle shows.
    // Stray bytes between the header's markers cost no pixel.
    std::vector<uint8_t> stray = jpeg;
    stray.insert(stray.end() - 2, {1, 2, 3, 4, 5, 6, 7, 8});
    std::vector<uint8_t> headerStray = jpeg;
    headerStray.insert(headerStray.begin() + 20, {1, 2, 3});  // after the JFIF segment
    for (const auto& [bytes, sound] : {std::pair{stray, false}, std::pair{headerStray, true}}) {
        Image image;
        Status s = decodeImage(bytes, "in.jpg", image);
        EXPECT_EQ(s.ok(), sound) << s.message;
        if (!sound) {
            EXPECT_NE(s.message.find("extraneous bytes before marker 0xd9 (--keep-going"),
                      std::string::npos) << s.message;
        }
        s = decodeImage(bytes, "in.jpg", image, true);
        EXPECT_TRUE(s.ok()) << s.message;
        EXPECT_EQ(image.damage.empty(), sound) << image.damage;
    }

    // After all those errors the readers still work.
    EXPECT_EQ(decoded(png).words, sample(false).words);
    EXPECT_EQ(decoded(jpeg).width, 5);
}

TEST(Image, JpegOutputFollowsJpegInput)
{
    // Every quality libjpeg makes is read back as itself.
    for (int32_t q = 1; q <= 100; ++q) {
        uint16_t luma[64], chroma[64];
        scaledQuantTable(q, false, luma);
        scaledQuantTable(q, true, chroma);
        ASSERT_EQ(estimateJpegQuality(luma, chroma), q);
        ASSERT_EQ(estimateJpegQuality(luma, nullptr), q);
    }
    struct Case {
        int quality, h, v;
        bool grey;
    };
    for (const Case& c : {Case{76, 2, 2, false}, Case{50, 2, 1, false}, Case{30, 1, 2, false},
                          Case{92, 1, 1, false}, Case{85, 1, 1, true}}) {
        const Image in = decoded(libjpegFile(c.quality, c.h, c.v, c.grey));
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(encodeImage(in, ImageFormat::jpeg, "out", bytes).ok());
        const Image out = decoded(bytes);
        EXPECT_EQ(out.jpegQuality, c.quality) << c.quality;
        EXPECT_EQ(out.chromaStepX, c.h) << c.quality;
        EXPECT_EQ(out.chromaStepY, c.v) << c.quality;
        EXPECT_EQ(out.grey, c.grey) << c.quality;
        // --quality overrides the quality, not the colour resolution.
        ASSERT_TRUE(encodeImage(in, ImageFormat::jpeg, "out", bytes, {40}).ok());
        EXPECT_EQ(decoded(bytes).jpegQuality, 40);
        EXPECT_EQ(decoded(bytes).chromaStepX, c.h);
    }
    // A grey input no longer grey (unequal levels) is written in colour.
    Image tinted = decoded(libjpegFile(85, 1, 1, true));
    tinted.words[0] ^= 0x00010000u;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(encodeImage(tinted, ImageFormat::jpeg, "out", bytes).ok());
    EXPECT_FALSE(decoded(bytes).grey);
}

TEST(Image, WebpQualityAndLosslessnessFollowTheInput)
{
    // A textured picture, so that the encoder has something to quantise.
    const int32_t w = 96, h = 64;
    std::vector<uint8_t> bgr(size_t(w) * size_t(h) * 3);
    for (size_t i = 0; i < bgr.size(); ++i) bgr[i] = uint8_t((i * 7919u) >> 3 ^ (i / 291u));
    for (int32_t q : {5, 30, 50, 75, 90, 100}) {
        uint8_t* out = nullptr;
        const size_t size = WebPEncodeBGR(bgr.data(), w, h, w * 3, float(q), &out);
        ASSERT_GT(size, 0u);
        const std::vector<uint8_t> file(out, out + size);
        WebPFree(out);
        const Image in = decoded(file);
        EXPECT_FALSE(in.webpLossless);
        EXPECT_NEAR(in.jpegQuality, q, 3) << q;
        // A cut header reads as no quality, never past its end.
        for (size_t cut = 0; cut < 60 && cut < size; ++cut)
            EXPECT_GE(estimateWebpQuality(std::vector<uint8_t>(file.begin(), file.begin() + cut)), 0);
        std::vector<uint8_t> again;
        ASSERT_TRUE(encodeImage(in, ImageFormat::webp, "out", again).ok());
        // Written at that quality, the smoother picture segments otherwise:
        // the estimate of the result is rougher.
        EXPECT_NEAR(decoded(again).jpegQuality, q, 15) << q;
    }
    uint8_t* out = nullptr;
    const size_t size = WebPEncodeLosslessBGR(bgr.data(), w, h, w * 3, &out);
    const Image lossless = decoded(std::vector<uint8_t>(out, out + size));
    WebPFree(out);
    EXPECT_TRUE(lossless.webpLossless);
    EXPECT_EQ(lossless.jpegQuality, 0);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(encodeImage(lossless, ImageFormat::webp, "out", bytes).ok());
    const Image back = decoded(bytes);
    EXPECT_TRUE(back.webpLossless);
    EXPECT_EQ(back.words, lossless.words);
    // --quality asks for a lossy file at that quality.
    ASSERT_TRUE(encodeImage(lossless, ImageFormat::webp, "out", bytes, {60}).ok());
    EXPECT_FALSE(decoded(bytes).webpLossless);
    EXPECT_NEAR(decoded(bytes).jpegQuality, 60, 3);
}

TEST(Image, DensityTravelsBetweenJfifAndPng)
{
    struct Case {
        Density in, jpeg, png;
    };
    const DensityUnit inch = DensityUnit::inch, cm = DensityUnit::centimetre,
                      metre = DensityUnit::metre, none = DensityUnit::none;
    for (const Case& c : {Case{{300, 300, inch}, {300, 300, inch}, {11811, 11811, metre}},
                          Case{{72, 96, inch}, {72, 96, inch}, {2835, 3780, metre}},
                          Case{{118, 118, cm}, {118, 118, cm}, {11800, 11800, metre}},
                          Case{{11811, 11811, metre}, {300, 300, inch}, {11811, 11811, metre}},
                          Case{{2, 1, none}, {2, 1, none}, {2, 1, none}},
                          Case{{9000000, 9000000, metre}, {}, {9000000, 9000000, metre}}}) {
        Image in = sample(false);
        in.density = c.in;
        for (ImageFormat f : {ImageFormat::jpeg, ImageFormat::png}) {
            std::vector<uint8_t> bytes;
            ASSERT_TRUE(encodeImage(in, f, "out", bytes).ok());
            const Density d = decoded(bytes).density;
            const Density& want = f == ImageFormat::jpeg ? c.jpeg : c.png;
            EXPECT_TRUE(d.x == want.x && d.y == want.y && d.unit == want.unit)
                << c.in.x << " to " << (f == ImageFormat::jpeg ? "JPEG: " : "PNG: ") << d.x
                << "x" << d.y << " unit " << int(d.unit);
        }
    }
}

TEST(Image, AlphaFlattensOntoAColour)
{
    Image in = sample(true);
    EXPECT_FALSE(allOpaque(in));
    in.words = {0x80FF0000u, 0xFF123456u, 0x00123456u};
    in.width = 3;
    in.height = 1;
    flattenOnto(in, 0xFFFFFF);
    EXPECT_FALSE(in.hasAlpha);
    // (c * a + 255 * (255 - a)) / 255, rounded: half red over white is pink.
    EXPECT_EQ(in.words, (std::vector<uint32_t>{0x00FF7F7Fu, 0x00123456u, 0x00FFFFFFu}));
    // The same at 16 bits, onto a colour whose channels differ: three samples
    // a pixel after, and the words made from them.
    in.hasAlpha = true;
    in.deep = {65535, 0, 0, 32768, 0x1200, 0x3400, 0x5600, 65535, 0x1200, 0x3400, 0x5600, 0};
    flattenOnto(in, 0x204060);
    EXPECT_EQ(in.deep, (std::vector<uint16_t>{36880, 8224, 12336, 0x1200, 0x3400, 0x5600, 0x2020,
                                              0x4040, 0x6060}));
    EXPECT_EQ(in.words[0], 0x00902030u);
}
