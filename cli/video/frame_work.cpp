// A frame's work on a worker: its picture to the filter's words (or to
// deep planar R'G'B'), corrected, and back to the encoder's format, with the
// decoded frame's time, tags and side data.
#include "cli/video/video_job_state.h"

namespace videojob {
namespace {

// One frame's work on a worker: to words, through the filter in frame
// order, and back to the encoder's format.
void correctFrame(Job& job, const FrameJob& frameJob, FrameSlot& slot, PictureConverter& converter,
                  uint32_t* words)
{
    AVFrame* frame = slot.decoded;
    AVFrame* picture = slot.picture;
    slot.format = static_cast<AVPixelFormat>(frame->format);
    const PictureColours colours = picturesColours(frame);
    const PictureColours back = job.modelChanged ? job.outputColours : colours;
    const bool deep = job.deepFormat != AV_PIX_FMT_NONE;
    if (deep ? !pictureToDeep(converter, frame, colours, job.deepFormat)
             : !pictureToWords(converter, frame, colours, words))
        slot.failure = WorkFailure::toWords;
    else if (deep)
        deepToWords(converter, words);
    // Time, duration, colour tags, aspect and side data (rotation, captions,
    // HDR) as the decoded frame had them, none of an earlier frame's. Then
    // the decoded picture goes back to the decoder at once.
    while (picture->nb_side_data > 0)
        av_frame_remove_side_data(picture, picture->side_data[0]->type);
    av_dict_free(&picture->metadata);
    if (av_frame_copy_props(picture, frame) < 0 && slot.failure == WorkFailure::none)
        slot.failure = WorkFailure::props;
    av_frame_unref(frame);
    // In place: the analysis reads the whole frame before the first pixel is
    // written, and each pixel is corrected on its own.
    if (slot.failure != WorkFailure::none) {
        skipVideoFrame(job.correction, job.turnstile, frameJob.index);
    } else if (deep) {
        // Analysed at 8 bits, corrected at the samples' own depth.
        deepVideoTables(job.correction, job.turnstile, frameJob.index, words, job.width, job.height,
                        slot.frameSeconds, bitsPerChannel(job.deepFormat), converter.tables);
        const size_t rowSamples = size_t(converter.deep->linesize[0]) / 2;
        const size_t count = rowSamples * size_t(job.height);
        // Planes G, B, R: channels 1, 2, 0.
        static constexpr int32_t channelOf[3] = {1, 2, 0};
        for (int plane = 0; plane < 3; ++plane)
            applyDeepPlane(converter.tables, channelOf[plane],
                           reinterpret_cast<uint16_t*>(converter.deep->data[plane]), count);
        if (!deepToPicture(converter, back, picture)) slot.failure = WorkFailure::fromWords;
    } else {
        correctVideoFrame(job.correction, job.turnstile, frameJob.index, words, words, job.width,
                          job.height, slot.frameSeconds);
        if (!wordsToPicture(converter, words, back, picture)) slot.failure = WorkFailure::fromWords;
    }
}

bool hasTakenTurn(FrameTurnstile& turnstile, int64_t index)
{
    std::lock_guard lock(turnstile.mutex);
    return turnstile.next > index;
}

}  // namespace

// The runner's work step. Nothing may leave a worker as an exception: a
// failure is kept in the frame's slot and said on the calling thread.
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
    try {
        correctFrame(job, frameJob, *slot, *converter, frameJob.source.data());
    } catch (const std::bad_alloc&) {
        slot->failure = WorkFailure::memory;
        // The frames after it wait for its turn at the turnstile.
        if (!hasTakenTurn(job.turnstile, frameJob.index))
            skipVideoFrame(job.correction, job.turnstile, frameJob.index);
    }
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
    case WorkFailure::memory:
        return badData(job.in.name + ": out of memory");
    case WorkFailure::fromWords:
        break;
    }
    return badData(job.in.name + ": cannot convert its pictures back to " +
                   av_get_pix_fmt_name(job.encoder.c->pix_fmt));
}

}  // namespace videojob
