// The two subcommands, run on checked options: each hands the command line
// to the job for its kind of input (jobs/).
#pragma once

#include "cli/options.h"
#include "cli/status.h"

Status runApply(const Options& options);
Status runAnalyze(const Options& options);
