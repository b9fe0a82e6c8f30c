// Frames through the plug-in's frame callback, compared with the engine's
// own results: the host's padded rows, separate destination gaps, junk in
// every field the filter must not read.
#include <cstring>

#include "engine/classic/frame_pass.h"
#include "tests/plugin/frames_digest.h"
#include "tests/plugin/plugin_fixture.h"

#if defined(__i386__)
// Calls callback(context) with the stack pointer skew bytes below a 16-byte
// boundary before the argument is pushed: a host built by another compiler
// keeps its stack only 4-byte aligned.
extern "C" int32_t callWithStackSkew(FrameCallback callback, FrameContext* context, int32_t skew);
asm(R"(
    .text
    .globl _callWithStackSkew
_callWithStackSkew:
    pushl %ebp
    movl %esp, %ebp
    andl $-16, %esp
    subl 16(%ebp), %esp
    pushl 12(%ebp)
    call *8(%ebp)
    movl %ebp, %esp
    popl %ebp
    ret
)");
#endif

namespace {

class Frames : public PluginTest {
protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        reg.descriptor.createCallback(context());
    }

    void callFrame()
    {
#if defined(__i386__)
        if (stackSkew >= 0) {
            callWithStackSkew(reg.descriptor.frameCallback, context(), stackSkew);
            return;
        }
#endif
        reg.descriptor.frameCallback(context());
    }

    int32_t stackSkew = -1;  // none: an ordinary call

    // Runs the frame through the plug-in and the engine; every word of the
    // destination, its gaps' included, must agree.
    void expectEngineResult(int32_t width, int32_t height, intptr_t sourceGap,
                            intptr_t destinationGap, bool backward = false)
    {
        SCOPED_TRACE(::testing::Message() << width << "x" << height << " gaps " << sourceGap
                                          << "/" << destinationGap << (backward ? " backward" : ""));
        TestFrame source(width, height, sourceGap, guardWord, backward);
        Random random{static_cast<uint32_t>(width * 31 + height)};
        paintWarmRamp(source, random);
        TestFrame destination(width, height, destinationGap, guardWord, backward);
        TestFrame expected = destination;
        const std::vector<uint32_t> sourceBefore = source.words;

        BitmapView from = source.hostView(), to = destination.hostView();
        // The destination's own size fields are not the frame's size.
        to.width = 1;
        to.height = 2;
        context()->source = &from;
        context()->destination = &to;
        callFrame();
        const FilterSettings& s = settings();
        runFramePass({s.levelR, s.levelG, s.levelB}, source.view(), expected.first(), expected.rowGap());

        EXPECT_EQ(source.words, sourceBefore) << "the source was written";
        ASSERT_EQ(destination.words.size(), expected.words.size());
        size_t mismatches = 0;
        for (size_t i = 0; i < expected.words.size(); ++i)
            mismatches += destination.words[i] != expected.words[i];
        EXPECT_EQ(mismatches, 0u);
        EXPECT_EQ(destination.at(width - 1, height - 1) >> 24, 0u);
    }
};

TEST_F(Frames, PaddedRowsWithGapsThatDiffer)
{
    expectEngineResult(721, 37, 12, 12);   // the host's 16-byte row padding
    expectEngineResult(721, 37, 12, 44);   // destination rows further apart
    expectEngineResult(643, 483, 4, 0);
    expectEngineResult(640, 480, 0, 64);
}

TEST_F(Frames, ViewsWalkingBackWithNegativeGaps)
{
    expectEngineResult(721, 37, 12, 12, true);
    expectEngineResult(64, 48, 0, 16, true);
}

TEST_F(Frames, SmallFramesAtTheGridsEdge)
{
    expectEngineResult(4, 4, 0, 8);
    expectEngineResult(3, 9, 4, 0);
    expectEngineResult(9, 3, 0, 4);
    expectEngineResult(1, 1, 12, 12);
}

#if defined(__i386__)
TEST_F(Frames, AnyStackAlignmentAtTheCall)
{
    for (stackSkew = 0; stackSkew < 16; stackSkew += 4) expectEngineResult(721, 37, 12, 44);
}
#endif

TEST_F(Frames, LevelsAreReadAfreshForEveryFrame)
{
    expectEngineResult(160, 90, 0, 0);
    std::vector<ScriptArg> args = scriptArgs({1, 40, 7});
    reg.descriptor.scriptBinding->commands[0].action(nullptr, context(), args.data());
    expectEngineResult(160, 90, 0, 0);
    args = scriptArgs({0, 41, 33});  // outside the sliders' range, as a script may set
    reg.descriptor.scriptBinding->commands[0].action(nullptr, context(), args.data());
    expectEngineResult(160, 90, 16, 0);
}

TEST_F(Frames, SameBytesAsEveryOtherBuild)
{
    const uint64_t digest = digestOfFrames([&](const Strengths& strengths, BitmapView& source,
                                               BitmapView& destination) {
        settings().levelR = strengths.levelR;
        settings().levelG = strengths.levelG;
        settings().levelB = strengths.levelB;
        context()->source = &source;
        context()->destination = &destination;
        reg.descriptor.frameCallback(context());
    });
    EXPECT_EQ(digest, framesDigest);
}

}  // namespace
