#include "cli/video/media_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace {

constexpr int ioBufferBytes = 1 << 16;

int writePacket(void* opaque, uint8_t* buffer, int size)
{
    auto& out = *static_cast<MediaOutput*>(opaque);
    if (!out.writeStatus.ok()) return AVERROR(EIO);
    out.writeStatus = writeOutput(out.file, buffer, static_cast<size_t>(size));
    return out.writeStatus.ok() ? size : AVERROR(EIO);
}

int64_t seekOutput(void* opaque, int64_t offset, int whence)
{
    auto& out = *static_cast<MediaOutput*>(opaque);
    if (whence & AVSEEK_SIZE) {
        struct stat st {};
        return fstat(out.file.fd, &st) == 0 ? int64_t{st.st_size} : AVERROR(errno);
    }
    const off_t at = lseek(out.file.fd, offset, whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : int64_t{at};
}

}  // namespace

std::string avErrorText(int error)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

MediaInput::~MediaInput()
{
    avformat_close_input(&format);
}

Status openMediaInput(const std::string& path, MediaInput& in)
{
    in.name = inputName(path);
    if (path != "-") {
        struct stat st {};
        if (stat(path.c_str(), &st) != 0)
            return badData(in.name + ": cannot open: " + std::strerror(errno));
        if (S_ISDIR(st.st_mode)) return badData(in.name + ": is a directory");
    }
    const int opened =
        avformat_open_input(&in.format, path == "-" ? "pipe:0" : path.c_str(), nullptr, nullptr);
    if (opened == AVERROR_INVALIDDATA)
        return badData(in.name + ": not a media file that this machine can read");
    if (opened < 0) return badData(in.name + ": cannot open: " + avErrorText(opened));
    const int found = avformat_find_stream_info(in.format, nullptr);
    if (found < 0) return badData(in.name + ": cannot read its streams: " + avErrorText(found));
    return success();
}

MediaOutput::~MediaOutput()
{
    if (io) av_freep(&io->buffer);
    avio_context_free(&io);
    avformat_free_context(format);
}

const AVOutputFormat* containerFor(const std::string& path)
{
    return av_guess_format(nullptr, path.c_str(), nullptr);
}

Status openMediaOutput(const std::string& path, const AVOutputFormat* container, MediaOutput& out)
{
    Status s = openOutput(path, out.file);
    if (!s.ok()) return s;
    if (avformat_alloc_output_context2(&out.format, container, nullptr, path.c_str()) < 0)
        throw std::bad_alloc();
    auto* buffer = static_cast<uint8_t*>(av_malloc(ioBufferBytes));
    if (!buffer) throw std::bad_alloc();
    out.io = avio_alloc_context(buffer, ioBufferBytes, 1, &out, nullptr, writePacket, seekOutput);
    if (!out.io) {
        av_free(buffer);
        throw std::bad_alloc();
    }
    // A FIFO or a device is written as it comes, which some containers refuse.
    out.io->seekable = lseek(out.file.fd, 0, SEEK_CUR) >= 0 ? AVIO_SEEKABLE_NORMAL : 0;
    out.format->pb = out.io;
    out.format->flags |= AVFMT_FLAG_CUSTOM_IO;
    return success();
}

Status commitMediaOutput(MediaOutput& out, bool replace)
{
    avio_flush(out.io);
    if (!out.writeStatus.ok()) return out.writeStatus;
    return commitOutput(out.file, replace);
}
