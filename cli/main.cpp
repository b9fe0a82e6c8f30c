// velto: the filter's correction for images and raw video frames on Linux.
// The command line is checked whole, then handed to the job for its kind of
// input (jobs/).
#include <unistd.h>

#include <cstdio>
#include <new>

#include "cli/help.h"
#include "cli/jobs/images.h"
#include "cli/jobs/raw_stream.h"
#include "cli/options.h"

namespace {

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

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    Status s = parseCommandLine(argc, argv, options);
    if (s.ok() && options.version) {
        std::fputs("velto " VELTO_VERSION "\n", stdout);
        return exitSuccess;
    }
    if (s.ok() && options.help) {
        const std::string text = options.command == Command::apply     ? applyHelp()
                                 : options.command == Command::analyze ? analyzeHelp()
                                                                       : toolHelp();
        std::fputs(text.c_str(), stdout);
        return std::fflush(stdout) == 0 ? exitSuccess : exitBadData;
    }
    if (s.ok()) {
        try {
            s = options.command == Command::apply ? runApply(options) : runAnalyze(options);
        } catch (const std::bad_alloc&) {
            s = badData(inputName(options.input) + ": out of memory");
        }
    }
    // A run over many files has named each failure already.
    if (!s.ok() && !s.message.empty()) std::fprintf(stderr, "velto: %s\n", s.message.c_str());
    return s.exitCode;
}
