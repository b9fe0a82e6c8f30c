#include "cli/frame_queue.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

namespace {

Status runInline(const FrameSteps& steps)
{
    FrameJob job;
    for (int64_t index = 0;; ++index) {
        Status readStatus;
        const ReadStep step = steps.read(job, readStatus);
        if (step == ReadStep::end) return success();
        if (step == ReadStep::stop) return readStatus;
        job.index = index;
        steps.work(job);
        const Status s = steps.emit(job);
        if (!s.ok()) return s;
        if (steps.progress) steps.progress(index + 1);
    }
}

struct WorkQueue {
    std::mutex mutex;
    std::condition_variable workReady;
    std::condition_variable jobDone;
    std::deque<size_t> waiting;  // slots to work on, oldest first
    std::vector<char> done;      // per slot
    bool closing = false;
};

void workerLoop(WorkQueue& queue, std::vector<FrameJob>& slots, const FrameSteps& steps)
{
    for (;;) {
        size_t slot;
        {
            std::unique_lock lock(queue.mutex);
            queue.workReady.wait(lock, [&] { return queue.closing || !queue.waiting.empty(); });
            if (queue.waiting.empty()) return;
            slot = queue.waiting.front();
            queue.waiting.pop_front();
        }
        steps.work(slots[slot]);
        {
            std::lock_guard lock(queue.mutex);
            queue.done[slot] = 1;
        }
        queue.jobDone.notify_all();
    }
}

// Reads frames into free slots, hands them to the workers and emits the
// oldest as soon as it is done, until the input ends or a step fails.
void pump(const FrameSteps& steps, WorkQueue& queue, std::vector<FrameJob>& slots,
          Status& readStatus, Status& emitStatus)
{
    const size_t window = slots.size();
    bool inputOver = false;
    int64_t nextRead = 0, nextEmit = 0;
    for (;;) {
        // Only the slots outside [nextEmit, nextRead) are free of workers.
        while (!inputOver && nextRead - nextEmit < static_cast<int64_t>(window)) {
            const size_t slot = static_cast<size_t>(nextRead) % window;
            const ReadStep step = steps.read(slots[slot], readStatus);
            if (step != ReadStep::frame) {
                inputOver = true;
                break;
            }
            slots[slot].index = nextRead++;
            {
                std::lock_guard lock(queue.mutex);
                queue.done[slot] = 0;
                queue.waiting.push_back(slot);
            }
            queue.workReady.notify_one();
        }
        if (nextEmit == nextRead) break;
        const size_t slot = static_cast<size_t>(nextEmit) % window;
        {
            std::unique_lock lock(queue.mutex);
            queue.jobDone.wait(lock, [&] { return queue.done[slot] != 0; });
        }
        emitStatus = steps.emit(slots[slot]);
        if (!emitStatus.ok()) return;
        ++nextEmit;
        if (steps.progress) steps.progress(nextEmit);
    }
}

// How many jobs may be in flight: two a worker, so that a worker finds the
// next frame read when it is done, within the memory budget.
size_t windowFor(int32_t threads, size_t jobBytes)
{
    const size_t byThreads = 2 * static_cast<size_t>(threads);
    const size_t byBytes = jobBytes == 0 ? byThreads : framesInFlightBudget / jobBytes;
    return std::max<size_t>(1, std::min(byThreads, byBytes));
}

}  // namespace

Status runFrames(int32_t threads, const FrameSteps& steps)
{
    const size_t window = threads <= 1 ? 1 : windowFor(threads, steps.jobBytes);
    if (window == 1) return runInline(steps);
    // More workers than jobs in flight would have nothing to do.
    threads = static_cast<int32_t>(std::min(static_cast<size_t>(threads), window));

    std::vector<FrameJob> slots(window);
    WorkQueue queue;
    queue.done.assign(window, 0);
    std::vector<std::thread> workers;
    workers.reserve(static_cast<size_t>(threads));
    // A system that refuses more threads gets the run on those it gave.
    for (int32_t i = 0; i < threads; ++i) {
        try {
            workers.emplace_back(workerLoop, std::ref(queue), std::ref(slots), std::cref(steps));
        } catch (const std::system_error&) {
            break;
        }
    }
    if (workers.empty()) return runInline(steps);

    Status readStatus, emitStatus;
    // The workers must be joined whatever happens; the one exception a step
    // can raise is running out of memory for a frame.
    try {
        pump(steps, queue, slots, readStatus, emitStatus);
    } catch (const std::bad_alloc&) {
        emitStatus = badData("out of memory for the frames in flight");
    }

    {
        std::lock_guard lock(queue.mutex);
        queue.closing = true;
        queue.waiting.clear();
    }
    queue.workReady.notify_all();
    for (std::thread& t : workers) t.join();
    return emitStatus.ok() ? readStatus : emitStatus;
}
