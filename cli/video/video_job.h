// 'velto video': a video file's pictures corrected, everything else kept.
#pragma once

#include "cli/status.h"
#include "cli/video/video_options.h"

Status runVideo(const VideoOptions& options);

// The whole subcommand from the command line on: parse, help, run.
int videoCommand(int argc, const char* const* argv);
