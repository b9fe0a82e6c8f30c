// Image files: `velto apply` of one image, or of many into a folder, and
// `velto analyze` of images. For many files the worker threads read, decode,
// correct or analyse and encode whole files; the calling thread writes their
// results in the order of the command line. A file that fails is named in
// one line and skipped, and the run goes on with the others.
#pragma once

#include "cli/options.h"
#include "cli/status.h"

Status applyToImage(const Options& options);
// --out-dir. Exit status 1 without a message of its own when a file failed:
// each failure has had its line. So for analyzeImages.
Status applyToFolder(const Options& options);
Status analyzeImages(const Options& options);
