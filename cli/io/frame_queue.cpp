#include "cli/io/frame_queue.h"

#include <algorithm>

namespace {

// How many jobs may be in flight: two a worker, within the memory budget.
size_t windowFor(int32_t threads, size_t jobBytes)
{
    const size_t byThreads = twoPerWorker(threads);
    const size_t byBytes = jobBytes == 0 ? byThreads : framesInFlightBudget / jobBytes;
    return std::max<size_t>(1, std::min(byThreads, byBytes));
}

}  // namespace

Status runFrames(int32_t threads, const FrameSteps& steps)
{
    const size_t window = threads <= 1 ? 1 : windowFor(threads, steps.jobBytes);
    std::vector<FrameJob> slots(window);
    OrderedSteps ordered;
    ordered.take = [&](int64_t index, size_t slot, Status& status) {
        FrameJob& job = slots[slot];
        if (steps.read(job, status) != ReadStep::frame) return false;
        job.index = index;
        return true;
    };
    ordered.work = [&](int64_t, size_t slot) { steps.work(slots[slot]); };
    ordered.emit = [&](int64_t, size_t slot) { return steps.emit(slots[slot]); };
    ordered.progress = steps.progress;
    return runOrdered(threads, window, ordered);
}
