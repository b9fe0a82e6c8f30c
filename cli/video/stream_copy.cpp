#include "cli/video/stream_copy.h"

#include "cli/video/hdr_metadata.h"

#include <cstring>
#include <new>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/avstring.h>
#include <libavutil/mem.h>
}

namespace {

std::string kindOf(const AVStream* st)
{
    const char* kind = av_get_media_type_string(st->codecpar->codec_type);
    return kind ? kind : "unknown";
}

std::string describe(const AVStream* st)
{
    const char* codec = avcodec_get_name(st->codecpar->codec_id);
    return "stream " + std::to_string(st->index) + " (" + kindOf(st) + ", " + codec + ")";
}

bool headerTakes(const AVOutputFormat* container, const AVStream* st)
{
    AVFormatContext* trial = nullptr;
    if (avformat_alloc_output_context2(&trial, container, nullptr, nullptr) < 0)
        throw std::bad_alloc();
    bool takes = false;
    AVStream* o = avformat_new_stream(trial, nullptr);
    if (o && avcodec_parameters_copy(o->codecpar, st->codecpar) >= 0 &&
        avio_open_dyn_buf(&trial->pb) >= 0) {
        o->codecpar->codec_tag = 0;
        o->time_base = st->time_base;
        trial->pb->seekable = AVIO_SEEKABLE_NORMAL;  // memory seeks like a file
        takes = avformat_write_header(trial, nullptr) >= 0;
        uint8_t* bytes = nullptr;
        avio_close_dyn_buf(trial->pb, &bytes);
        av_free(bytes);
        trial->pb = nullptr;
    }
    avformat_free_context(trial);
    return takes;
}

bool fits(const AVOutputFormat* container, const AVStream* st)
{
    const AVCodecParameters* p = st->codecpar;
    if (p->codec_id == AV_CODEC_ID_NONE) return false;
    // Attachments (fonts, covers) exist as streams in Matroska alone.
    if (p->codec_type == AVMEDIA_TYPE_ATTACHMENT)
        return av_match_name(container->name, "matroska,webm") != 0;
    // 1: it takes it; 0: it does not; below 0: the container does not say.
    if (avformat_query_codec(container, p->codec_id, FF_COMPLIANCE_NORMAL) == 0) return false;
    // Some it takes only as an experiment (FLAC in MP4, in this version):
    // a header with the stream alone, written to memory, tells.
    return headerTakes(container, st);
}

bool isChapterTrack(const AVFormatContext* format, const AVStream* st)
{
    return format->nb_chapters > 0 && av_match_name("mov", format->iformat->name) &&
           st->codecpar->codec_type == AVMEDIA_TYPE_DATA &&
           st->codecpar->codec_id == AV_CODEC_ID_BIN_DATA;
}

// The corrected stream's without its dynamic HDR metadata, which the
// correction makes wrong.
void copySideData(const AVStream* in, AVStream* out, bool reencoded)
{
    for (int i = 0; i < in->nb_side_data; ++i) {
        const AVPacketSideData& sd = in->side_data[i];
        if (reencoded && isDynamicStreamData(sd.type)) continue;
        uint8_t* data = av_stream_new_side_data(out, sd.type, sd.size);
        if (!data) throw std::bad_alloc();
        std::memcpy(data, sd.data, sd.size);
    }
}

// Keys of statistics a muxer writes per stream, which go stale on re-encoding.
bool isStatistic(const char* key)
{
    static constexpr const char* stale[] = {
        "encoder", "BPS", "DURATION", "NUMBER_OF_FRAMES", "NUMBER_OF_BYTES", "_STATISTICS_"};
    for (const char* s : stale)
        if (av_strstart(key, s, nullptr)) return true;
    return false;
}

}  // namespace

void copyStreamMetadata(const AVStream* in, AVStream* out, bool reencoded)
{
    const AVDictionaryEntry* e = nullptr;
    while ((e = av_dict_get(in->metadata, "", e, AV_DICT_IGNORE_SUFFIX)))
        if (!reencoded || !isStatistic(e->key)) av_dict_set(&out->metadata, e->key, e->value, 0);
}

Status planStreams(const MediaInput& in, int videoIndex, bool dropUnsupported,
                   const std::string& outputName, MediaOutput& out, StreamMap& map,
                   AVStream*& videoOut, std::vector<std::string>& notes)
{
    const AVOutputFormat* container = out.format->oformat;
    const unsigned count = in.format->nb_streams;
    std::vector<char> keep(count, 0);
    for (unsigned i = 0; i < count; ++i) {
        const AVStream* st = in.format->streams[i];
        if (static_cast<int>(i) == videoIndex) {
            keep[i] = 1;
            continue;
        }
        // A QuickTime or MP4 file keeps its chapter names in a text track,
        // which the demuxer shows as a data stream besides the chapters
        // themselves: they go over as chapters, and the muxer makes that
        // track anew.
        if (isChapterTrack(in.format, st)) continue;
        if (fits(container, st)) {
            keep[i] = 1;
            continue;
        }
        const std::string what = describe(st) + " cannot go into " + outputName;
        if (!dropUnsupported)
            return badData(in.name + ": " + what + "; --drop-unsupported leaves it out");
        notes.push_back(in.name + ": " + what + "; left out");
    }
    map.outputOf.assign(count, -1);
    for (unsigned i = 0; i < count; ++i) {
        if (!keep[i]) continue;
        const AVStream* st = in.format->streams[i];
        AVStream* o = avformat_new_stream(out.format, nullptr);
        if (!o) throw std::bad_alloc();
        o->disposition = st->disposition;
        copySideData(st, o, static_cast<int>(i) == videoIndex);
        if (static_cast<int>(i) == videoIndex) {
            videoOut = o;
            copyStreamMetadata(st, o, true);
            continue;
        }
        copyStreamMetadata(st, o, false);
        if (avcodec_parameters_copy(o->codecpar, st->codecpar) < 0) throw std::bad_alloc();
        // The output's container chooses its own tag for the codec.
        o->codecpar->codec_tag = 0;
        o->time_base = st->time_base;
        o->avg_frame_rate = st->avg_frame_rate;
        o->r_frame_rate = st->r_frame_rate;
        o->sample_aspect_ratio = st->sample_aspect_ratio;
        map.outputOf[i] = o->index;
    }
    return success();
}

void copyContainerInfo(const AVFormatContext* in, AVFormatContext* out)
{
    av_dict_copy(&out->metadata, in->metadata, 0);
    if (in->nb_chapters == 0) return;
    out->chapters = static_cast<AVChapter**>(av_calloc(in->nb_chapters, sizeof(AVChapter*)));
    if (!out->chapters) throw std::bad_alloc();
    for (unsigned i = 0; i < in->nb_chapters; ++i) {
        const AVChapter* c = in->chapters[i];
        auto* copy = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
        if (!copy) throw std::bad_alloc();
        copy->id = c->id;
        copy->time_base = c->time_base;
        copy->start = c->start;
        copy->end = c->end;
        av_dict_copy(&copy->metadata, c->metadata, 0);
        out->chapters[out->nb_chapters++] = copy;
    }
}
