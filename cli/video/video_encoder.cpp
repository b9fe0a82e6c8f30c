#include "cli/video/video_encoder.h"

#include <cstring>
#include <new>

#include "cli/video/media_files.h"

extern "C" {
#include <libavutil/avstring.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

namespace {

// Constant quality a little above what cameras and phones record, so that a
// clip comes out near its own size and look: libx264's 18, and for the other
// encoders the value that gives about the same picture on their own scales.
int defaultCrf(const std::string& encoder)
{
    if (encoder == "libx265") return 22;
    if (encoder == "libvpx-vp9") return 31;
    if (encoder == "libsvtav1" || encoder == "libaom-av1") return 30;
    return 18;
}
constexpr const char* defaultPreset = "medium";
// Encoders without a constant-quality setting (MPEG-4 part 2, MPEG-2, MJPEG)
// get a fixed quantiser instead: 2 of 31 keeps the picture close to the
// source, where their default bit rate would smear it.
constexpr int fixedQuantiser = 2;

bool isOneOf(const AVOutputFormat* container, const char* names)
{
    // A muxer's name may list several ("mov,mp4,m4a,3gp,3g2,mj2" for input,
    // "mp4" and "mov" apart for output).
    return av_match_name(container->name, names) != 0;
}

bool hasOption(const AVCodec* encoder, const char* name)
{
    // A class pointer stands for an object of the class (AV_OPT_SEARCH_FAKE_OBJ).
    const AVClass* c = encoder->priv_class;
    return c && av_opt_find(const_cast<const AVClass**>(&c), name, nullptr, 0,
                            AV_OPT_SEARCH_FAKE_OBJ) != nullptr;
}

std::string extensionOf(const AVOutputFormat* container)
{
    const char* list = container->extensions ? container->extensions : container->name;
    const char* comma = std::strchr(list, ',');
    std::string extension = ".";
    extension.append(list, comma ? size_t(comma - list) : std::strlen(list));
    return extension;
}

}  // namespace

// The encoder that keeps a codec family, as FFmpeg names it.
const char* familyEncoder(AVCodecID id)
{
    switch (id) {
    case AV_CODEC_ID_HEVC: return "libx265";
    case AV_CODEC_ID_H264: return "libx264";
    case AV_CODEC_ID_VP9: return "libvpx-vp9";
    case AV_CODEC_ID_AV1: return "libaom-av1";
    case AV_CODEC_ID_PRORES: return "prores_ks";
    case AV_CODEC_ID_MPEG2VIDEO: return "mpeg2video";
    case AV_CODEC_ID_MPEG4: return "mpeg4";
    default: return nullptr;
    }
}

Status chooseEncoder(const VideoOptions& options, const AVOutputFormat* container,
                     AVCodecID input, const AVCodec*& encoder, std::string& note)
{
    const bool h264Home = isOneOf(container, "mp4,matroska,mov");
    std::string name = options.codec;
    if (name.empty() && !options.lossless) {
        const char* family = familyEncoder(input);
        const AVCodec* same = family ? avcodec_find_encoder_by_name(family) : nullptr;
        if (same && avformat_query_codec(container, same->id, FF_COMPLIANCE_NORMAL) == 1) {
            encoder = same;
            return success();
        }
        const char* inputName = avcodec_get_name(input);
        note = std::string("the input's ") + inputName + " video " +
               (!family ? std::string("is not one velto keeps by default")
                : !same ? std::string("has no encoder (") + family + ") on this machine"
                        : "cannot go into " + extensionOf(container) + " files");
    }
    if (options.lossless) {
        if (!isOneOf(container, "matroska"))
            return usageError("video: --lossless writes FFV1 into .mkv only, not " +
                              extensionOf(container) + " (see 'velto video --help')");
        name = "ffv1";
    } else if (name.empty() && h264Home) {
        name = "libx264";
    }
    if (!name.empty()) {
        encoder = avcodec_find_encoder_by_name(name.c_str());
        if (!encoder) {
            const AVCodecDescriptor* d = avcodec_descriptor_get_by_name(name.c_str());
            if (d) encoder = avcodec_find_encoder(d->id);
        }
        if (!encoder || encoder->type != AVMEDIA_TYPE_VIDEO)
            return badData(
                "video encoder '" + name + "' is missing on this machine" +
                (name == "libx264" ? " (install Debian's ffmpeg libraries with x264)" : ""));
    } else {
        // MP3 or FLAC files name PNG: a cover picture, not video.
        if (container->video_codec == AV_CODEC_ID_NONE || container->video_codec == AV_CODEC_ID_PNG)
            return badData(extensionOf(container) + " files hold no video; name the output .mp4, "
                                                    ".mkv, .mov, ...");
        encoder = avcodec_find_encoder(container->video_codec);
        if (!encoder)
            return badData(std::string("no video encoder for ") + extensionOf(container) +
                           " files on this machine; name one with --codec");
    }
    if (avformat_query_codec(container, encoder->id, FF_COMPLIANCE_NORMAL) == 0)
        return badData(std::string(encoder->name) + " video cannot go into " +
                       extensionOf(container) + " files; choose another --codec");
    return success();
}

AVPixelFormat encoderFormat(const AVCodec* encoder, AVPixelFormat input)
{
    if (!encoder->pix_fmts) return input;
    for (const AVPixelFormat* f = encoder->pix_fmts; *f != AV_PIX_FMT_NONE; ++f)
        if (*f == input) return input;
    return avcodec_find_best_pix_fmt_of_list(
        encoder->pix_fmts, input,
        av_pix_fmt_desc_get(input) && (av_pix_fmt_desc_get(input)->flags & AV_PIX_FMT_FLAG_ALPHA),
        nullptr);
}

Status openEncoder(const VideoOptions& options, const AVCodec* encoder, const EncoderSetup& setup,
                   AVCodecContext*& context)
{
    context = avcodec_alloc_context3(encoder);
    if (!context) throw std::bad_alloc();
    context->width = setup.width;
    context->height = setup.height;
    context->pix_fmt = setup.format;
    context->time_base = setup.timeBase;
    context->framerate = setup.frameRate;
    context->sample_aspect_ratio = setup.sampleAspect;
    context->color_range = setup.range;
    context->colorspace = setup.matrix;
    context->color_primaries = setup.primaries;
    context->color_trc = setup.transfer;
    context->chroma_sample_location = setup.chromaLocation;
    context->field_order = setup.fieldOrder;
    // Interlaced video stays interlaced: encoders that can code fields
    // (libx264, MPEG-2, MPEG-4) are told to.
    if (setup.fieldOrder != AV_FIELD_UNKNOWN && setup.fieldOrder != AV_FIELD_PROGRESSIVE)
        context->flags |= AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME;
    context->thread_count = 0;  // one per core, the library's choice
    if (setup.globalHeader) context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

    const std::string name = encoder->name;
    const bool crf = hasOption(encoder, "crf");
    const bool preset = hasOption(encoder, "preset");
    if (options.crf >= 0 && !crf)
        return badData("encoder " + name + " has no --crf; leave it out or choose another --codec");
    if (!options.preset.empty() && !preset)
        return badData("encoder " + name +
                       " has no --preset; leave it out or choose another --codec");
    if (crf) {
        const int quality = options.crf >= 0 ? options.crf : defaultCrf(name);
        const std::string value = std::to_string(quality);
        av_opt_set(context->priv_data, "crf", value.c_str(), 0);
        // libvpx takes its CRF only without a target bit rate.
        context->bit_rate = 0;
    } else if (!options.lossless && (encoder->capabilities & AV_CODEC_CAP_LOSSLESS) == 0) {
        context->flags |= AV_CODEC_FLAG_QSCALE;
        context->global_quality = FF_QP2LAMBDA * fixedQuantiser;
    }
    // libx264 names a wrong preset on standard error itself, before
    // libavcodec has set its messages aside: it is checked here first.
    static constexpr const char* x264Presets[] = {"ultrafast", "superfast", "veryfast", "faster",
                                                  "fast",      "medium",    "slow",     "slower",
                                                  "veryslow",  "placebo"};
    if (name == "libx264" && !options.preset.empty()) {
        bool known = false;
        for (const char* p : x264Presets) known = known || options.preset == p;
        if (!known)
            return badData("encoder libx264 has no preset '" + options.preset +
                           "' (ultrafast, superfast, veryfast, faster, fast, medium, slow, "
                           "slower, veryslow, placebo)");
    }
    // libx265 reports its settings on standard error unless told otherwise.
    // This FFmpeg hands neither x265 nor x264 the HDR metadata of the frames
    // or the stream: they are given it as their own options.
    if (name == "libx265") {
        const std::string hdr = x265HdrParams(setup.hdr);
        const std::string params = "log-level=error" + (hdr.empty() ? "" : ":" + hdr);
        av_opt_set(context->priv_data, "x265-params", params.c_str(), 0);
    }
    const std::string x264Hdr = x264HdrParams(setup.hdr);
    if (name == "libx264" && !x264Hdr.empty())
        av_opt_set(context->priv_data, "x264-params", x264Hdr.c_str(), 0);
    if (preset || !options.preset.empty()) {
        const std::string value = options.preset.empty() ? defaultPreset : options.preset;
        if (av_opt_set(context->priv_data, "preset", value.c_str(), 0) < 0 &&
            !options.preset.empty())
            return badData("encoder " + name + " has no preset '" + value + "'");
    }
    const int opened = avcodec_open2(context, encoder, nullptr);
    if (opened < 0)
        return badData("encoder " + name + " refuses these settings (" +
                       std::string(av_get_pix_fmt_name(setup.format)
                                       ? av_get_pix_fmt_name(setup.format)
                                       : "?") +
                       ", " + std::to_string(setup.width) + "x" + std::to_string(setup.height) +
                       "): " + avErrorText(opened));
    return success();
}
