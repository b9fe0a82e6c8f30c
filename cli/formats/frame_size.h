// The one rule for how large a picture or a raw frame may be, and how it is
// told: every reader checks it before any allocation, and --raw takes only
// the sizes it allows.
#pragma once

#include <cstdint>
#include <string>

// Each side 1 to maximumSide and the frame at most maximumFrameBytes
// (limits/frame_limits.h).
bool imageSizeAllowed(int64_t width, int64_t height);

// "each side 1 to 65536 and at most 1 GiB a frame"
std::string frameLimitsText();

// What the readers return for a picture beyond those limits...
inline constexpr char imageTooLarge[] = "image too large";
// ...and what is said of it: the same with the limits.
std::string imageTooLargeText();
