// The two subcommands, run on checked options.
#pragma once

#include "cli/options.h"
#include "cli/status.h"

Status runApply(const Options& options);
Status runAnalyze(const Options& options);
