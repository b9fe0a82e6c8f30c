// velto: the filter's correction for images and raw video frames on Linux.
// The command line is checked whole, then handed to the job for its kind of
// input (jobs/).
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

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

// 'velto video' is the program velto-video, so that velto itself does not load
// FFmpeg's libraries: it is looked for beside this program (the build tree)
// and in ../libexec/velto/ (an installed one), and run with the same command
// line in this process's place.
int runVideoProgram(char** argv)
{
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string dir = ".";
    if (n > 0) {
        dir.assign(self, static_cast<size_t>(n));
        dir = dir.substr(0, dir.rfind('/'));
    }
    int error = ENOENT;
    for (const std::string& path : {dir + "/velto-video", dir + "/../libexec/velto/velto-video"}) {
        execv(path.c_str(), argv);
        if (errno != ENOENT) error = errno;
    }
    std::fprintf(stderr, "velto: video: cannot run velto-video, which carries it: %s\n",
                 std::strerror(error));
    return exitBadData;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::string_view(argv[1]) == "video") return runVideoProgram(argv);
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
