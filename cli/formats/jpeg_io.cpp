// JPEG through libjpeg-turbo. The library ends a fatal error in error_exit,
// which must not return; ours longjmps back to the function that set the
// jump, which (as for PNG) keeps no object with a destructor of its own
// between setjmp and the calls that may jump.
#include <cstddef>
#include <cstdio>  // jpeglib.h wants size_t and FILE declared first

#include <jerror.h>
#include <jpeglib.h>

#include <cctype>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <new>

#include "cli/formats/image.h"
#include "cli/formats/jpeg_quality.h"

namespace {

// A real progressive photograph has about ten scans. A file of thousands of
// tiny scans, each of which walks the whole picture, would take minutes.
constexpr int maximumScans = 500;

// An APP1 block of EXIF starts with this name; the TIFF stream follows.
constexpr uint8_t exifName[6] = {'E', 'x', 'i', 'f', 0, 0};
// The most a marker segment holds after its length, and the most a profile
// split over at most 255 of them holds (each piece after a 14-byte name and
// count).
constexpr size_t markerDataMost = 65533;
constexpr size_t profileMost = 255 * (markerDataMost - 14);

// What the reader refuses, though the file may be sound.
constexpr char cmykRefused[] = "a CMYK JPEG; velto reads grey and colour (YCbCr or RGB) JPEG";
constexpr char modelRefused[] =
    "an unknown JPEG colour model; velto reads grey and colour (YCbCr or RGB) JPEG";
constexpr char arithmeticRefused[] = "an arithmetic-coded JPEG, which velto does not read";
constexpr char tooManyScans[] = "a JPEG of more than 500 scans, which velto does not read";

struct JpegFailure {
    jpeg_error_mgr manager;  // first: libjpeg hands back a pointer to it
    jmp_buf jump;
    const char* reason;  // text, or one of the constants above
    char text[JMSG_LENGTH_MAX];
    bool keepGoing;  // damaged data is read all the same
    bool warned;     // the failure is a warning about damaged data
    enum { header, scanning, finishing } phase;
    char damage[JMSG_LENGTH_MAX];  // and the first damage is told afterwards
};

// Ends the read or write for reason, which outlives the jump.
[[noreturn]] void failWith(j_common_ptr cinfo, const char* reason)
{
    reinterpret_cast<JpegFailure*>(cinfo->err)->reason = reason;
    std::longjmp(reinterpret_cast<JpegFailure*>(cinfo->err)->jump, 1);
}

[[noreturn]] void onJpegError(j_common_ptr cinfo)
{
    auto* failure = reinterpret_cast<JpegFailure*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, failure->text);
    failWith(cinfo, failure->text);
}

// libjpeg warns, and goes on, where data is missing or damaged: it fills
// a cut file's remaining pixels with grey, and decodes damaged data into
// whatever it spells. Such pixels are made up, so those warnings fail the
// read, unless told to keep going. Odd metadata costs no pixel and passes,
// and so do stray bytes between the header's markers; stray bytes after
// coded data are how damage in the middle of it shows, as the picture's
// blocks end before the data does.
void onJpegMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0) return;  // trace output
    auto* failure = reinterpret_cast<JpegFailure*>(cinfo->err);
    switch (cinfo->err->msg_code) {
    case JWRN_ADOBE_XFORM:
    case JWRN_JFIF_MAJOR:
    case JWRN_BOGUS_ICC:
        return;
    case JWRN_EXTRANEOUS_DATA:
        if (failure->phase == JpegFailure::header) return;
        break;
    case JWRN_JPEG_EOF:  // after the last pixel, only the end marker is missing
        if (failure->phase == JpegFailure::finishing) return;
        break;
    default:
        break;
    }
    failure->warned = true;
    if (!failure->keepGoing) onJpegError(cinfo);
    if (failure->damage[0] == '\0') (*cinfo->err->format_message)(cinfo, failure->damage);
}

