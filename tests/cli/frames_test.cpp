#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "cli/io/frame_queue.h"

namespace {

// Frames that carry their number; work takes longer for early frames so that
// late frames finish first on several threads.
struct CountingSteps {
    int64_t frames;
    int64_t stopAt = -1;  // read stops with an error here
    int64_t failEmitAt = -1;
    int64_t read = 0;
    std::vector<int64_t> emitted{};
    int64_t mostInFlight = 0;  // read and not yet emitted

    FrameSteps steps()
    {
        FrameSteps s;
        s.read = [this](FrameJob& job, Status& status) {
            if (read == stopAt) {
                status = badData("in: frame " + std::to_string(read) + " is incomplete");
                return ReadStep::stop;
            }
            if (read == frames) return ReadStep::end;
            job.source.assign(1, static_cast<uint32_t>(read++));
            mostInFlight = std::max(mostInFlight, read - static_cast<int64_t>(emitted.size()));
            return ReadStep::frame;
        };
        s.work = [](FrameJob& job) {
            std::this_thread::sleep_for(std::chrono::microseconds(job.source[0] % 5 == 0 ? 3000 : 10));
            job.result.assign(1, job.source[0] * 3);
        };
        s.emit = [this](FrameJob& job) {
            EXPECT_EQ(job.result[0], job.index * 3);
            if (job.index == failEmitAt) return badData("out: write error");
            emitted.push_back(job.index);
            return success();
        };
        return s;
    }
};

}  // namespace

TEST(FrameQueue, FramesLeaveInInputOrderOnAnyThreadCount)
{
    for (int32_t threads : {1, 2, 3, 8}) {
        CountingSteps c{50};
        EXPECT_TRUE(runFrames(threads, c.steps()).ok());
        ASSERT_EQ(c.emitted.size(), 50u) << threads;
        for (int64_t i = 0; i < 50; ++i) EXPECT_EQ(c.emitted[size_t(i)], i);
    }
    CountingSteps empty{0};
    EXPECT_TRUE(runFrames(4, empty.steps()).ok());
    EXPECT_TRUE(empty.emitted.empty());
}

TEST(FrameQueue, AShortStreamStillEmitsTheWholeFramesBeforeIt)
{
    for (int32_t threads : {1, 4}) {
        CountingSteps c{50, 17};
        const Status s = runFrames(threads, c.steps());
        EXPECT_EQ(s.exitCode, exitBadData);
        EXPECT_EQ(s.message, "in: frame 17 is incomplete");
        EXPECT_EQ(c.emitted.size(), 17u) << threads;
    }
}

TEST(FrameQueue, AFailedWriteEndsTheRun)
{
    for (int32_t threads : {1, 4}) {
        CountingSteps c{50, -1, 9};
        const Status s = runFrames(threads, c.steps());
        EXPECT_EQ(s.message, "out: write error");
        EXPECT_EQ(c.emitted.size(), 9u);
        EXPECT_LE(c.read, 9 + 2 * threads);  // the window bounds what is read ahead
    }
}

TEST(FrameQueue, FramesInFlightFitTheMemoryBudget)
{
    for (const auto& [jobBytes, most] : {std::pair{framesInFlightBudget / 3, 3},
                                         std::pair{framesInFlightBudget * 2, 1},
                                         std::pair{size_t{1}, 16}}) {
        CountingSteps c{60};
        FrameSteps steps = c.steps();
        steps.jobBytes = jobBytes;
        EXPECT_TRUE(runFrames(8, steps).ok());
        EXPECT_EQ(c.emitted.size(), 60u);
        EXPECT_LE(c.mostInFlight, most) << jobBytes;
    }
}

TEST(FrameQueue, TheTurnstileLetsFramesThroughInOrder)
{
    for (int32_t threads : {1, 3, 8}) {
        CountingSteps c{40};
        FrameSteps steps = c.steps();
        FrameTurnstile turnstile;
        std::vector<int64_t> order;
        steps.work = [&, work = steps.work](FrameJob& job) {
            work(job);  // early frames take longer: without waiting, later ones would pass first
            turnstile.pass(job.index, [&] { order.push_back(job.index); });
        };
        EXPECT_TRUE(runFrames(threads, steps).ok());
        ASSERT_EQ(order.size(), 40u) << threads;
        for (int64_t i = 0; i < 40; ++i) EXPECT_EQ(order[size_t(i)], i) << threads;
    }
}
