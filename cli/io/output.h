// Writing outputs that appear under their name only when complete: a file
// output is written to a temporary in the same directory and renamed into
// place on success.
#pragma once

#include <cstddef>
#include <string>

#include "cli/status.h"

// Where an output goes:
// - "-": standard output, written as it comes;
// - a character device, FIFO or socket (and a name for our own standard
//   output, such as /dev/stdout): opened and written in place, never replaced;
// - a regular file, or a name not yet taken: written to a temporary in the
//   directory of the file itself (symbolic links followed) and renamed over
//   it when complete, keeping its permission bits and, where allowed, its
//   owner and group;
// - a directory or a block device: refused.
struct OutputFile {
    int fd = -1;
    bool ownsFd = false;   // standard output is not ours to close
    std::string path;      // as the user named it; "-" for standard output
    std::string target;    // the file the temporary replaces
    std::string tempPath;  // empty when written in place
    bool committed = false;

    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();  // removes the temporary unless committed
};

Status openOutput(const std::string& path, OutputFile& out);
Status writeOutput(OutputFile& out, const void* data, size_t count);
// Puts the output in place: a temporary is flushed to disk and renamed over
// its target; on failure it is removed and the target left as it was. With
// replace false, a target that has appeared meanwhile is left as it is and
// the output fails.
Status commitOutput(OutputFile& out, bool replace = true);
// What a refused replacement says after the output's name.
inline const std::string existsAlready = "exists already (--overwrite replaces it)";
// Closes and removes the temporary; nothing appears under the final name.
void discardOutput(OutputFile& out);
