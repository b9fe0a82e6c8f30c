// Independent items worked on by several threads at once, while the calling
// thread takes them in and hands their results on in the order they came:
// the frames of a stream, the files of a run over many. The caller holds a
// job for each of the window's slots; item i lives in slot i % window from
// being taken in until it is emitted, and only then is the slot taken again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "cli/status.h"

struct OrderedSteps {
    // Takes item index into slot. False when there is none: at the end of the
    // items, with status left as it is, or on a failure, which status holds;
    // the items taken before are still worked on and emitted.
    std::function<bool(int64_t index, size_t slot, Status& status)> take;
    // On a worker thread, several items at once; must not throw.
    std::function<void(int64_t index, size_t slot)> work;
    std::function<Status(int64_t index, size_t slot)> emit;
    std::function<void(int64_t itemsDone)> progress;  // may be empty
};

// Two items a worker, so that a worker finds the next one taken in when it is
// done; one thread works inline.
inline size_t twoPerWorker(int32_t threads)
{
    return threads <= 1 ? 1 : 2 * static_cast<size_t>(threads);
}

// Runs the items on up to threads workers (no more than window), with at most
// window of them in flight; a window of 1 works inline on the calling thread.
// Returns the first failure: of emit (which ends the run at once) or of take
// (after the items before it are emitted).
Status runOrdered(int32_t threads, size_t window, const OrderedSteps& steps);
