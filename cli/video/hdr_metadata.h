// The HDR metadata of the corrected video: what is kept and what is left out.
// The mastering display (the primaries and luminance of the monitor it was
// graded on) and the content light level describe the light the pictures
// stand for, which a white balance leaves where it was: they go to the
// encoder, which writes them into the stream (libx265 and libx264 as SEI),
// and to the container (Matroska's MasteringMetadata, MP4's mdcv and clli).
// Dynamic metadata (Dolby Vision, HDR10+, HDR Vivid) maps each scene's own
// colours for a display; the corrected colours would no longer be those, so
// it is left out, with one line that says so.
#pragma once

#include <string>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libavutil/mastering_display_metadata.h>
}

struct HdrMetadata {
    bool hasDisplay = false;  // both its primaries and its luminance
    AVMasteringDisplayMetadata display{};
    bool hasLight = false;
    AVContentLightMetadata light{};
};

// Kinds of dynamic metadata, as a set of bits.
enum DynamicKind : unsigned {
    dolbyVision = 1u << 0,
    hdr10Plus = 1u << 1,
    hdrVivid = 1u << 2,
};

// What the stream's side data (the container's) or a decoded frame says; what
// hdr has already is kept.
void takeStreamHdr(const AVStream* st, HdrMetadata& hdr);
void takeFrameHdr(const AVFrame* frame, HdrMetadata& hdr);

// The encoder's own options for it: x265-params or x264-params text
// ("master-display=G(...)...:max-cll=1000,400"), empty when there is none.
std::string x265HdrParams(const HdrMetadata& hdr);
std::string x264HdrParams(const HdrMetadata& hdr);

// Into the output stream's side data, where the muxer finds it.
void putStreamHdr(const HdrMetadata& hdr, AVStream* out);

// The stream's dynamic metadata (a Dolby Vision configuration).
unsigned streamDynamicKinds(const AVStream* st);
bool isDynamicStreamData(AVPacketSideDataType type);
// A Dolby Vision stream whose base layer is no standard picture (profile 5:
// its colours exist only through the dynamic metadata).
bool needsDolbyVision(const AVStream* st);
// Takes the frame's dynamic metadata off it; returns the kinds it had.
unsigned dropDynamicMetadata(AVFrame* frame);
// "its Dolby Vision and HDR10+ metadata ... left out": one line for kinds.
std::string droppedText(unsigned kinds);
