// Which stream of the input is corrected, its decoder, and how long the
// container says it lasts.
#include "cli/video/video_job_state.h"

namespace videojob {

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

}  // namespace videojob

namespace videojob {

// Read ahead no further than this for the first frame.
constexpr size_t probePackets = 512;
constexpr size_t probeBytes = size_t{64} << 20;

// The first frame's HDR metadata, which the encoder wants before it starts,
// and the kinds of dynamic metadata it has (in job.dynamicNoted):
// decoded apart on one thread, from packets read ahead and kept for the run
// (nothing is read twice, so a pipe works too). A frame that does not decode
// here just tells nothing: the run itself says what is wrong with it.
void probeFirstFrame(Job& job)
{
    const AVCodecParameters* par = job.videoIn->codecpar;
    Codec probe;
    probe.c = avcodec_alloc_context3(job.decoder.c->codec);
    if (!probe.c) throw std::bad_alloc();
    if (avcodec_parameters_to_context(probe.c, par) < 0) throw std::bad_alloc();
    probe.c->pkt_timebase = job.videoIn->time_base;
    probe.c->thread_count = 1;
    if (avcodec_open2(probe.c, job.decoder.c->codec, nullptr) < 0) return;
    struct FrameRef {
        AVFrame* f = newFrame();
        ~FrameRef() { av_frame_free(&f); }
    } frame;
    size_t bytes = 0;
    bool ended = false;
    while (!ended && job.held.size() < probePackets && bytes < probeBytes) {
        AVPacket* p = av_packet_alloc();
        if (!p) throw std::bad_alloc();
        if (av_read_frame(job.in.format, p) < 0) {
            av_packet_free(&p);
            avcodec_send_packet(probe.c, nullptr);  // the frames it holds back
            ended = true;
        } else {
            job.held.push_back(p);
            bytes += static_cast<size_t>(p->size);
            if (p->stream_index != job.videoIndex || avcodec_send_packet(probe.c, p) < 0)
                continue;
        }
        if (avcodec_receive_frame(probe.c, frame.f) < 0) continue;
        takeFrameHdr(frame.f, job.hdr);
        job.dynamicNoted |= dropDynamicMetadata(frame.f);
        return;
    }
}

}  // namespace videojob
