// Reading a JPEG through libjpeg-turbo, to the engine's words.
#include "cli/formats/jpeg_common.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "cli/formats/codecs.h"
#include "cli/formats/jpeg_quality.h"

namespace {

// A real progressive photograph has about ten scans. A file of thousands of
// tiny scans, each of which walks the whole picture, would take minutes.
constexpr int maximumScans = 500;

// What the reader refuses, though the file may be sound.
constexpr char cmykRefused[] = "a CMYK JPEG; velto reads grey and colour (YCbCr or RGB) JPEG";
constexpr char modelRefused[] =
    "an unknown JPEG colour model; velto reads grey and colour (YCbCr or RGB) JPEG";
constexpr char arithmeticRefused[] = "an arithmetic-coded JPEG, which velto does not read";
constexpr char tooManyScans[] = "a JPEG of more than 500 scans, which velto does not read";

void onJpegProgress(j_common_ptr cinfo)
{
    if (cinfo->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > maximumScans)
        failWith(cinfo, tooManyScans);
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

// The first EXIF block and the first XMP packet among the APP1 segments.
void keepExif(const jpeg_decompress_struct& cinfo, Image& image)
{
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
        if (m->marker != JPEG_APP0 + 1) continue;
        if (image.exif.empty() && m->data_length >= sizeof exifName &&
            std::memcmp(m->data, exifName, sizeof exifName) == 0)
            image.exif.assign(m->data + sizeof exifName, m->data + m->data_length);
        else if (image.xmp.empty() && m->data_length >= sizeof xmpName &&
                 std::memcmp(m->data, xmpName, sizeof xmpName) == 0)
            image.xmp.assign(m->data + sizeof xmpName, m->data + m->data_length);
    }
}

// Returns nullptr on success, else what is wrong. On success icc holds the
// profile libjpeg allocated, or nullptr.
const char* readJpeg(jpeg_decompress_struct* cinfo, JpegFailure* failure, jpeg_progress_mgr* progress,
                     const std::vector<uint8_t>* bytes, JOCTET** icc, unsigned* iccSize,
                     Image& image, const Progress* rows)
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
        tellProgress(rows, cinfo->output_scanline, cinfo->output_height);
        for (size_t x = 0; x < width; ++x) words[x] &= 0x00FFFFFFu;  // the filler is 0xFF
    }
    keepExif(*cinfo, image);  // before the markers go with the rest of the picture's memory
    keepLook(*cinfo, image);
    failure->phase = JpegFailure::finishing;
    jpeg_finish_decompress(cinfo);  // the rest of the data, to its end marker
    image.damage = failure->damage;
    return nullptr;
}
}  // namespace

Status decodeJpeg(const std::vector<uint8_t>& bytes, const std::string& name, Image& image,
                  bool keepGoing, const Progress* progress)
{
    jpeg_decompress_struct cinfo{};
    JpegFailure failure{};
    jpeg_progress_mgr monitor{};
    quietErrors(failure);
    failure.keepGoing = keepGoing;
    cinfo.err = &failure.manager;
    JOCTET* icc = nullptr;
    unsigned iccSize = 0;
    const char* wrong = nullptr;
    try {
        wrong = readJpeg(&cinfo, &failure, &monitor, &bytes, &icc, &iccSize, image, progress);
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
