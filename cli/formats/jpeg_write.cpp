// Writing a JPEG through libjpeg-turbo: baseline, Huffman tables fitted to
// the picture.
#include "cli/formats/jpeg_common.h"

#include <memory>
#include <vector>

#include "cli/formats/codecs.h"

namespace {

// The compressed bytes go to the sink in pieces of a fixed buffer.
struct JpegSink {
    jpeg_destination_mgr manager;  // first: libjpeg hands back a pointer to it
    const ByteSink* sink;
    bool failed;  // the sink's write failed; it says why
    JOCTET buffer[65536];
};

void startSink(j_compress_ptr cinfo)
{
    auto* sink = reinterpret_cast<JpegSink*>(cinfo->dest);
    sink->manager.next_output_byte = sink->buffer;
    sink->manager.free_in_buffer = sizeof sink->buffer;
}

void passOn(j_compress_ptr cinfo, size_t count)
{
    auto* sink = reinterpret_cast<JpegSink*>(cinfo->dest);
    if (!sink->sink->write(sink->sink->context, sink->buffer, count)) {
        sink->failed = true;
        failWith(reinterpret_cast<j_common_ptr>(cinfo), "the output failed");
    }
}

boolean emptySink(j_compress_ptr cinfo)
{
    passOn(cinfo, sizeof JpegSink::buffer);  // libjpeg calls this only on a full buffer
    startSink(cinfo);
    return TRUE;
}

void endSink(j_compress_ptr cinfo)
{
    auto* sink = reinterpret_cast<JpegSink*>(cinfo->dest);
    passOn(cinfo, sizeof sink->buffer - sink->manager.free_in_buffer);
}

// Colour resolution: a JPEG input's, which cannot be won back; otherwise
// full from quality 90 on, where halving it would cost more than the quality
// asked for, and more again each time a photo is corrected and saved anew.
void setSampling(jpeg_compress_struct* cinfo, const Image& image, int32_t quality)
{
    int32_t x = quality >= 90 ? 1 : 2, y = x;
    if (image.format == ImageFormat::jpeg && image.chromaStepX * image.chromaStepY <= 8)
        x = image.chromaStepX, y = image.chromaStepY;
    cinfo->comp_info[0].h_samp_factor = x;
    cinfo->comp_info[0].v_samp_factor = y;
}

// Huffman tables fitted to the picture make it a few per cent smaller (up to
// a fifth for flat synthetic pictures), but libjpeg then holds all its
// coefficients, 2 bytes each, until the end: 3 bytes a pixel at 4:2:0, 6 at
// 4:4:4, beside the 4 of the decoded picture. Up to this much (a photograph
// of 44 to 89 megapixels) they are fitted; above it the standard tables let
// the rows stream out as they are encoded.
constexpr uint64_t fittedTablesMost = uint64_t{256} << 20;

uint64_t coefficientBytes(const jpeg_compress_struct& cinfo)
{
    const uint64_t blocksX = (uint64_t{cinfo.image_width} + 7) / 8;
    const uint64_t blocksY = (uint64_t{cinfo.image_height} + 7) / 8;
    uint64_t blocks = blocksX * blocksY;
    const jpeg_component_info& luma = cinfo.comp_info[0];
    if (cinfo.num_components == 3)  // two colour components, each scaled down
        blocks += 2 * ((blocksX + uint64_t(luma.h_samp_factor) - 1) / uint64_t(luma.h_samp_factor)) *
                  ((blocksY + uint64_t(luma.v_samp_factor) - 1) / uint64_t(luma.v_samp_factor));
    return blocks * 64 * 2;
}

const char* writeJpeg(jpeg_compress_struct* cinfo, JpegFailure* failure, JpegSink* sink,
                      const Image* image, int32_t quality, bool grey, JSAMPLE* greyRow,
                      const Progress* progress)
{
    if (setjmp(failure->jump)) return failure->reason;
    jpeg_create_compress(cinfo);
    sink->manager.init_destination = startSink;
    sink->manager.empty_output_buffer = emptySink;
    sink->manager.term_destination = endSink;
    cinfo->dest = &sink->manager;
    cinfo->image_width = static_cast<JDIMENSION>(image->width);
    cinfo->image_height = static_cast<JDIMENSION>(image->height);
    cinfo->input_components = grey ? 1 : 4;
    cinfo->in_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGRX;  // the top byte is skipped
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, quality, TRUE);
    if (!grey) setSampling(cinfo, *image, quality);
    cinfo->optimize_coding = coefficientBytes(*cinfo) <= fittedTablesMost ? TRUE : FALSE;
    const Density density = jfifDensity(image->density);
    if (density.x > 0) {
        cinfo->density_unit = static_cast<UINT8>(density.unit);  // 0, 1 inch, 2 centimetre
        cinfo->X_density = static_cast<UINT16>(density.x);
        cinfo->Y_density = static_cast<UINT16>(density.y);
    }
    // An EXIF block comes first in its file, where a JFIF header would stand;
    // a JFIF header still goes before it when it holds a density, as many
    // cameras and editors write it.
    const bool exif =
        !image->exif.empty() && image->exif.size() <= markerDataMost - sizeof exifName;
    cinfo->write_JFIF_header = !exif || density.x > 0 ? TRUE : FALSE;
    jpeg_start_compress(cinfo, TRUE);
    if (exif) {
        jpeg_write_m_header(cinfo, JPEG_APP0 + 1,
                            static_cast<unsigned>(sizeof exifName + image->exif.size()));
        for (uint8_t b : exifName) jpeg_write_m_byte(cinfo, b);
        for (uint8_t b : image->exif) jpeg_write_m_byte(cinfo, b);
    }
    if (!image->xmp.empty() && image->xmp.size() <= markerDataMost - sizeof xmpName) {
        jpeg_write_m_header(cinfo, JPEG_APP0 + 1,
                            static_cast<unsigned>(sizeof xmpName + image->xmp.size()));
        for (char c : xmpName) jpeg_write_m_byte(cinfo, c);  // with its ending 0
        for (uint8_t b : image->xmp) jpeg_write_m_byte(cinfo, b);
    }
    if (profileFits(image->icc, grey) && image->icc.size() <= profileMost)
        jpeg_write_icc_profile(cinfo, image->icc.data(), static_cast<unsigned>(image->icc.size()));
    const size_t width = static_cast<size_t>(image->width);
    while (cinfo->next_scanline < cinfo->image_height) {
        const uint32_t* words = image->words.data() + size_t{cinfo->next_scanline} * width;
        // libjpeg takes rows as writable but only reads them.
        JSAMPROW row = reinterpret_cast<JSAMPROW>(const_cast<uint32_t*>(words));
        if (grey) {
            for (size_t x = 0; x < width; ++x) greyRow[x] = static_cast<JSAMPLE>(words[x]);
            row = greyRow;
        }
        jpeg_write_scanlines(cinfo, &row, 1);
        tellProgress(progress, cinfo->next_scanline, cinfo->image_height);
    }
    jpeg_finish_compress(cinfo);
    return nullptr;
}

}  // namespace
Status encodeJpeg(const Image& image, int32_t quality, const std::string& name,
                  const ByteSink& sink, const EncodeSettings& settings)
{
    std::string* lost = settings.lost;
    const bool grey = image.grey && allGrey(image);
    if (!image.icc.empty() && !profileFits(image.icc, grey))
        noteLost(lost, grey ? "the ICC profile (not a grey one)" : "the ICC profile (a grey one)");
    else if (image.icc.size() > profileMost)
        noteLost(lost, "the ICC profile (too large for a JPEG)");
    // Beside a profile or an sRGB chunk, gAMA and cHRM only repeat them.
    const PngColour& c = image.pngColour;
    const bool alone = image.icc.empty() && c.srgbIntent < 0;
    if (alone && c.gamma != 0) noteLost(lost, "the gAMA chunk (a JPEG holds none)");
    if (alone && c.chromaticities[0] != 0) noteLost(lost, "the cHRM chunk (a JPEG holds none)");
    if (image.exif.size() > markerDataMost - sizeof exifName)
        noteLost(lost, "the EXIF block (too large for a JPEG)");
    if (image.xmp.size() > markerDataMost - sizeof xmpName)
        noteLost(lost, "the XMP packet (too large for a JPEG)");
    std::vector<JSAMPLE> greyRow(grey ? size_t(image.width) : 0);
    jpeg_compress_struct cinfo{};
    JpegFailure failure{};
    quietErrors(failure);
    cinfo.err = &failure.manager;
    const auto out = std::make_unique<JpegSink>();  // 64 KiB: not on the stack
    out->sink = &sink;
    const char* wrong = writeJpeg(&cinfo, &failure, out.get(), &image, quality, grey,
                                  greyRow.data(), settings.progress);
    jpeg_destroy_compress(&cinfo);
    if (out->failed) return Status{exitBadData, ""};
    if (wrong) return badData(name + ": cannot encode JPEG: " + wrong);
    return success();
}
