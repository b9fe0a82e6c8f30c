#include "engine/classic/bottom_up.h"

#include "engine/classic/frame_pass.h"

FrameView bottomUpView(const FrameView& v)
{
    // From the end of one row back to the start of the row above it.
    const intptr_t rowWords = intptr_t{v.width} + v.rowGap / intptr_t{sizeof(uint32_t)};
    const intptr_t rowBytes = intptr_t{v.width} * intptr_t{sizeof(uint32_t)};
    return {v.pixels + intptr_t{v.height - 1} * rowWords, v.width, v.height,
            -(2 * rowBytes + v.rowGap)};
}

FrameView bottomUpView(const uint32_t* topRowFirst, int32_t width, int32_t height)
{
    return bottomUpView(FrameView{topRowFirst, width, height, 0});
}

void correctFrame(const Strengths& user, const uint32_t* source, uint32_t* destination,
                  int32_t width, int32_t height, BlockLevels& levels, TopByte topByte)
{
    const FrameView from = bottomUpView(source, width, height);
    runFramePass(user, from, destination + intptr_t{height - 1} * width, from.rowGap, &levels,
                 topByte);
}

void analyzeMeasuredBottomUp(const Strengths& user, const uint32_t* source, int32_t width,
                             int32_t height, BlockLevels& levels, SceneSignature* signature)
{
    analyzeMeasuredBlocks(user, bottomUpView(source, width, height), levels, signature);
}

void analyzeFrameBottomUp(const Strengths& user, const uint32_t* source, int32_t width,
                          int32_t height, BlockLevels& levels, SceneSignature* signature)
{
    analyzeFrame(user, bottomUpView(source, width, height), levels, signature);
}
