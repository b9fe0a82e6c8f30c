// An image through the correction the command line chose: the neutral one,
// or the classic as the plug-in would correct it as a frame.
#pragma once

#include "cli/formats/image.h"
#include "cli/options.h"

// Corrects the image where it lies: the analysis ends before any pixel
// changes, and each pixel is then corrected on its own. The plug-in clears
// the top byte; here it is the image's alpha, and is carried over.
void correctImage(const Options& options, Image& image);
