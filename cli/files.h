// Reading inputs whole or in frames, and writing outputs that appear under
// their name only when complete: a file output is written to a temporary in
// the same directory and renamed into place on success.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/status.h"

// Everything a file (or standard input for "-") holds.
Status readWholeInput(const std::string& path, std::vector<uint8_t>& bytes);

struct InputStream {
    int fd = -1;
    bool owned = false;
    std::string name;  // for messages

    InputStream() = default;
    InputStream(const InputStream&) = delete;
    InputStream& operator=(const InputStream&) = delete;
    ~InputStream();
};

Status openInput(const std::string& path, InputStream& in);

// Reads up to count bytes, stopping early only at the end of the input;
// got says how many arrived.
Status readFully(InputStream& in, uint8_t* buffer, size_t count, size_t& got);

struct OutputFile {
    int fd = -1;
    std::string path;      // the final name; "-" for standard output
    std::string tempPath;  // empty for standard output
    bool committed = false;

    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();  // removes the temporary unless committed
};

Status openOutput(const std::string& path, OutputFile& out);
Status writeOutput(OutputFile& out, const void* data, size_t count);
// Closes and renames into place; on failure the temporary is removed.
Status commitOutput(OutputFile& out);
// Closes and removes the temporary; nothing appears under the final name.
void discardOutput(OutputFile& out);
