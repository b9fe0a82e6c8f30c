// An image through the frame pass, as the plug-in would correct it as a frame.
#pragma once

#include "cli/formats/image.h"
#include "engine/frame_view.h"

// The filter clears the top byte; here it is the image's alpha, and is carried
// over, as are its EXIF block and profile.
Image correctedImage(const ChannelLevels& user, const Image& image);
