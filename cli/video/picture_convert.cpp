#include "cli/video/picture_convert.h"

#include <cstring>

extern "C" {
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace {

// The filter's words on a little-endian machine: B, G, R, then A or unused.
constexpr AVPixelFormat wordFormat = AV_PIX_FMT_BGRA;

// Plain conversions without scaling: the flags choose little beyond how
// chroma is interpolated. To the words, libswscale's own converter repeats
// each chroma sample over the pixels it covers. Back, chroma is taken at full
// width and each sample made the mean of the pixels it covers (area): that
// restores such repeated chroma as it was, and it is twice as fast as the
// default, whose input stage averages pairs of pixels without SIMD and whose
// bicubic taps then blur chroma across samples (a round trip of an untouched
// 4:2:0 picture: chroma 50.5 and 49.0 dB against 47.9 and 45.3).
constexpr int toWordsFlags = SWS_BICUBIC;
constexpr int fromWordsFlags = SWS_AREA | SWS_FULL_CHR_H_INP;
// To deep planar R'G'B' libswscale has no converter of its own: each chroma
// sample is repeated over its pixels (point), as the 8-bit converter does,
// which the way back restores. A round trip of an untouched 10-bit 4:2:0
// picture: 51.6 dB luma and 46.3 and 52.0 chroma, against 45.7, 36.2 and
// 33.3 with bicubic taps, at 3.8 ms a 1080p frame rather than 4.4
// (bench/video_bench).
constexpr int toDeepFlags = SWS_POINT;

bool isFullRangeFormat(AVPixelFormat format)
{
    return format == AV_PIX_FMT_YUVJ420P || format == AV_PIX_FMT_YUVJ422P ||
           format == AV_PIX_FMT_YUVJ444P || format == AV_PIX_FMT_YUVJ440P ||
           format == AV_PIX_FMT_YUVJ411P;
}

AVColorSpace knownMatrix(AVColorSpace matrix)
{
    switch (matrix) {
    case AVCOL_SPC_BT709:
    case AVCOL_SPC_FCC:
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
    case AVCOL_SPC_SMPTE240M:
    case AVCOL_SPC_BT2020_NCL:
        return matrix;
    case AVCOL_SPC_BT2020_CL:  // libswscale has the non-constant-luminance form only
        return AVCOL_SPC_BT2020_NCL;
    default:
        return AVCOL_SPC_UNSPECIFIED;
    }
}

bool operator==(const PictureColours& a, const PictureColours& b)
{
    return a.matrix == b.matrix && a.fullRange == b.fullRange;
}

// The context for one size and pair of formats, made again when they change.
SwsContext* contextFor(SwsContext*& context, int (&key)[3], bool& coloursSet, int width, int height,
                       AVPixelFormat from, AVPixelFormat to, AVPixelFormat keyFormat, int flags)
{
    if (context && key[0] == width && key[1] == height && key[2] == keyFormat) return context;
    sws_freeContext(context);
    context =
        sws_getContext(width, height, from, width, height, to, flags, nullptr, nullptr, nullptr);
    key[0] = width;
    key[1] = height;
    key[2] = keyFormat;
    coloursSet = false;
    return context;
}

void setColours(SwsContext* context, const PictureColours& colours, bool yuvSource, bool& set,
                PictureColours& setTo)
{
    if (set && setTo == colours) return;
    set = true;
    setTo = colours;
    const int* table = sws_getCoefficients(colours.matrix);
    const int range = colours.fullRange ? 1 : 0;
    // The R'G'B' side is full range; its table is not used.
    if (yuvSource)
        sws_setColorspaceDetails(context, table, range, table, 1, 0, 1 << 16, 1 << 16);
    else
        sws_setColorspaceDetails(context, table, 1, table, range, 0, 1 << 16, 1 << 16);
}

}  // namespace

PictureColours untaggedColours(int32_t width, int32_t height, AVPixelFormat format)
{
    const bool hd = width > 1024 || height > 576;
    return {hd ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M, isFullRangeFormat(format)};
}

PictureColours picturesColours(const AVFrame* frame)
{
    const auto format = static_cast<AVPixelFormat>(frame->format);
    PictureColours colours = untaggedColours(frame->width, frame->height, format);
    const AVColorSpace matrix = knownMatrix(frame->colorspace);
    if (matrix != AVCOL_SPC_UNSPECIFIED) colours.matrix = matrix;
    if (frame->color_range != AVCOL_RANGE_UNSPECIFIED)
        colours.fullRange = frame->color_range == AVCOL_RANGE_JPEG;
    return colours;
}

Transfer streamTransfer(AVColorTransferCharacteristic tag, bool rgb)
{
    switch (tag) {
    case AVCOL_TRC_SMPTE2084:
        return Transfer::pq;
    case AVCOL_TRC_ARIB_STD_B67:
        return Transfer::hlg;
    case AVCOL_TRC_IEC61966_2_1:
        return Transfer::srgb;
    case AVCOL_TRC_LINEAR:
        return Transfer::linear;
    case AVCOL_TRC_UNSPECIFIED:
    case AVCOL_TRC_RESERVED0:
    case AVCOL_TRC_RESERVED:
        return rgb ? Transfer::srgb : Transfer::bt709;
    default:  // BT.709, BT.601, BT.2020 and their kin share one curve
        return Transfer::bt709;
    }
}

bool isWordLayout(AVPixelFormat format)
{
    return format == AV_PIX_FMT_BGRA || format == AV_PIX_FMT_BGR0;
}

bool hasAlpha(AVPixelFormat format)
{
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
    return d && (d->flags & AV_PIX_FMT_FLAG_ALPHA) != 0;
}

int32_t bitsPerChannel(AVPixelFormat format)
{
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
    return d ? d->comp[0].depth : 0;
}

AVPixelFormat deepFormatFor(AVPixelFormat format)
{
    const int32_t bits = bitsPerChannel(format);
    if (bits <= 8) return AV_PIX_FMT_NONE;
    const bool alpha = hasAlpha(format);
    if (bits <= 10) return alpha ? AV_PIX_FMT_GBRAP10 : AV_PIX_FMT_GBRP10;
    if (bits <= 12) return alpha ? AV_PIX_FMT_GBRAP12 : AV_PIX_FMT_GBRP12;
    return alpha ? AV_PIX_FMT_GBRAP16 : AV_PIX_FMT_GBRP16;
}

PictureConverter::~PictureConverter()
{
    sws_freeContext(toWords);
    sws_freeContext(fromWords);
    sws_freeContext(toDeep);
    sws_freeContext(fromDeep);
    av_frame_free(&deep);
}

bool pictureToWords(PictureConverter& c, const AVFrame* frame, const PictureColours& colours,
                    uint32_t* words)
{
    const auto format = static_cast<AVPixelFormat>(frame->format);
    const int width = frame->width, height = frame->height;
    if (isWordLayout(format)) {
        for (int y = 0; y < height; ++y)
            std::memcpy(words + size_t(y) * size_t(width),
                        frame->data[0] + ptrdiff_t{y} * frame->linesize[0], size_t(width) * 4);
        return true;
    }
    if (!contextFor(c.toWords, c.toWordsKey, c.toWordsSet, width, height, format, wordFormat,
                    format, toWordsFlags))
        return false;
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
    setColours(c.toWords, colours, d && !(d->flags & AV_PIX_FMT_FLAG_RGB), c.toWordsSet,
               c.toWordsColours);
    uint8_t* const planes[4] = {reinterpret_cast<uint8_t*>(words), nullptr, nullptr, nullptr};
    const int strides[4] = {width * 4, 0, 0, 0};
    return sws_scale(c.toWords, frame->data, frame->linesize, 0, height, planes, strides) == height;
}

bool wordsToPicture(PictureConverter& c, const uint32_t* words, const PictureColours& colours,
                    AVFrame* picture)
{
    const auto format = static_cast<AVPixelFormat>(picture->format);
    const int width = picture->width, height = picture->height;
    if (isWordLayout(format)) {
        for (int y = 0; y < height; ++y)
            std::memcpy(picture->data[0] + ptrdiff_t{y} * picture->linesize[0],
                        words + size_t(y) * size_t(width), size_t(width) * 4);
        return true;
    }
    if (!contextFor(c.fromWords, c.fromWordsKey, c.fromWordsSet, width, height, wordFormat, format,
                    format, fromWordsFlags))
        return false;
    setColours(c.fromWords, colours, false, c.fromWordsSet, c.fromWordsColours);
    const uint8_t* const planes[4] = {reinterpret_cast<const uint8_t*>(words), nullptr, nullptr,
                                      nullptr};
    const int strides[4] = {width * 4, 0, 0, 0};
    return sws_scale(c.fromWords, planes, strides, 0, height, picture->data, picture->linesize) ==
           height;
}

bool pictureToDeep(PictureConverter& c, const AVFrame* frame, const PictureColours& colours,
                   AVPixelFormat deepFormat)
{
    const auto format = static_cast<AVPixelFormat>(frame->format);
    const int width = frame->width, height = frame->height;
    if (!c.deep) c.deep = av_frame_alloc();
    if (!c.deep) return false;
    if (c.deep->width != width || c.deep->height != height || c.deep->format != deepFormat) {
        av_frame_unref(c.deep);
        c.deep->format = deepFormat;
        c.deep->width = width;
        c.deep->height = height;
        if (av_frame_get_buffer(c.deep, 0) < 0) return false;
    }
    if (!contextFor(c.toDeep, c.toDeepKey, c.toDeepSet, width, height, format, deepFormat, format,
                    toDeepFlags))
        return false;
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
    setColours(c.toDeep, colours, d && !(d->flags & AV_PIX_FMT_FLAG_RGB), c.toDeepSet,
               c.toDeepColours);
    return sws_scale(c.toDeep, frame->data, frame->linesize, 0, height, c.deep->data,
                     c.deep->linesize) == height;
}

void deepToWords(PictureConverter& c, uint32_t* words)
{
    const AVFrame* deep = c.deep;
    const int32_t bits = bitsPerChannel(static_cast<AVPixelFormat>(deep->format));
    const uint32_t top = (1u << bits) - 1;
    // Over every 16-bit value, those above top held at 255: the loop below
    // looks samples up without a test.
    if (c.deepToByteBits != bits) {
        for (uint32_t v = 0; v < 65536; ++v)
            c.deepToByte[v] = v < top ? static_cast<uint8_t>((v * 255 + top / 2) / top) : 255;
        c.deepToByteBits = bits;
    }
    const bool alpha = hasAlpha(static_cast<AVPixelFormat>(deep->format));
    const int width = deep->width;
    for (int y = 0; y < deep->height; ++y) {
        // Planes G, B, R (and A), as libswscale lays out planar R'G'B'.
        const auto* g = reinterpret_cast<const uint16_t*>(deep->data[0] + ptrdiff_t{y} * deep->linesize[0]);
        const auto* b = reinterpret_cast<const uint16_t*>(deep->data[1] + ptrdiff_t{y} * deep->linesize[1]);
        const auto* r = reinterpret_cast<const uint16_t*>(deep->data[2] + ptrdiff_t{y} * deep->linesize[2]);
        const auto* a = alpha ? reinterpret_cast<const uint16_t*>(deep->data[3] + ptrdiff_t{y} * deep->linesize[3]) : nullptr;
        uint32_t* out = words + size_t(y) * size_t(width);
        const uint8_t* t = c.deepToByte;
        if (a)
            for (int x = 0; x < width; ++x)
                out[x] = uint32_t{t[a[x]]} << 24 | uint32_t{t[r[x]]} << 16 |
                         uint32_t{t[g[x]]} << 8 | t[b[x]];
        else
            for (int x = 0; x < width; ++x)
                out[x] = uint32_t{t[r[x]]} << 16 | uint32_t{t[g[x]]} << 8 | t[b[x]];
    }
}

bool deepToPicture(PictureConverter& c, const PictureColours& colours, AVFrame* picture)
{
    const auto format = static_cast<AVPixelFormat>(picture->format);
    const auto deepFormat = static_cast<AVPixelFormat>(c.deep->format);
    const int width = picture->width, height = picture->height;
    if (!contextFor(c.fromDeep, c.fromDeepKey, c.fromDeepSet, width, height, deepFormat, format,
                    format, fromWordsFlags))
        return false;
    setColours(c.fromDeep, colours, false, c.fromDeepSet, c.fromDeepColours);
    return sws_scale(c.fromDeep, c.deep->data, c.deep->linesize, 0, height, picture->data,
                     picture->linesize) == height;
}
