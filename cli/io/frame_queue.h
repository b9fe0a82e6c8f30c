// Frames are independent, so several are corrected at once while they are
// read and written in input order by the calling thread. At most two frames a
// worker are in flight, and no more than fit in a fixed memory budget (but
// always one), so the memory a stream takes does not grow with the thread
// count.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <functional>
#include <mutex>
#include <vector>

#include "cli/io/ordered_work.h"
#include "cli/status.h"
#include "engine/classic/block_levels.h"
#include "engine/neutral/light_estimate.h"
#include "engine/scene_change.h"

struct FrameJob {
    int64_t index = 0;
    std::vector<uint32_t> source;  // width * height words, top row first
    std::vector<uint32_t> result;  // the corrected frame, when one is made
    BlockLevels levels{};
    LightEstimate light{};       // the neutral correction's estimate, when asked for
    std::unique_ptr<NeutralBlocks> blocks;  // and its blocks, for steady reports
    SceneSignature signature{};  // for steady levels, when the work asks for it
};

enum class ReadStep { frame, end, stop };

// The memory the jobs in flight may take together; a job larger than this
// still runs, alone.
constexpr size_t framesInFlightBudget = size_t{256} << 20;

struct FrameSteps {
    // Fills job.source with the next frame. On stop, status says why; the
    // frames read before are still worked on and emitted.
    std::function<ReadStep(FrameJob& job, Status& status)> read;
    std::function<void(FrameJob& job)> work;  // on a worker thread; must not throw
    std::function<Status(FrameJob& job)> emit;
    std::function<void(int64_t framesDone)> progress;  // may be empty
    size_t jobBytes = 0;  // the memory one job holds once read (and worked on)
};

// One step of each frame's work run in frame order, for what carries from
// frame to frame: a worker waits at the turnstile until the frames before its
// own have passed. The workers take frames oldest first, so the oldest frame
// in work never waits there and the run cannot stall.
struct FrameTurnstile {
    std::mutex mutex;
    std::condition_variable turn;
    int64_t next = 0;  // the index of the frame whose turn it is

    template <typename Step>
    void pass(int64_t index, Step step)
    {
        {
            std::unique_lock lock(mutex);
            turn.wait(lock, [&] { return next == index; });
            step();
            ++next;
        }
        turn.notify_all();
    }
};

// Frames in order through runOrdered (ordered_work.h): threads 1, or a budget
// that holds a single job, works inline. Returns the first failure: of emit
// (which ends the run at once) or of read (after the frames before it are
// emitted).
Status runFrames(int32_t threads, const FrameSteps& steps);
