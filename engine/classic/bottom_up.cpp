#include "engine/classic/bottom_up.h"

#include "engine/classic/frame_pass.h"

FrameView bottomUpView(const uint32_t* topRowFirst, int32_t width, int32_t height)
{
    // From the end of one row back to the start of the row above it.
    return {topRowFirst + intptr_t{height - 1} * width, width, height, -intptr_t{8} * width};
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
