// velto: the filter's correction for images and raw video frames on Linux.
#include <cstdio>
#include <new>

#include "cli/commands.h"
#include "cli/help.h"
#include "cli/options.h"

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
