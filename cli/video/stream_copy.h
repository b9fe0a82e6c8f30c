// What goes into the output besides the corrected video: every other stream
// copied packet for packet, the container's metadata and chapters.
#pragma once

#include <string>
#include <vector>

#include "cli/status.h"
#include "cli/video/media_files.h"

// For each input stream, the output stream its packets go to, or -1. The
// corrected video stream itself is left at -1 here.
struct StreamMap {
    std::vector<int> outputOf;
};

// Checks every stream but the corrected one against the output's container:
// one it cannot hold fails the run, naming it, or with dropUnsupported is left
// out with a one-line note added to notes. Creates the output streams of those
// kept, in input order, with the video's output stream at its own place;
// videoOut receives it.
Status planStreams(const MediaInput& in, int videoIndex, bool dropUnsupported,
                   const std::string& outputName, MediaOutput& out, StreamMap& map,
                   AVStream*& videoOut, std::vector<std::string>& notes);

// The container's metadata and chapters.
void copyContainerInfo(const AVFormatContext* in, AVFormatContext* out);

// A stream's metadata, without the figures the input's muxer counted (bit
// rate, frame and byte counts, duration), which a new encoding makes wrong.
void copyStreamMetadata(const AVStream* in, AVStream* out, bool reencoded);
