// Many image files in one run: `velto apply --out-dir` and `velto analyze`
// of images. The worker threads read, decode, correct or analyse and encode
// whole files; the calling thread writes their results in the order of the
// command line. A file that fails is named in one line and skipped, and the
// run goes on with the others.
#pragma once

#include <string>

#include "cli/options.h"
#include "cli/status.h"

// DIR/NAME for one input: NAME is its file name, with the extension of
// --format when it names another format (or none). Without --format, a PGM
// or PBM name becomes .ppm, since the output is colour; other names stay.
std::string batchOutputPath(const std::string& input, const Options& options);

// Exit status 1 without a message of its own when a file failed: each
// failure has had its line.
Status runApplyBatch(const Options& options);
Status runAnalyzeFiles(const Options& options);
