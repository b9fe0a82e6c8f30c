// One frame's way through velto video: read and decoded on the calling
// thread, corrected on a worker (frame_work.cpp), and handed to the encoder
// in frame order; packets of other streams are copied on the way.
#include "cli/video/video_job_state.h"

// The filter's words are B, G, R, A bytes only on a little-endian machine.
static_assert(std::endian::native == std::endian::little);

namespace videojob {

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
        int read = 0;
        if (!job.held.empty()) {
            av_packet_move_ref(p, job.held.front());
            av_packet_free(&job.held.front());
            job.held.pop_front();
        } else {
            read = job.decoderFlushed ? AVERROR_EOF : av_read_frame(job.in.format, p);
        }
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

    // Dynamic metadata that turns up only later is left out as well, and
    // said once.
    const unsigned dropped = dropDynamicMetadata(picture) & ~job.dynamicNoted;
    if (dropped != 0) {
        job.dynamicNoted |= dropped;
        printMessage(job.meter, job.in.name + ": " + droppedText(dropped));
    }
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

}  // namespace videojob
