#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "cli/io/frame_queue.h"
#include "engine/bottom_up.h"
#include "engine/frame_pass.h"
#include "tests/support/pictures.h"

namespace {

// A picture with a warm upper half and a cool lower half, so that the order
// of the rows decides which blocks measure the frame.
std::vector<uint32_t> splitPicture(int32_t width, int32_t height, uint32_t seed)
{
    Random random{seed};
    TestFrame warm(width, height), cool(width, height);
    paintScene(warm, random, {{80, 64, 48}, {40, 10, 0}, 20});
    paintScene(cool, random, {{48, 64, 80}, {0, 10, 40}, 20});
    std::copy_n(warm.words.begin(), size_t(width) * size_t(height / 2), cool.words.begin());
    return cool.words;
}

}  // namespace

TEST(HostOrder, MatchesAFrameStoredBottomUp)
{
    for (auto [w, h] : {std::pair{37, 29}, std::pair{64, 48}, std::pair{4, 4}, std::pair{3, 9}}) {
        const std::vector<uint32_t> picture = splitPicture(w, h, static_cast<uint32_t>(w * h));
        // The host's own layout: last picture row first in memory, padded rows.
        const int32_t padWords = 3;
        std::vector<uint32_t> hostSource(size_t(w + padWords) * size_t(h), 0xDEADBEEF);
        std::vector<uint32_t> hostDestination(hostSource.size(), 0x5A5A5A5A);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                hostSource[size_t(h - 1 - y) * size_t(w + padWords) + size_t(x)] =
                    picture[size_t(y) * size_t(w) + size_t(x)];
        const FrameView view = {hostSource.data(), w, h, 4 * padWords};
        const ChannelLevels settings = {12, 20, 33};
        BlockLevels expected, got;
        runFramePass(settings, view, hostDestination.data(), 4 * padWords, &expected);

        std::vector<uint32_t> result(picture.size(), 0x77777777);
        correctFrame(settings, picture.data(), result.data(), w, h, got);
        EXPECT_EQ(std::memcmp(&expected, &got, sizeof got), 0) << w << "x" << h;
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                ASSERT_EQ(result[size_t(y) * size_t(w) + size_t(x)],
                          hostDestination[size_t(h - 1 - y) * size_t(w + padWords) + size_t(x)])
                    << w << "x" << h << " at " << x << "," << y;

        // The analysis alone measures all sixteen blocks, in the same order;
        // its frame levels are the pass's.
        BlockLevels analysed, allBlocks;
        analyzeFrameBottomUp(settings, picture.data(), w, h, analysed);
        analyzeFrame(settings, view, allBlocks);
        EXPECT_EQ(std::memcmp(&allBlocks, &analysed, sizeof analysed), 0);
        const CorrectionLevels a = correctionLevels(expected), b = correctionLevels(analysed);
        EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
    }
}

TEST(HostOrder, RowOrderDecidesTheLevels)
{
    // Guards the test above against a picture the order cannot tell apart.
    const std::vector<uint32_t> picture = splitPicture(64, 48, 7);
    const FrameView topDown = {picture.data(), 64, 48, 0};
    const ChannelLevels settings = defaultLevels;
    BlockLevels a, b;
    analyzeFrame(settings, topDown, a);
    analyzeFrameBottomUp(settings, picture.data(), 64, 48, b);
    EXPECT_NE(a.blackR[0], b.blackR[0]);
}

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
