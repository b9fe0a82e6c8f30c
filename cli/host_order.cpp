#include "cli/host_order.h"

#include "engine/frame_pass.h"

FrameView hostOrderView(const uint32_t* topRowFirst, int32_t width, int32_t height)
{
    // From the end of one row back to the start of the row above it.
    return {topRowFirst + intptr_t{height - 1} * width, width, height, -intptr_t{8} * width};
}

void correctFrame(const ChannelLevels& user, const uint32_t* source, uint32_t* destination,
                  int32_t width, int32_t height, BlockLevels& levels)
{
    const FrameView from = hostOrderView(source, width, height);
    runFramePass(user, from, destination + intptr_t{height - 1} * width, from.rowGap, &levels);
}

void analyzeCentreInHostOrder(const ChannelLevels& user, const uint32_t* source, int32_t width,
                              int32_t height, BlockLevels& levels, SceneSignature* signature)
{
    analyzeCentreBlocks(user, hostOrderView(source, width, height), levels, signature);
}

void analyzeFrameInHostOrder(const ChannelLevels& user, const uint32_t* source, int32_t width,
                             int32_t height, BlockLevels& levels, SceneSignature* signature)
{
    analyzeFrame(user, hostOrderView(source, width, height), levels, signature);
}

Image correctedImage(const ChannelLevels& user, const Image& image)
{
    Image corrected = image;
    BlockLevels levels;
    correctFrame(user, image.words.data(), corrected.words.data(), image.width, image.height,
                 levels);
    if (image.hasAlpha)
        for (size_t i = 0; i < image.words.size(); ++i)
            corrected.words[i] = (corrected.words[i] & 0x00FFFFFFu) | (image.words[i] & 0xFF000000u);
    return corrected;
}
