// The video encoder: which one, in which pixel format, with which settings.
#pragma once

#include <string>

#include "cli/status.h"
#include "cli/video/hdr_metadata.h"
#include "cli/video/video_options.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

// Else libx264 for .mp4, .mkv and .mov; the container's usual video encoder for
// others; FFV1 with --lossless (in .mkv only); --codec's otherwise.
// Without --codec, the input's codec family is kept where this machine has
// an encoder for it and the container holds it; otherwise note says what was
// chosen instead, and why.
Status chooseEncoder(const VideoOptions& options, const AVOutputFormat* container,
                     AVCodecID input, const AVCodec*& encoder, std::string& note);

// The input's pixel format where the encoder takes it, else the one of its
// formats that loses least.
AVPixelFormat encoderFormat(const AVCodec* encoder, AVPixelFormat input);

struct EncoderSetup {
    int width, height;
    AVPixelFormat format;
    AVRational timeBase;
    AVRational frameRate;  // a hint for rate control; {0, 1} when unknown
    AVRational sampleAspect;
    AVColorRange range;
    AVColorSpace matrix;
    AVColorPrimaries primaries;
    AVColorTransferCharacteristic transfer;
    AVChromaLocation chromaLocation;
    AVFieldOrder fieldOrder;
    bool globalHeader;  // the container wants the stream headers apart
    HdrMetadata hdr;    // written into the stream by the encoders that can
};

// Opens the encoder with the options' quality settings: a CRF of the
// encoder's own (18 for libx264, 22 libx265, 31 VP9, 30 AV1) and preset
// medium where the encoder has them, fixed quantiser 2 where it has neither.
Status openEncoder(const VideoOptions& options, const AVCodec* encoder, const EncoderSetup& setup,
                   AVCodecContext*& context);
