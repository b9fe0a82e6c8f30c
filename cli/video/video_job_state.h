// What one run of velto video carries between its steps: the input and the
// output, the decoder and the encoder, and the frames in flight. The steps
// live in video_input.cpp (choosing and opening the stream), video_frames.cpp
// (reading and writing frames), frame_work.cpp (correcting them on the
// workers) and video_job.cpp (setting up and running the whole).
#pragma once

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
#include "cli/video/hdr_metadata.h"
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

#include "cli/video/video_options.h"

namespace videojob {

void printNote(const std::string& message);
std::string timeText(int64_t stamp, AVRational timeBase);

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

// What a frame carries from its reading to its writing, besides its words
// (the runner's source, corrected in place).
// What can go wrong on a worker, said on the calling thread: a worker must
// not throw, and making a message may.
enum class WorkFailure { none, toWords, props, fromWords, memory };

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
    // Deeper than 8 bits in and out: corrected in this planar R'G'B'.
    AVPixelFormat deepFormat = AV_PIX_FMT_NONE;
    Packet packet, encoded;
    // Packets read ahead to find the first frame's HDR metadata, to be
    // handled first.
    std::deque<AVPacket*> held;
    HdrMetadata hdr;
    unsigned dynamicNoted = 0;  // the kinds of dynamic metadata said to be left out
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
        for (AVPacket*& p : held) av_packet_free(&p);
    }
};

// video_input.cpp
Status pickVideoStream(const MediaInput& in, int32_t wanted, int& index);
Status openDecoder(const MediaInput& in, const AVStream* st, Codec& decoder);
int64_t expectedFrames(const AVFormatContext* format, const AVStream* st);
double declaredVideoSeconds(const AVFormatContext* format, const AVStream* st);
void probeFirstFrame(Job& job);

// video_frames.cpp, frame_work.cpp
bool isSaneTicks(int64_t ticks);
AVFrame* newFrame();
Status writeEncoded(Job& job);
Status damage(Job& job, int64_t stamp, const std::string& why);
Status copyPacket(Job& job, AVPacket* p);
ReadStep readFrame(Job& job, FrameJob& frameJob, Status& status);
void workFrame(Job& job, FrameJob& frameJob);
Status workStatus(const Job& job, const FrameSlot& slot);
Status emitFrame(Job& job, FrameJob& frameJob);

}  // namespace videojob
