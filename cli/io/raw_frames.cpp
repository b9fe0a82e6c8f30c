#include "cli/io/raw_frames.h"

#include <string>

ReadStep RawReader::operator()(FrameJob& job, Status& status)
{
    const size_t words = size_t(width) * size_t(height);
    job.source.resize(words);
    size_t got = 0;
    status = readFully(*in, reinterpret_cast<uint8_t*>(job.source.data()), words * 4, got);
    if (!status.ok()) return ReadStep::stop;
    if (got == 0 && frames > 0) return ReadStep::end;
    if (got == 0) {
        status = badData(in->name + ": holds no frame (the stream is empty)");
        return ReadStep::stop;
    }
    if (got < words * 4) {
        shortFrame = true;
        const std::string kept = frames == 0 ? "nothing is written"
                                 : frames == 1
                                     ? "the 1 whole frame before it is written"
                                     : "the " + std::to_string(frames) +
                                           " whole frames before it are written";
        status = badData(in->name + ": frame " + std::to_string(frames) + " is incomplete (" +
                         std::to_string(got) + " of " + std::to_string(words * 4) +
                         " bytes); " + kept);
        return ReadStep::stop;
    }
    ++frames;
    return ReadStep::frame;
}