void onJpegProgress(j_common_ptr cinfo)
{
    if (cinfo->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > maximumScans)
        failWith(cinfo, tooManyScans);
}

void quietErrors(JpegFailure& failure)
{
    jpeg_std_error(&failure.manager);
    failure.manager.error_exit = onJpegError;
    failure.manager.emit_message = onJpegMessage;
}

// libjpeg's messages are sentences ("Premature end of JPEG file"); after our
// colon they read as a phrase. Ours say "corrupt JPEG" already.
void asPhrase(char* text)
{
    constexpr char corrupt[] = "Corrupt JPEG data: ";
    if (std::strncmp(text, corrupt, sizeof corrupt - 1) == 0)
        std::memmove(text, text + sizeof corrupt - 1, std::strlen(text) - (sizeof corrupt - 2));
    if (std::isupper(static_cast<unsigned char>(text[0])) &&
        std::islower(static_cast<unsigned char>(text[1])))
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    size_t n = std::strlen(text);
    while (n > 0 && text[n - 1] == '.') text[--n] = '\0';
}

// In a whole file every block of every component is coded in some scan, and
// a Huffman code takes at least one bit; so a file cannot hold more blocks
// than eight times its bytes after the header. (An arithmetic code has no such floor,
// and is refused.)
bool enoughDataFor(const jpeg_decompress_struct& cinfo)
{
    uint64_t blocks = 0;
    for (int c = 0; c < cinfo.num_components; ++c)
        blocks += uint64_t{cinfo.comp_info[c].width_in_blocks} *
                  cinfo.comp_info[c].height_in_blocks;
    return blocks <= 8 * uint64_t{cinfo.src->bytes_in_buffer};
}

// What the file says of how it was made, for a JPEG output to follow: its
// quality, its colour resolution, grey or not, and its pixel density.
void keepLook(const jpeg_decompress_struct& cinfo, Image& image)
{
    image.grey = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    const JQUANT_TBL* tables[2] = {};
    for (int c = 0; c < cinfo.num_components && c < 2; ++c) {
        const int slot = cinfo.comp_info[c].quant_tbl_no;
        if (slot >= 0 && slot < NUM_QUANT_TBLS) tables[c] = cinfo.quant_tbl_ptrs[slot];
    }
    if (tables[0])
        image.jpegQuality =
            estimateJpegQuality(tables[0]->quantval, tables[1] ? tables[1]->quantval : nullptr);
    else
        image.jpegQuality = defaultJpegQuality;
    // Luma's sampling factors over those of the two (alike) colour components.
    if (cinfo.num_components == 3) {
        const jpeg_component_info* c = cinfo.comp_info;
        if (c[1].h_samp_factor == c[2].h_samp_factor && c[1].v_samp_factor == c[2].v_samp_factor &&
            c[0].h_samp_factor % c[1].h_samp_factor == 0 &&
            c[0].v_samp_factor % c[1].v_samp_factor == 0) {
            image.chromaStepX = c[0].h_samp_factor / c[1].h_samp_factor;
            image.chromaStepY = c[0].v_samp_factor / c[1].v_samp_factor;
        }
    }
    // Unit 0 with 1:1 is JFIF's way of saying nothing.
    const bool square = cinfo.X_density == cinfo.Y_density;
    if (cinfo.saw_JFIF_marker && cinfo.density_unit <= 2 && cinfo.X_density > 0 &&
        cinfo.Y_density > 0 && !(cinfo.density_unit == 0 && square))
        image.density = {cinfo.X_density, cinfo.Y_density,
                         cinfo.density_unit == 1   ? DensityUnit::inch
                         : cinfo.density_unit == 2 ? DensityUnit::centimetre
                                                   : DensityUnit::none};
}

void keepExif(const jpeg_decompress_struct& cinfo, Image& image)
{
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next)
        if (m->marker == JPEG_APP0 + 1 && m->data_length >= sizeof exifName &&
            std::memcmp(m->data, exifName, sizeof exifName) == 0) {
            image.exif.assign(m->data + sizeof exifName, m->data + m->data_length);
            return;
        }
}

