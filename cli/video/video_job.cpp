#include "cli/video/video_job.h"

#include <sys/stat.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "cli/formats/frame_size.h"
#include "cli/io/frame_queue.h"
#include "cli/jobs/progress.h"
#include "cli/video/frame_correction.h"
#include "cli/video/media_files.h"
#include "cli/video/picture_convert.h"
#include "cli/video/stream_copy.h"
#include "cli/video/video_encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/avstring.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
}

// The filter's words are B, G, R, A bytes only on a little-endian machine.
static_assert(std::endian::native == std::endian::little);

namespace {

void printNote(const std::string& message)
{
    std::fprintf(stderr, "velto: %s\n", message.c_str());
}

// A time in seconds for messages: "12.480 s".
std::string timeText(int64_t stamp, AVRational timeBase)
{
    if (stamp == AV_NOPTS_VALUE) return "an unknown time";
    char text[48];
    std::snprintf(text, sizeof text, "%.3f s", static_cast<double>(stamp) * av_q2d(timeBase));
    return text;
}

struct Packet {
    AVPacket* p = av_packet_alloc();
    Packet()
    {
        if (!p) throw std::bad_alloc();
    }
    ~Packet() { av_packet_free(&p); }
};

struct Codec {
    AVCodecContext* c = nullptr;
    ~Codec() { avcodec_free_context(&c); }
};

// The first video stream that is a moving picture (not a cover picture), or
// the one --stream names.
Status pickVideoStream(const MediaInput& in, int32_t wanted, int& index)
{
    const unsigned count = in.format->nb_streams;
    if (wanted >= 0) {
        if (static_cast<unsigned>(wanted) >= count)
            return badData(in.name + ": has no stream " + std::to_string(wanted) + " (it has " +
                           std::to_string(count) + ")");
        const AVStream* st = in.format->streams[wanted];
        if (st->codecpar->codec_type != AVMEDIA_TYPE_VIDEO)
            return badData(in.name + ": stream " + std::to_string(wanted) + " is " +
                           (av_get_media_type_string(st->codecpar->codec_type)
                                ? av_get_media_type_string(st->codecpar->codec_type)
                                : "data") +
                           ", not video");
        index = wanted;
        return success();
    }
    for (unsigned i = 0; i < count; ++i) {
        const AVStream* st = in.format->streams[i];
        if (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
            !(st->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
            index = static_cast<int>(i);
            return success();
        }
    }
    return badData(in.name + ": has no video stream");
}

Status openDecoder(const MediaInput& in, const AVStream* st, Codec& decoder)
{
    const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
    if (!codec)
        return badData(in.name + ": its video (" + avcodec_get_name(st->codecpar->codec_id) +
                       ") cannot be decoded on this machine");
    decoder.c = avcodec_alloc_context3(codec);
    if (!decoder.c) throw std::bad_alloc();
    if (avcodec_parameters_to_context(decoder.c, st->codecpar) < 0) throw std::bad_alloc();
    decoder.c->pkt_timebase = st->time_base;
    decoder.c->thread_count = 0;
    decoder.c->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    const int opened = avcodec_open2(decoder.c, codec, nullptr);
    if (opened < 0)
        return badData(in.name + ": its video (" + codec->name +
                       ") cannot be decoded: " + avErrorText(opened));
    return success();
}

// Frames in the stream: the container's count, or its duration times the
// frame rate; 0 when neither is known.
int64_t expectedFrames(const AVFormatContext* format, const AVStream* st)
{
    if (st->nb_frames > 0) return st->nb_frames;
    const AVRational rate = st->avg_frame_rate.num > 0 ? st->avg_frame_rate : st->r_frame_rate;
    double seconds = 0.0;
    if (st->duration > 0 && st->duration != AV_NOPTS_VALUE)
        seconds = static_cast<double>(st->duration) * av_q2d(st->time_base);
    else if (format->duration > 0)
        seconds = static_cast<double>(format->duration) / AV_TIME_BASE;
    if (!(rate.num > 0 && rate.den > 0) || !(seconds > 0.0)) return 0;
    const double frames = seconds * av_q2d(rate);
    return frames < 1e12 ? static_cast<int64_t>(std::llround(frames)) : 0;
}

// How long the container's header says the video lasts, in seconds; 0 unknown.
// A Matroska file made by libavformat says it in a DURATION tag.
double declaredVideoSeconds(const AVFormatContext* format, const AVStream* st)
{
    // A duration guessed from the bit rate says nothing about the end.
    if (format->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE) return 0.0;
    if (st->duration > 0 && st->duration != AV_NOPTS_VALUE)
        return static_cast<double>(st->duration) * av_q2d(st->time_base);
    const AVDictionaryEntry* d = av_dict_get(st->metadata, "DURATION", nullptr, 0);
    unsigned h = 0, m = 0;
    double s = 0.0;
    if (d && std::sscanf(d->value, "%u:%u:%lf", &h, &m, &s) == 3) return h * 3600.0 + m * 60.0 + s;
    return 0.0;
}

// What a frame carries from its reading to its writing, besides its words
// (the runner's source, corrected in place).
// What can go wrong on a worker, said on the calling thread: a worker must
// not throw, and making a message may.
enum class WorkFailure { none, toWords, props, fromWords };

struct FrameSlot {
    AVFrame* decoded = nullptr;              // as the decoder made it, until it is in words
    AVFrame* picture = nullptr;              // corrected, in the encoder's format
    double frameSeconds = 0.0;               // since the frame before
    AVPixelFormat format = AV_PIX_FMT_NONE;  // the decoded picture's
    WorkFailure failure = WorkFailure::none;
};

struct Job {
    const VideoOptions& options;
    MediaInput in;
    MediaOutput out;
    StreamMap map;
    int videoIndex = -1;
    AVStream* videoIn = nullptr;
    AVStream* videoOut = nullptr;
    Codec decoder, encoder;
    int32_t width = 0, height = 0;
    VideoCorrection correction{};
    FrameTurnstile turnstile;        // the steady levels' step, in frame order
    PictureColours outputColours{};  // where the output's pictures are Y'CbCr made from R'G'B'
    bool modelChanged = false;       // R'G'B' in, Y'CbCr out
    Packet packet, encoded;
    ProgressMeter meter;
    std::vector<std::string> notes;  // said once the output is under way

    // Frames in flight by index, and the frames and converters free for
    // use again: the reading and writing take and give them on the calling
    // thread, the workers under the lock.
    std::mutex mutex;
    std::map<int64_t, FrameSlot> slots;
    std::vector<AVFrame*> spareDecoded;
    // Oldest first: an encoder may hold on to the last picture it was given
    // (FFV1 does), which is then taken last, when it has let go of it.
    std::deque<AVFrame*> sparePictures;
    std::vector<std::unique_ptr<PictureConverter>> converters;
    int64_t framesRead = 0;
    bool decoderFlushed = false;

    int64_t lastStamp = AV_NOPTS_VALUE;  // the last frame's, in the input's time base
    int64_t lastDuration = 0;
    int64_t lastOutStamp = AV_NOPTS_VALUE;  // in the encoder's time base
    std::map<int64_t, int64_t> durations;   // frames in the encoder: stamp to duration
    int64_t framesDone = 0, framesEncoded = 0, damaged = 0;
    int64_t firstDamage = AV_NOPTS_VALUE;  // in the input's time base
    std::string damageWhy;
    double videoEnd = 0.0;  // seconds, the end of the last frame

    explicit Job(const VideoOptions& o) : options(o) {}
    ~Job()
    {
        for (auto& [index, slot] : slots) {
            av_frame_free(&slot.decoded);
            av_frame_free(&slot.picture);
        }
        for (AVFrame*& f : spareDecoded) av_frame_free(&f);
        for (AVFrame*& f : sparePictures) av_frame_free(&f);
    }
};

constexpr int64_t ticksLimit = int64_t{1} << 60;

bool isSaneTicks(int64_t ticks)
{
    return ticks > -ticksLimit && ticks < ticksLimit;
}

AVFrame* newFrame()
{
    AVFrame* f = av_frame_alloc();
    if (!f) throw std::bad_alloc();
    return f;
}

Status writeEncoded(Job& job)
{
    for (;;) {
        const int got = avcodec_receive_packet(job.encoder.c, job.encoded.p);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return success();
        if (got < 0)
            return badData(std::string("encoder ") + job.encoder.c->codec->name +
                           " failed: " + avErrorText(got));
        AVPacket* p = job.encoded.p;
        const auto d = job.durations.find(p->pts);
        if (d != job.durations.end()) {
            p->duration = d->second;
            job.durations.erase(d);
        }
        p->stream_index = job.videoOut->index;
        av_packet_rescale_ts(p, job.encoder.c->time_base, job.videoOut->time_base);
        const int written = av_interleaved_write_frame(job.out.format, p);
        if (written < 0)
            return job.out.writeStatus.ok()
                       ? badData(job.options.output + ": cannot write: " + avErrorText(written))
                       : job.out.writeStatus;
        // Progress counts frames out of the encoder, which holds back dozens.
        updateProgress(job.meter, ++job.framesEncoded);
    }
}

// Notes a frame or packet that failed; without --keep-going that ends the run.
Status damage(Job& job, int64_t stamp, const std::string& why)
{
    ++job.damaged;
    if (job.firstDamage == AV_NOPTS_VALUE && stamp != AV_NOPTS_VALUE) job.firstDamage = stamp;
    if (job.damageWhy.empty()) job.damageWhy = why;
    if (job.options.keepGoing) return success();
    return badData(job.in.name + ": the video at " + timeText(stamp, job.videoIn->time_base) +
                   " cannot be decoded (" + why +
                   "); nothing is written (--keep-going writes what decodes)");
}

Status copyPacket(Job& job, AVPacket* p);

// The next decoded frame into f: packets of other streams are copied on the
// way, and the decoder is drained at the end of the input.
ReadStep nextDecoded(Job& job, AVFrame* f, Status& status)
{
    for (;;) {
        const int got = avcodec_receive_frame(job.decoder.c, f);
        if (got >= 0) {
            if (f->decode_error_flags != 0 || (f->flags & AV_FRAME_FLAG_CORRUPT)) {
                status = damage(job, f->best_effort_timestamp, "a damaged picture");
                if (!status.ok()) return ReadStep::stop;
            }
            return ReadStep::frame;
        }
        if (got == AVERROR_EOF) return ReadStep::end;
        if (got != AVERROR(EAGAIN)) {
            status = damage(job, job.lastStamp, avErrorText(got));
            if (!status.ok()) return ReadStep::stop;
            continue;
        }
        AVPacket* p = job.packet.p;
        const int read = job.decoderFlushed ? AVERROR_EOF : av_read_frame(job.in.format, p);
        if (read < 0) {
            if (read != AVERROR_EOF) {
                status = damage(job, job.lastStamp,
                                "it cannot be read past there: " + avErrorText(read));
                if (!status.ok()) return ReadStep::stop;
            }
            if (job.decoderFlushed) return ReadStep::end;
            job.decoderFlushed = true;
            avcodec_send_packet(job.decoder.c, nullptr);
            continue;
        }
        if (p->stream_index != job.videoIndex) {
            status = copyPacket(job, p);
            av_packet_unref(p);
            if (!status.ok()) return ReadStep::stop;
            continue;
        }
        if (p->flags & AV_PKT_FLAG_CORRUPT) {
            status = damage(job, p->pts != AV_NOPTS_VALUE ? p->pts : p->dts,
                            "the file is damaged there");
            if (!status.ok()) {
                av_packet_unref(p);
                return ReadStep::stop;
            }
        }
        const int sent = avcodec_send_packet(job.decoder.c, p);
        const int64_t at = p->pts;
        av_packet_unref(p);
        if (sent < 0 && sent != AVERROR(EAGAIN)) {
            status = damage(job, at, avErrorText(sent));
            if (!status.ok()) return ReadStep::stop;
        }
    }
}

// The runner's read step, on the calling thread: a decoded frame, its time
// since the frame before, and room for its words and its corrected picture.
ReadStep readFrame(Job& job, FrameJob& frameJob, Status& status)
{
    AVFrame* f = job.spareDecoded.empty() ? newFrame() : job.spareDecoded.back();
    if (!job.spareDecoded.empty()) job.spareDecoded.pop_back();
    const ReadStep step = nextDecoded(job, f, status);
    if (step != ReadStep::frame) {
        job.spareDecoded.push_back(f);
        return step;
    }
    const AVRational inBase = job.videoIn->time_base;
    // A damaged or hostile file may carry any numbers here: stamps and
    // durations beyond 2^60 ticks are taken as missing, so that no sum
    // below can overflow.
    int64_t stamp = f->best_effort_timestamp;
    if (!isSaneTicks(stamp))
        stamp = job.lastStamp == AV_NOPTS_VALUE ? 0 : job.lastStamp + job.lastDuration;
    if (!isSaneTicks(f->pkt_duration) || f->pkt_duration < 0) f->pkt_duration = 0;
    if (!isSaneTicks(stamp)) stamp = job.lastStamp;
    f->best_effort_timestamp = stamp;
    FrameSlot slot;
    slot.decoded = f;
    // One rounding, of the exact ratio: 40 ticks of 1/1000 s are 1.0 / 25,
    // as 'velto apply --raw --fps 25' takes a frame.
    slot.frameSeconds = job.lastStamp == AV_NOPTS_VALUE
                            ? 0.0
                            : static_cast<double>(stamp - job.lastStamp) * inBase.num / inBase.den;
    job.lastStamp = stamp;
    job.lastDuration = f->pkt_duration;
    if (f->width != job.width || f->height != job.height) {
        status = badData(job.in.name + ": the picture size changes at " + timeText(stamp, inBase) +
                         " (" + std::to_string(f->width) + "x" + std::to_string(f->height) +
                         " after " + std::to_string(job.width) + "x" + std::to_string(job.height) +
                         "), which velto video does not follow");
        av_frame_unref(f);
        job.spareDecoded.push_back(f);
        return ReadStep::stop;
    }
    // One output picture a frame in flight, used again once the encoder has
    // let go of it: fresh memory for every frame would cost more than the
    // correction.
    AVFrame* picture = job.sparePictures.empty() ? newFrame() : job.sparePictures.front();
    if (!job.sparePictures.empty()) job.sparePictures.pop_front();
    if (!picture->buf[0]) {
        picture->format = job.encoder.c->pix_fmt;
        picture->width = job.width;
        picture->height = job.height;
        if (av_frame_get_buffer(picture, 0) < 0) throw std::bad_alloc();
    }
    if (av_frame_make_writable(picture) < 0) throw std::bad_alloc();
    slot.picture = picture;
    const size_t pixels = size_t(job.width) * size_t(job.height);
    frameJob.source.resize(pixels);
    std::lock_guard lock(job.mutex);
    job.slots.emplace(job.framesRead++, slot);
    return ReadStep::frame;
}

// The runner's work step, on a worker: to words, through the filter in frame
// order, and back to the encoder's format.
void workFrame(Job& job, FrameJob& frameJob)
{
    FrameSlot* slot;
    std::unique_ptr<PictureConverter> converter;
    {
        std::lock_guard lock(job.mutex);
        slot = &job.slots.find(frameJob.index)->second;
        converter = std::move(job.converters.back());
        job.converters.pop_back();
    }
    AVFrame* frame = slot->decoded;
    AVFrame* picture = slot->picture;
    slot->format = static_cast<AVPixelFormat>(frame->format);
    const PictureColours colours = picturesColours(frame);
    const PictureColours back = job.modelChanged ? job.outputColours : colours;
    uint32_t* words = frameJob.source.data();
    if (!pictureToWords(*converter, frame, colours, words)) slot->failure = WorkFailure::toWords;
    // Time, duration, colour tags, aspect and side data (rotation, captions,
    // HDR) as the decoded frame had them, none of an earlier frame's. Then
    // the decoded picture goes back to the decoder at once.
    while (picture->nb_side_data > 0)
        av_frame_remove_side_data(picture, picture->side_data[0]->type);
    av_dict_free(&picture->metadata);
    if (av_frame_copy_props(picture, frame) < 0 && slot->failure == WorkFailure::none)
        slot->failure = WorkFailure::props;
    av_frame_unref(frame);
    // In place: the analysis reads the whole frame before the first pixel is
    // written, and each pixel is corrected on its own.
    if (slot->failure == WorkFailure::none)
        correctVideoFrame(job.correction, job.turnstile, frameJob.index, words, words, job.width,
                          job.height, slot->frameSeconds);
    else
        skipVideoFrame(job.correction, job.turnstile, frameJob.index);
    if (slot->failure == WorkFailure::none && !wordsToPicture(*converter, words, back, picture))
        slot->failure = WorkFailure::fromWords;
    std::lock_guard lock(job.mutex);
    job.converters.push_back(std::move(converter));
}

// A worker's failure as the tool says it.
Status workStatus(const Job& job, const FrameSlot& slot)
{
    const char* name = av_get_pix_fmt_name(slot.format);
    const std::string format = name ? name : "an unknown pixel format";
    switch (slot.failure) {
    case WorkFailure::none:
        return success();
    case WorkFailure::toWords:
        return badData(job.in.name + ": cannot convert its pictures (" + format + ")");
    case WorkFailure::props:
        return badData(job.in.name + ": out of memory");
    case WorkFailure::fromWords:
        break;
    }
    return badData(job.in.name + ": cannot convert its pictures back to " +
                   av_get_pix_fmt_name(job.encoder.c->pix_fmt));
}

// The runner's emit step, on the calling thread, in frame order: the
// corrected picture with the decoded frame's time, tags and side data to
// the encoder, and what it has encoded to the output.
Status emitFrame(Job& job, FrameJob& frameJob)
{
    FrameSlot slot;
    {
        std::lock_guard lock(job.mutex);
        auto it = job.slots.find(frameJob.index);
        slot = it->second;
        job.slots.erase(it);
    }
    AVFrame* picture = slot.picture;
    // The encoder chooses its own frame types.
    picture->pict_type = AV_PICTURE_TYPE_NONE;
    picture->key_frame = 0;
    if (job.modelChanged) {
        picture->colorspace = job.outputColours.matrix;
        picture->color_range = job.outputColours.fullRange ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
    }
    // Every frame keeps its time and its duration; a container with a fixed
    // rate gets the nearest slot after the frame before.
    const AVRational inBase = job.videoIn->time_base;
    const int64_t stamp = picture->best_effort_timestamp;
    const int64_t duration = picture->pkt_duration;
    int64_t outStamp = av_rescale_q(stamp, inBase, job.encoder.c->time_base);
    if (job.lastOutStamp != AV_NOPTS_VALUE &&
        (outStamp <= job.lastOutStamp || !isSaneTicks(outStamp)))
        outStamp = job.lastOutStamp + 1;
    job.lastOutStamp = outStamp;
    picture->pts = outStamp;
    // Packets leave the encoder in decoding order, each with its frame's
    // stamp; an encoder that renames stamps leaves its entries behind, so
    // the oldest go once there are more than any encoder holds back.
    job.durations[outStamp] = av_rescale_q(duration, inBase, job.encoder.c->time_base);
    if (job.durations.size() > 1024) job.durations.erase(job.durations.begin());
    job.videoEnd = static_cast<double>(stamp + duration) * av_q2d(inBase);

    Status s = workStatus(job, slot);
    if (s.ok()) {
        const int sent = avcodec_send_frame(job.encoder.c, picture);
        if (sent < 0)
            s = badData(std::string("encoder ") + job.encoder.c->codec->name +
                        " failed: " + avErrorText(sent));
    }
    job.spareDecoded.push_back(slot.decoded);
    job.sparePictures.push_back(picture);
    if (!s.ok()) return s;
    ++job.framesDone;
    return writeEncoded(job);
}

Status copyPacket(Job& job, AVPacket* p)
{
    const int target = job.map.outputOf[static_cast<size_t>(p->stream_index)];
    if (target < 0) return success();
    const AVRational from = job.in.format->streams[p->stream_index]->time_base;
    p->stream_index = target;
    av_packet_rescale_ts(p, from, job.out.format->streams[target]->time_base);
    p->pos = -1;
    const int written = av_interleaved_write_frame(job.out.format, p);
    if (written < 0)
        return job.out.writeStatus.ok()
                   ? badData(job.options.output + ": cannot write: " + avErrorText(written))
                   : job.out.writeStatus;
    return success();
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
    Status s = chooseEncoder(o, container, encoder);
    if (!s.ok()) return s;

    const AVCodecParameters* par = job.videoIn->codecpar;
    const auto inputFormat = static_cast<AVPixelFormat>(job.decoder.c->pix_fmt);
    if (inputFormat == AV_PIX_FMT_NONE || par->width <= 0 || par->height <= 0)
        return badData(job.in.name + ": its video's picture format is unknown");
    if (!imageSizeAllowed(par->width, par->height))
        return badData(job.in.name + ": " + imageTooLargeText());
    const AVPixelFormat outputFormat = encoderFormat(encoder, inputFormat);
    if (bitsPerChannel(inputFormat) > 8)
        job.notes.push_back(job.in.name + ": " + av_get_pix_fmt_name(inputFormat) +
                            " has more than 8 bits a channel; it is corrected at 8 bits");
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
    s = openEncoder(o, encoder, setup, job.encoder.c);
    if (!s.ok()) return s;
    if (avcodec_parameters_from_context(job.videoOut->codecpar, job.encoder.c) < 0)
        throw std::bad_alloc();
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
    job.correction = {o.strengths, o.steadySeconds,
                      hasAlpha(inputFormat) ? TopByte::carried : TopByte::cleared};
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
    for (int32_t i = 0; i < threads; ++i)
        job.converters.push_back(std::make_unique<PictureConverter>());
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
