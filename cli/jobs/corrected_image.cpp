#include "cli/jobs/corrected_image.h"

#include "engine/classic/bottom_up.h"
#include "engine/neutral/neutral_pass.h"

void correctImage(const Options& options, Image& image)
{
    const TopByte topByte = image.hasAlpha ? TopByte::carried : TopByte::cleared;
    if (options.method == Method::neutral) {
        const FrameView view{image.words.data(), image.width, image.height, 0};
        runNeutralPass({options.strength, Transfer::srgb}, view, image.words.data(), 0, nullptr,
                       topByte);
        return;
    }
    BlockLevels levels;
    correctFrame(strengthsOf(options), image.words.data(), image.words.data(), image.width,
                 image.height, levels, topByte);
}
