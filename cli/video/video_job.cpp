#include "cli/video/video_job.h"

#include "cli/video/video_job_state.h"

namespace videojob {
namespace {

bool isMp4OrMov(const AVOutputFormat* container)
{
    return av_match_name(container->name, "mp4,mov") != 0;
}

Status setUpOutput(Job& job)
{
    const VideoOptions& o = job.options;
    const AVOutputFormat* container = containerFor(o.output);
    if (!container)
        return usageError("video: " + o.output +
                          ": unknown container; name the output .mp4, .mkv, .mov, .avi, .webm, "
                          "... (see 'velto video --help')");
    const AVCodec* encoder = nullptr;
    std::string fallback;
    Status s = chooseEncoder(o, container, job.videoIn->codecpar->codec_id, encoder, fallback);
    if (!s.ok()) return s;
    if (!fallback.empty())
        job.notes.push_back(fallback + "; it is written as " + encoder->name);

    const AVCodecParameters* par = job.videoIn->codecpar;
    const auto inputFormat = static_cast<AVPixelFormat>(job.decoder.c->pix_fmt);
    if (inputFormat == AV_PIX_FMT_NONE || par->width <= 0 || par->height <= 0)
        return badData(job.in.name + ": its video's picture format is unknown");
    if (!imageSizeAllowed(par->width, par->height))
        return badData(job.in.name + ": " + imageTooLargeText());
    const AVPixelFormat outputFormat = encoderFormat(encoder, inputFormat);
    if (bitsPerChannel(outputFormat) > 8) job.deepFormat = deepFormatFor(inputFormat);
    if (outputFormat != inputFormat)
        job.notes.push_back(std::string(encoder->name) + " cannot write " +
                            av_get_pix_fmt_name(inputFormat) + "; the video is written as " +
                            av_get_pix_fmt_name(outputFormat));

    const AVPixFmtDescriptor* inDesc = av_pix_fmt_desc_get(inputFormat);
    const AVPixFmtDescriptor* outDesc = av_pix_fmt_desc_get(outputFormat);
    job.modelChanged =
        (inDesc->flags & AV_PIX_FMT_FLAG_RGB) && !(outDesc->flags & AV_PIX_FMT_FLAG_RGB);
    job.outputColours = untaggedColours(par->width, par->height, outputFormat);

    s = openMediaOutput(o.output, container, job.out);
    if (!s.ok()) return s;
    s = planStreams(job.in, job.videoIndex, o.dropUnsupported, o.output, job.out, job.map,
                    job.videoOut, job.notes);
    if (!s.ok()) return s;
    copyContainerInfo(job.in.format, job.out.format);
    putStreamHdr(job.hdr, job.videoOut);

    // Time stamps pass in the input's own time base. AVI counts frames at one
    // rate: there a frame's time is its slot at that rate, and a gap between
    // frames stays a gap of empty slots.
    AVRational rate = job.videoIn->avg_frame_rate;
    if (!(rate.num > 0 && rate.den > 0)) rate = job.videoIn->r_frame_rate;
    AVRational timeBase = job.videoIn->time_base;
    if (av_match_name(container->name, "avi") && rate.num > 0 && rate.den > 0)
        timeBase = av_inv_q(rate);
    EncoderSetup setup{};
    setup.width = par->width;
    setup.height = par->height;
    setup.format = outputFormat;
    setup.timeBase = timeBase;
    setup.frameRate = rate.num > 0 && rate.den > 0 ? rate : AVRational{0, 1};
    setup.sampleAspect = av_guess_sample_aspect_ratio(job.in.format, job.videoIn, nullptr);
    setup.range = job.modelChanged
                      ? (job.outputColours.fullRange ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG)
                      : par->color_range;
    setup.matrix = job.modelChanged ? job.outputColours.matrix : par->color_space;
    setup.primaries = par->color_primaries;
    setup.transfer = par->color_trc;
    setup.chromaLocation = par->chroma_location;
    setup.fieldOrder = par->field_order;
    setup.globalHeader = (container->flags & AVFMT_GLOBALHEADER) != 0;
    setup.hdr = job.hdr;
    s = openEncoder(o, encoder, setup, job.encoder.c);
    if (!s.ok()) return s;
    if (avcodec_parameters_from_context(job.videoOut->codecpar, job.encoder.c) < 0)
        throw std::bad_alloc();
    // HEVC in MP4 and QuickTime as Apple's players take it: parameter sets
    // in the sample description (hvc1), not in the stream (hev1).
    if (encoder->id == AV_CODEC_ID_HEVC && isMp4OrMov(container))
        job.videoOut->codecpar->codec_tag = MKTAG('h', 'v', 'c', '1');
    job.videoOut->time_base = job.encoder.c->time_base;
    job.videoOut->sample_aspect_ratio = setup.sampleAspect;
    job.videoOut->avg_frame_rate = job.videoIn->avg_frame_rate;
    job.videoOut->r_frame_rate = job.videoIn->r_frame_rate;

    const int header = avformat_write_header(job.out.format, nullptr);
    if (header < 0)
        return job.out.writeStatus.ok()
                   ? badData(o.output + ": the container refuses these streams (" +
                             avErrorText(header) +
                             "); --drop-unsupported leaves out those it "
                             "cannot hold")
                   : job.out.writeStatus;

    job.width = par->width;
    job.height = par->height;
    VideoCorrection& c = job.correction;
    c.method = o.method;
    c.user = o.strengths;
    c.neutral.strength = o.strength;
    c.neutral.transfer =
        streamTransfer(par->color_trc, (inDesc->flags & AV_PIX_FMT_FLAG_RGB) != 0);
    c.steadySeconds = o.steadySeconds;
    c.topByte = hasAlpha(inputFormat) ? TopByte::carried : TopByte::cleared;
    return success();
}

// Frames converted and corrected at once: one per core. The decoder and the
// encoder run their own threads besides.
int32_t threadCountFor(const Job&)
{
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : cores > 16 ? 16 : static_cast<int32_t>(cores);
}

Status transcode(Job& job)
{
    const int32_t threads = threadCountFor(job);
    // The deep tables' memory is taken here, where running out of it ends
    // the run with a message; on a worker they are only filled.
    const int32_t deepBits = bitsPerChannel(job.deepFormat);
    for (int32_t i = 0; i < threads; ++i) {
        job.converters.push_back(std::make_unique<PictureConverter>());
        if (job.deepFormat != AV_PIX_FMT_NONE)
            for (std::vector<uint16_t>& t : job.converters.back()->tables.channel)
                t.reserve(size_t{1} << deepBits);
    }
    FrameSteps steps;
    steps.read = [&](FrameJob& frameJob, Status& status) {
        return readFrame(job, frameJob, status);
    };
    steps.work = [&](FrameJob& frameJob) { workFrame(job, frameJob); };
    steps.emit = [&](FrameJob& frameJob) { return emitFrame(job, frameJob); };
    // The words, corrected in place, and the decoded and the corrected
    // pictures, up to 4 bytes a pixel each.
    steps.jobBytes = 3 * 4 * size_t(job.width) * size_t(job.height);
    Status s = runFrames(threads, steps);
    if (!s.ok()) return s;
    if (job.framesDone == 0) return badData(job.in.name + ": not one frame of its video decodes");
    const int flushed = avcodec_send_frame(job.encoder.c, nullptr);
    if (flushed < 0 && flushed != AVERROR_EOF)
        return badData(std::string("encoder ") + job.encoder.c->codec->name +
                       " failed: " + avErrorText(flushed));
    s = writeEncoded(job);
    if (!s.ok()) return s;

    // A file cut short ends early without a word from the demuxer: its
    // header still says how long the video was.
    const double declared = declaredVideoSeconds(job.in.format, job.videoIn);
    const double frame = job.lastDuration > 0 ? static_cast<double>(job.lastDuration) *
                                                    av_q2d(job.videoIn->time_base)
                                              : 0.04;
    if (declared > 0.0 && job.videoEnd + 2.0 * frame + 0.05 < declared && job.damaged == 0) {
        const int64_t missing = expectedFrames(job.in.format, job.videoIn) - job.framesDone;
        job.damaged = missing > 0 ? missing : 1;
        char text[160];
        std::snprintf(text, sizeof text, "its video ends at %.3f s of the %.3f s its header says",
                      job.videoEnd, declared);
        job.damageWhy = text;
        if (!job.options.keepGoing)
            return badData(
                job.in.name + ": " + text +
                " (the file is cut short?); nothing is written (--keep-going writes what "
                "decodes)");
    }
    const int trailer = av_write_trailer(job.out.format);
    if (trailer < 0)
        return job.out.writeStatus.ok()
                   ? badData(job.options.output + ": cannot write: " + avErrorText(trailer))
                   : job.out.writeStatus;
    return success();
}

}  // namespace
}  // namespace videojob

