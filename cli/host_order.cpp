#include "cli/host_order.h"

#include "engine/frame_pass.h"

BitmapView hostOrderView(const uint32_t* topRowFirst, int32_t width, int32_t height)
{
    BitmapView view{};
    // The engine reads through this pointer only; the view's type is the host's.
    view.pixels = const_cast<uint32_t*>(topRowFirst) + intptr_t{height - 1} * width;
    view.width = width;
    view.height = height;
    // From the end of one row back to the start of the row above it.
    view.rowGap = -intptr_t{8} * width;
    return view;
}

void correctFrame(const FilterSettings& settings, const uint32_t* source, uint32_t* destination,
                  int32_t width, int32_t height, BlockLevels& levels)
{
    const BitmapView from = hostOrderView(source, width, height);
    runFramePass(settings, from, destination + intptr_t{height - 1} * width, from.rowGap,
                 &levels);
}

void analyzeFrameInHostOrder(const FilterSettings& settings, const uint32_t* source,
                             int32_t width, int32_t height, BlockLevels& levels)
{
    analyzeFrame(settings, hostOrderView(source, width, height), levels);
}

Image correctedImage(const FilterSettings& settings, const Image& image)
{
    Image corrected = image;
    BlockLevels levels;
    correctFrame(settings, image.words.data(), corrected.words.data(), image.width, image.height,
                 levels);
    if (image.hasAlpha)
        for (size_t i = 0; i < image.words.size(); ++i)
            corrected.words[i] = (corrected.words[i] & 0x00FFFFFFu) | (image.words[i] & 0xFF000000u);
    return corrected;
}
