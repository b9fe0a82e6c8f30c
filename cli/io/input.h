// Reading inputs: a file, or standard input for "-", whole or in pieces.
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
