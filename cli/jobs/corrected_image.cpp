#include "cli/jobs/corrected_image.h"

#include "engine/classic/bottom_up.h"

void correctImage(const Strengths& user, Image& image)
{
    BlockLevels levels;
    correctFrame(user, image.words.data(), image.words.data(), image.width, image.height, levels,
                 image.hasAlpha ? TopByte::carried : TopByte::cleared);
}
