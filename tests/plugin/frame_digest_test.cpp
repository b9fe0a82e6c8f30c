// The engine on the native trees gives the same bytes as the plug-ins give
// on Windows (their tests check the same digest).
#include <gtest/gtest.h>

#include "engine/classic/frame_pass.h"
#include "tests/plugin/frames_digest.h"

TEST(FramesDigest, EngineGivesThePluginsBytes)
{
    const uint64_t digest =
        digestOfFrames([](const Strengths& strengths, BitmapView& source, BitmapView& destination) {
            const FrameView from = {source.pixels, source.width, source.height, source.rowGap};
            runFramePass(strengths, from, destination.pixels, destination.rowGap);
        });
    EXPECT_EQ(digest, framesDigest);
}