// Returns nullptr on success, else what is wrong. On success icc holds the
// profile libjpeg allocated, or nullptr.
const char* readJpeg(jpeg_decompress_struct* cinfo, JpegFailure* failure, jpeg_progress_mgr* progress,
                     const std::vector<uint8_t>* bytes, JOCTET** icc, unsigned* iccSize,
                     Image& image)
{
    if (setjmp(failure->jump)) return failure->reason;
    jpeg_create_decompress(cinfo);
    progress->progress_monitor = onJpegProgress;
    cinfo->progress = progress;
    jpeg_mem_src(cinfo, bytes->data(), static_cast<unsigned long>(bytes->size()));
    jpeg_save_markers(cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(cinfo, JPEG_APP0 + 2, 0xFFFF);  // the ICC profile's pieces
    jpeg_read_header(cinfo, TRUE);
    failure->phase = JpegFailure::scanning;

    if (!imageSizeAllowed(cinfo->image_width, cinfo->image_height)) return imageTooLarge;
    switch (cinfo->jpeg_color_space) {
    case JCS_GRAYSCALE:
    case JCS_YCbCr:
    case JCS_RGB:
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        return cmykRefused;
    default:
        return modelRefused;
    }
    if (cinfo->arith_code) return arithmeticRefused;
    if (!enoughDataFor(*cinfo)) {
        std::snprintf(failure->text, sizeof failure->text,
                      "too little image data for %ux%u pixels", cinfo->image_width,
                      cinfo->image_height);
        return failure->text;
    }
    jpeg_read_icc_profile(cinfo, icc, iccSize);

    // To B, G, R and a filler byte, which are the engine's words in memory.
    cinfo->out_color_space = JCS_EXT_BGRX;
    jpeg_start_decompress(cinfo);
    if (cinfo->output_components != 4 || cinfo->output_width != cinfo->image_width ||
        cinfo->output_height != cinfo->image_height)
        return "unexpected output layout";
    const size_t width = cinfo->output_width;
    image.width = static_cast<int32_t>(width);
    image.height = static_cast<int32_t>(cinfo->output_height);
    image.hasAlpha = false;
    image.format = ImageFormat::jpeg;
    image.words.assign(width * cinfo->output_height, 0);
    while (cinfo->output_scanline < cinfo->output_height) {
        uint32_t* words = image.words.data() + size_t{cinfo->output_scanline} * width;
        JSAMPROW row = reinterpret_cast<JSAMPROW>(words);
        jpeg_read_scanlines(cinfo, &row, 1);
        for (size_t x = 0; x < width; ++x) words[x] &= 0x00FFFFFFu;  // the filler is 0xFF
    }
    keepExif(*cinfo, image);  // before the markers go with the rest of the picture's memory
    keepLook(*cinfo, image);
    failure->phase = JpegFailure::finishing;
    jpeg_finish_decompress(cinfo);  // the rest of the data, to its end marker
    image.damage = failure->damage;
    return nullptr;
}

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

const char* writeJpeg(jpeg_compress_struct* cinfo, JpegFailure* failure, JpegSink* sink,
                      const Image* image, int32_t quality, bool grey, JSAMPLE* greyRow)
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
    cinfo->optimize_coding = TRUE;
    if (!grey) setSampling(cinfo, *image, quality);
    const Density density = jfifDensity(image->density);
    if (density.x > 0) {
        cinfo->density_unit = static_cast<UINT8>(density.unit);  // 0, 1 inch, 2 centimetre
        cinfo->X_density = static_cast<UINT16>(density.x);
        cinfo->Y_density = static_cast<UINT16>(density.y);
    }
    // An EXIF block comes first in its file, where a JFIF header would stand;
    // a JFIF header still goes before it when it holds a density, as many
    // cameras and editors write it.
    const bool exif = !image->exif.empty() && image->exif.size() <= markerDataMost - sizeof exifName;
    cinfo->write_JFIF_header = !exif || density.x > 0 ? TRUE : FALSE;
    jpeg_start_compress(cinfo, TRUE);
    if (exif) {
        jpeg_write_m_header(cinfo, JPEG_APP0 + 1,
                            static_cast<unsigned>(sizeof exifName + image->exif.size()));
        for (uint8_t b : exifName) jpeg_write_m_byte(cinfo, b);
        for (uint8_t b : image->exif) jpeg_write_m_byte(cinfo, b);
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
    }
    jpeg_finish_compress(cinfo);
    return nullptr;
}

}  // namespace

