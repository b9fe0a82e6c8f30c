// The input opened by libavformat, and the output written by libavformat
// through the tool's own output file, so that it appears under its name only
// when complete and a signal leaves no part of it behind.
#pragma once

#include <string>

#include "cli/io/output.h"
#include "cli/status.h"

extern "C" {
#include <libavformat/avformat.h>
}

// libav's error code as words.
std::string avErrorText(int error);

struct MediaInput {
    AVFormatContext* format = nullptr;
    std::string name;  // for messages

    MediaInput() = default;
    MediaInput(const MediaInput&) = delete;
    MediaInput& operator=(const MediaInput&) = delete;
    ~MediaInput();
};

// Opens path ("-": standard input) and reads its streams' parameters.
Status openMediaInput(const std::string& path, MediaInput& in);

struct MediaOutput {
    OutputFile file;
    AVFormatContext* format = nullptr;
    AVIOContext* io = nullptr;
    Status writeStatus;  // the first failed write or seek

    MediaOutput() = default;
    MediaOutput(const MediaOutput&) = delete;
    MediaOutput& operator=(const MediaOutput&) = delete;
    ~MediaOutput();
};

// The container OUTPUT's extension names, or nullptr.
const AVOutputFormat* containerFor(const std::string& path);

// Opens the output's temporary and a muxer of that container writing to it.
Status openMediaOutput(const std::string& path, const AVOutputFormat* container, MediaOutput& out);
// Flushes what libavformat holds and puts the file in place.
Status commitMediaOutput(MediaOutput& out, bool replace);
