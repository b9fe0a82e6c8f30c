// A stream of raw frames (--raw): `velto apply` corrects it frame by frame
// into OUTPUT, `velto analyze` reports each frame's levels.
#pragma once

#include "cli/options.h"
#include "cli/status.h"

Status applyToStream(const Options& options);
Status analyzeStream(const Options& options);