using namespace videojob;

Status runVideo(const VideoOptions& options)
{
    struct stat st {};
    if (!options.overwrite && stat(options.output.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        return badData(options.output + ": " + existsAlready);

    Job job(options);
    Status s = openMediaInput(options.input, job.in);
    if (!s.ok()) return s;
    s = pickVideoStream(job.in, options.stream, job.videoIndex);
    if (!s.ok()) return s;
    job.videoIn = job.in.format->streams[job.videoIndex];
    s = openDecoder(job.in, job.videoIn, job.decoder);
    if (!s.ok()) return s;
    if (needsDolbyVision(job.videoIn))
        return badData(job.in.name +
                       ": its Dolby Vision video has its true colours only through its "
                       "dynamic metadata, which a correction would make wrong");
    // The container's HDR metadata first, then the stream's own.
    takeStreamHdr(job.videoIn, job.hdr);
    probeFirstFrame(job);
    job.dynamicNoted |= streamDynamicKinds(job.videoIn);
    if (job.dynamicNoted != 0)
        job.notes.push_back(job.in.name + ": " + droppedText(job.dynamicNoted));
    s = setUpOutput(job);
    if (!s.ok()) return s;

    for (const std::string& note : job.notes) printNote(note);
    job.meter = startFrameProgress(options.quiet, expectedFrames(job.in.format, job.videoIn));
    s = transcode(job);
    finishProgress(job.meter);
    if (!s.ok()) return s;  // the output's temporary goes with it
    s = commitMediaOutput(job.out, options.overwrite);
    if (!s.ok()) return s;
    // Frames that never came out of the decoder are lost too, where the
    // container counts its frames.
    if (job.damaged > 0 && job.videoIn->nb_frames > job.framesDone + job.damaged)
        job.damaged = job.videoIn->nb_frames - job.framesDone;
    if (job.damaged > 0) {
        const std::string at =
            job.firstDamage != AV_NOPTS_VALUE
                ? ", the first at " + timeText(job.firstDamage, job.videoIn->time_base)
                : "";
        return badData(job.in.name + ": " + std::to_string(job.damaged) + " frame" +
                       (job.damaged == 1 ? "" : "s") + " lost (" + job.damageWhy + at + "); " +
                       std::to_string(job.framesDone) + " written to " + options.output);
    }
    return success();
}

int videoCommand(int argc, const char* const* argv)
{
    VideoOptions options;
    Status s = parseVideoCommandLine(argc, argv, options);
    if (s.ok() && options.help) {
        const std::string text = videoHelp();
        std::fputs(text.c_str(), stdout);
        return std::fflush(stdout) == 0 ? exitSuccess : exitBadData;
    }
    if (s.ok()) {
        // The libraries' own messages would be a second voice beside the
        // tool's one line.
        av_log_set_level(AV_LOG_FATAL);
        try {
            s = runVideo(options);
        } catch (const std::bad_alloc&) {
            s = badData(inputName(options.input) + ": out of memory");
        }
    }
    if (!s.ok() && !s.message.empty()) std::fprintf(stderr, "velto: %s\n", s.message.c_str());
    return s.exitCode;
}
