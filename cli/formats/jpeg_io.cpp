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
// a cut file's remaining pixels with grey. Such pixels are made up, so
// those warnings fail the read; stray bytes between markers and odd
// metadata cost no pixel and pass.
void onJpegMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0) return;  // trace output
    switch (cinfo->err->msg_code) {
    case JWRN_EXTRANEOUS_DATA:
    case JWRN_ADOBE_XFORM:
    case JWRN_JFIF_MAJOR:
    case JWRN_BOGUS_ICC:
        return;
    default:
        onJpegError(cinfo);
    }
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
// colon they read as a phrase.
void asPhrase(char* text)
{
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
    keepExif(*cinfo, image);
    return nullptr;
}

// The compressed bytes go to a buffer that grows by doubling, in plain
// memory: libjpeg's own memory destination hands its latest buffer back only
// when the image is complete, so after an error it could not be freed.
struct JpegSink {
    jpeg_destination_mgr manager;  // first: libjpeg hands back a pointer to it
    JOCTET* data;
    size_t capacity;
    size_t size;  // once the image is complete
};

void startSink(j_compress_ptr cinfo)
{
    auto* sink = reinterpret_cast<JpegSink*>(cinfo->dest);
    sink->capacity = 65536;
    sink->data = static_cast<JOCTET*>(std::malloc(sink->capacity));
    if (!sink->data) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
    sink->manager.next_output_byte = sink->data;
    sink->manager.free_in_buffer = sink->capacity;
}

boolean growSink(j_compress_ptr cinfo)
{
    auto* sink = reinterpret_cast<JpegSink*>(cinfo->dest);
    if (sink->capacity > SIZE_MAX / 2) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
    void* grown = std::realloc(sink->data, 2 * sink->capacity);
    if (!grown) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
    sink->data = static_cast<JOCTET*>(grown);
    // libjpeg calls this only on a full buffer.
    sink->manager.next_output_byte = sink->data + sink->capacity;
    sink->manager.free_in_buffer = sink->capacity;
    sink->capacity *= 2;
    return TRUE;
}

void endSink(j_compress_ptr cinfo)
{
    auto* sink = reinterpret_cast<JpegSink*>(cinfo->dest);
    sink->size = sink->capacity - sink->manager.free_in_buffer;
}

const char* writeJpeg(jpeg_compress_struct* cinfo, JpegFailure* failure, JpegSink* sink,
                      const Image* image, int32_t quality)
{
    if (setjmp(failure->jump)) return failure->reason;
    jpeg_create_compress(cinfo);
    sink->manager.init_destination = startSink;
    sink->manager.empty_output_buffer = growSink;
    sink->manager.term_destination = endSink;
    cinfo->dest = &sink->manager;
    cinfo->image_width = static_cast<JDIMENSION>(image->width);
    cinfo->image_height = static_cast<JDIMENSION>(image->height);
    cinfo->input_components = 4;
    cinfo->in_color_space = JCS_EXT_BGRX;  // the top byte is skipped
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, quality, TRUE);
    cinfo->optimize_coding = TRUE;
    // At high quality the colour keeps its full resolution: halving it would
    // cost more than the quality asked for, and more again each time a photo
    // is corrected and saved anew.
    if (quality >= 90) cinfo->comp_info[0].h_samp_factor = cinfo->comp_info[0].v_samp_factor = 1;
    // An EXIF block comes first in its file, where a JFIF header would stand.
    const bool exif = !image->exif.empty() && image->exif.size() <= markerDataMost - sizeof exifName;
    cinfo->write_JFIF_header = exif ? FALSE : TRUE;
    jpeg_start_compress(cinfo, TRUE);
    if (exif) {
        jpeg_write_m_header(cinfo, JPEG_APP0 + 1,
                            static_cast<unsigned>(sizeof exifName + image->exif.size()));
        for (uint8_t b : exifName) jpeg_write_m_byte(cinfo, b);
        for (uint8_t b : image->exif) jpeg_write_m_byte(cinfo, b);
    }
    if (profileFitsRgb(image->icc) && image->icc.size() <= profileMost)
        jpeg_write_icc_profile(cinfo, image->icc.data(), static_cast<unsigned>(image->icc.size()));
    const size_t width = static_cast<size_t>(image->width);
    while (cinfo->next_scanline < cinfo->image_height) {
        // libjpeg takes rows as writable but only reads them.
        JSAMPROW row = reinterpret_cast<JSAMPROW>(
            const_cast<uint32_t*>(image->words.data() + size_t{cinfo->next_scanline} * width));
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
    return nullptr;
}

}  // namespace

Status decodeJpeg(const std::vector<uint8_t>& bytes, const std::string& name, Image& image)
{
    jpeg_decompress_struct cinfo{};
    JpegFailure failure{};
    jpeg_progress_mgr progress{};
    quietErrors(failure);
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
    if (wrong) {
        image = Image{};
        char text[JMSG_LENGTH_MAX];
        std::snprintf(text, sizeof text, "%s", wrong);
        asPhrase(text);
        if (wrong == imageTooLarge) return badData(name + ": " + imageTooLargeText());
        const bool refused = wrong == cmykRefused ||
                             wrong == modelRefused || wrong == arithmeticRefused ||
                             wrong == tooManyScans;
        return badData(name + (refused ? ": " : ": corrupt JPEG: ") + text);
    }
    return success();
}

Status encodeJpeg(const Image& image, int32_t quality, const std::string& name,
                  std::vector<uint8_t>& bytes)
{
    jpeg_compress_struct cinfo{};
    JpegFailure failure{};
    quietErrors(failure);
    cinfo.err = &failure.manager;
    JpegSink sink{};
    const char* wrong = writeJpeg(&cinfo, &failure, &sink, &image, quality);
    jpeg_destroy_compress(&cinfo);
    if (!wrong) {
        try {
            bytes.assign(sink.data, sink.data + sink.size);
        } catch (...) {
            std::free(sink.data);
            throw;
        }
    }
    std::free(sink.data);
    if (wrong) return badData(name + ": cannot encode JPEG: " + wrong);
    return success();
}
