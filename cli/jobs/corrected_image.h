// An image through the frame pass, as the plug-in would correct it as a frame.
#pragma once

#include "cli/formats/image.h"
#include "engine/classic/strengths.h"
#include "engine/frame_view.h"

// Corrects the image where it lies: the levels are measured before any pixel
// changes, and each pixel is then corrected on its own. The filter clears
// the top byte; here it is the image's alpha, and is carried over.
void correctImage(const Strengths& user, Image& image);
