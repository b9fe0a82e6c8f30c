#include "cli/commands.h"

#include <unistd.h>

#include "cli/jobs/images.h"
#include "cli/jobs/raw_stream.h"

Status runApply(const Options& options)
{
    // Pictures on a terminal are noise to the reader and can upset the
    // terminal: a missing redirection is refused, as compressors do.
    if (options.output == "-" && !options.force && isatty(STDOUT_FILENO) == 1)
        return usageError("standard output is a terminal; redirect it, or add --force to write "
                          "there (see 'velto apply --help')");
    if (!options.outDir.empty()) return applyToFolder(options);
    return options.raw ? applyToStream(options) : applyToImage(options);
}

Status runAnalyze(const Options& options)
{
    return options.raw ? analyzeStream(options) : analyzeImages(options);
}