Status decodeJpeg(const std::vector<uint8_t>& bytes, const std::string& name, Image& image,
                  bool keepGoing)
{
    jpeg_decompress_struct cinfo{};
    JpegFailure failure{};
    jpeg_progress_mgr progress{};
    quietErrors(failure);
    failure.keepGoing = keepGoing;
    cinfo.err = &failure.manager;
    JOCTET* icc = nullptr;
    unsigned iccSize = 0;
    const char* wrong = nullptr;
    try {
        wrong = readJpeg(&cinfo, &failure, &progress, &bytes, &icc, &iccSize, image);
        if (!wrong && icc) image.icc.assign(icc, icc + iccSize);
    } catch (...) {  // out of memory for the picture
        jpeg_destroy_decompress(&cinfo);
        std::free(icc);
        image = Image{};
        throw;
    }
    jpeg_destroy_decompress(&cinfo);
    std::free(icc);
    if (!image.damage.empty()) {
        char text[JMSG_LENGTH_MAX];
        std::snprintf(text, sizeof text, "%s", image.damage.c_str());
        asPhrase(text);
        image.damage = text;
    }
    if (wrong) {
        image = Image{};
        char text[JMSG_LENGTH_MAX];
        std::snprintf(text, sizeof text, "%s", wrong);
        asPhrase(text);
        if (wrong == imageTooLarge) return badData(name + ": " + imageTooLargeText());
        const bool refused = wrong == cmykRefused ||
                             wrong == modelRefused || wrong == arithmeticRefused ||
                             wrong == tooManyScans;
        if (refused) return badData(name + ": " + text);
        return badData(name + ": corrupt JPEG: " + text +
                       (failure.warned ? " (--keep-going writes it all the same)" : ""));
    }
    return success();
}

Status encodeJpeg(const Image& image, int32_t quality, const std::string& name,
                  const ByteSink& sink, std::string* lost)
{
    const bool grey = image.grey && allGrey(image);
    if (!image.icc.empty() && !profileFits(image.icc, grey))
        noteLost(lost, grey ? "the ICC profile (not a grey one)" : "the ICC profile (a grey one)");
    else if (image.icc.size() > profileMost)
        noteLost(lost, "the ICC profile (too large for a JPEG)");
    if (image.pngColour.gamma != 0 && image.icc.empty() && image.pngColour.srgbIntent < 0)
        noteLost(lost, "the gAMA chunk (a JPEG holds none)");
    if (image.pngColour.chromaticities[0] != 0 && image.icc.empty() && image.pngColour.srgbIntent < 0)
        noteLost(lost, "the cHRM chunk (a JPEG holds none)");
    std::vector<JSAMPLE> greyRow(grey ? size_t(image.width) : 0);
    jpeg_compress_struct cinfo{};
    JpegFailure failure{};
    quietErrors(failure);
    cinfo.err = &failure.manager;
    auto* out = new JpegSink{};  // 64 KiB: not on the stack
    out->sink = &sink;
    const char* wrong = writeJpeg(&cinfo, &failure, out, &image, quality, grey, greyRow.data());
    jpeg_destroy_compress(&cinfo);
    const bool sinkFailed = out->failed;
    delete out;
    if (sinkFailed) return Status{exitBadData, ""};
    if (wrong) return badData(name + ": cannot encode JPEG: " + wrong);
    return success();
}
