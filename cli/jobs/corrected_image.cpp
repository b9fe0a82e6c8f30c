#include "cli/jobs/corrected_image.h"

#include "engine/classic/bottom_up.h"
#include "engine/deep_tables.h"
#include "engine/neutral/neutral_pass.h"

namespace {

// A picture of 16-bit samples: the analysis reads the 8-bit words, the
// tables it yields correct the samples at their own depth, and the words are
// made again from the corrected samples for the 8-bit writers.
void correctDeep(const Options& options, Image& image)
{
    DeepTables tables;
    if (options.method == Method::neutral) {
        const FrameView view{image.words.data(), image.width, image.height, 0};
        const NeutralShift shift =
            neutralShift(estimateLight(view, Transfer::srgb), options.strength);
        neutralDeepTables(neutralGains(shift), Transfer::srgb, 16, tables);
    } else {
        BlockLevels levels;
        analyzeMeasuredBottomUp(strengthsOf(options), image.words.data(), image.width,
                                image.height, levels, nullptr);
        classicDeepTables(levels.frame, 16, tables);
    }
    applyDeepInterleaved(tables, image.deep.data(),
                         size_t(image.width) * size_t(image.height), deepChannels(image));
    wordsFromDeep(image);
}

}  // namespace

void correctImage(const Options& options, Image& image)
{
    if (!image.deep.empty()) {
        correctDeep(options, image);
        return;
    }
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
