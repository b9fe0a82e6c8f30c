#include "cli/io/ordered_work.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace {

Status runInline(const OrderedSteps& steps)
{
    for (int64_t index = 0;; ++index) {
        Status takeStatus;
        if (!steps.take(index, 0, takeStatus)) return takeStatus;
        steps.work(index, 0);
        const Status s = steps.emit(index, 0);
        if (!s.ok()) return s;
        if (steps.progress) steps.progress(index + 1);
    }
}

struct WorkQueue {
    size_t window = 1;
    std::mutex mutex;
    std::condition_variable workReady;
    std::condition_variable jobDone;
    std::deque<int64_t> waiting;  // items to work on, oldest first
    std::vector<char> done;       // per slot
    bool closing = false;
};

void workerLoop(WorkQueue& queue, const OrderedSteps& steps)
{
    for (;;) {
        int64_t index;
        {
            std::unique_lock lock(queue.mutex);
            queue.workReady.wait(lock, [&] { return queue.closing || !queue.waiting.empty(); });
            if (queue.waiting.empty()) return;
            index = queue.waiting.front();
            queue.waiting.pop_front();
        }
        const size_t slot = static_cast<size_t>(index) % queue.window;
        steps.work(index, slot);
        {
            std::lock_guard lock(queue.mutex);
            queue.done[slot] = 1;
        }
        queue.jobDone.notify_all();
    }
}

// Takes items into free slots, hands them to the workers and emits the
// oldest as soon as it is done, until the items end or a step fails.
void pump(const OrderedSteps& steps, WorkQueue& queue, Status& takeStatus, Status& emitStatus)
{
    const size_t window = queue.window;
    bool inputOver = false;
    int64_t nextTake = 0, nextEmit = 0;
    for (;;) {
        // Only the slots outside [nextEmit, nextTake) are free of workers.
        while (!inputOver && nextTake - nextEmit < static_cast<int64_t>(window)) {
            const size_t slot = static_cast<size_t>(nextTake) % window;
            if (!steps.take(nextTake, slot, takeStatus)) {
                inputOver = true;
                break;
            }
            {
                std::lock_guard lock(queue.mutex);
                queue.done[slot] = 0;
                queue.waiting.push_back(nextTake);
            }
            ++nextTake;
            queue.workReady.notify_one();
        }
        if (nextEmit == nextTake) break;
        const size_t slot = static_cast<size_t>(nextEmit) % window;
        {
            std::unique_lock lock(queue.mutex);
            queue.jobDone.wait(lock, [&] { return queue.done[slot] != 0; });
        }
        emitStatus = steps.emit(nextEmit, slot);
        if (!emitStatus.ok()) return;
        ++nextEmit;
        if (steps.progress) steps.progress(nextEmit);
    }
}

}  // namespace

Status runOrdered(int32_t threads, size_t window, const OrderedSteps& steps)
{
    window = std::max<size_t>(1, window);
    if (threads <= 1 || window == 1) return runInline(steps);
    // More workers than items in flight would have nothing to do.
    threads = static_cast<int32_t>(std::min(static_cast<size_t>(threads), window));

    WorkQueue queue;
    queue.window = window;
    queue.done.assign(window, 0);
    std::vector<std::thread> workers;
    workers.reserve(static_cast<size_t>(threads));
    // A system that refuses more threads gets the run on those it gave.
    for (int32_t i = 0; i < threads; ++i) {
        try {
            workers.emplace_back(workerLoop, std::ref(queue), std::cref(steps));
        } catch (const std::system_error&) {
            break;
        }
    }
    if (workers.empty()) return runInline(steps);

    Status takeStatus, emitStatus;
    // The workers must be joined whatever happens; the one exception a step
    // can raise is running out of memory for an item.
    try {
        pump(steps, queue, takeStatus, emitStatus);
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
    return emitStatus.ok() ? takeStatus : emitStatus;
}
