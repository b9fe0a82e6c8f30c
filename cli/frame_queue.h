// Frames are independent, so several are corrected at once while they are
// read and written in input order by the calling thread. At most two frames a
// worker are in flight, and no more than fit in a fixed memory budget (but
// always one), so the memory a stream takes does not grow with the thread
// count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "cli/status.h"
#include "engine/block_levels.h"

struct FrameJob {
    int64_t index = 0;
    std::vector<uint32_t> source;  // width * height words, top row first
    std::vector<uint32_t> result;  // the corrected frame, when one is made
    BlockLevels levels{};
};

enum class ReadStep { frame, end, stop };

// The memory the jobs in flight may take together; a job larger than this
// still runs, alone.
constexpr size_t framesInFlightBudget = size_t{256} << 20;

struct FrameSteps {
    // Fills job.source with the next frame. On stop, status says why; the
    // frames read before are still worked on and emitted.
    std::function<ReadStep(FrameJob& job, Status& status)> read;
    std::function<void(FrameJob& job)> work;  // on a worker thread; must not allocate
    std::function<Status(FrameJob& job)> emit;
    std::function<void(int64_t framesDone)> progress;  // may be empty
    size_t jobBytes = 0;  // the memory one job holds once read (and worked on)
};

// threads 1, or a budget that holds a single job, works inline. Returns the first failure: of emit (which ends the
// run at once) or of read (after the frames before it are emitted).
Status runFrames(int32_t threads, const FrameSteps& steps);
