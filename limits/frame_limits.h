// The largest frames the two Linux tools take: the command-line tool (every
// picture it reads and every raw frame size it is given) and the frei0r
// plug-in (the frame size its host asks for). This is the tools' policy, not
// the engine's: the engine takes a frame of any size, and the Windows plug-in
// corrects whatever its host hands it. A frame beyond these is a corrupt
// header or a mistake, and refused before anything is allocated for it.
#pragma once

#include <cstdint>

constexpr int32_t maximumSide = 65536;                  // pixels, either way
constexpr int64_t maximumFrameBytes = int64_t{1} << 30;  // 4 bytes a pixel
