#include "cli/jobs/corrected_image.h"

#include "engine/bottom_up.h"

Image correctedImage(const Strengths& user, const Image& image)
{
    Image corrected = image;
    BlockLevels levels;
    correctFrame(user, image.words.data(), corrected.words.data(), image.width, image.height,
                 levels, image.hasAlpha ? TopByte::carried : TopByte::cleared);
    return corrected;
}
