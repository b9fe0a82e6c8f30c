#include "cli/formats/frame_size.h"

#include "limits/frame_limits.h"

bool imageSizeAllowed(int64_t width, int64_t height)
{
    return width >= 1 && height >= 1 && width <= maximumSide && height <= maximumSide &&
           width * height * 4 <= maximumFrameBytes;
}

std::string frameLimitsText()
{
    static_assert(maximumFrameBytes % (int64_t{1} << 30) == 0, "the text counts whole GiB");
    return "each side 1 to " + std::to_string(maximumSide) + " and at most " +
           std::to_string(maximumFrameBytes >> 30) + " GiB a frame";
}

std::string imageTooLargeText()
{
    return std::string(imageTooLarge) + " (" + frameLimitsText() + ")";
}
