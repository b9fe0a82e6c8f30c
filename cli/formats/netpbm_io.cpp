// PBM, PGM, PPM and PAM through libnetpbm. The library reports an error by
// calling a message function and then longjmp to a buffer we lend it (without
// one it would end the process), so the functions holding a setjmp keep no
// object with a destructor of its own.
#include <netpbm/pam.h>

#include <cctype>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "cli/formats/codecs.h"

namespace {

// libnetpbm's message hooks take no context pointer, so the last error text
// has to live outside any call. Only the thread holding netpbmInUse, below,
// writes and reads it; one per thread costs nothing and needs no such care.
thread_local char netpbmError[256];

void onNetpbmError(const char* message)
{
    std::snprintf(netpbmError, sizeof netpbmError, "%s", message);
}

void onNetpbmMessage(const char*) {}

// libnetpbm keeps its error jump and message hooks in globals of its own, so
// one picture at a time goes through it, whatever the threads of a run.
std::mutex netpbmInUse;

// The library writes sentences, some across lines ("...too large.  The
// maximum allowed..."); a message of ours is one line after a colon.
std::string oneLine(const char* text)
{
    std::string line;
    bool space = false;
    for (const char* p = text; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (std::isspace(c)) {
            space = !line.empty();
            continue;
        }
        if (space) {
            if (line.back() == '.' && std::isupper(c)) line.back() = ';';
            line += ' ';
            space = false;
        }
        line += *p;
    }
    while (!line.empty() && line.back() == '.') line.pop_back();
    // "End of file" reads "end of file" after a colon; "EOF" stays.
    const auto lowerWordAt = [&line](size_t at) {
        if (at + 1 < line.size() && std::isupper(static_cast<unsigned char>(line[at])) &&
            std::islower(static_cast<unsigned char>(line[at + 1])))
            line[at] = static_cast<char>(std::tolower(static_cast<unsigned char>(line[at])));
    };
    lowerWordAt(0);
    for (size_t at = line.find("; "); at != std::string::npos; at = line.find("; ", at + 2))
        lowerWordAt(at + 2);
    return line;
}

// The header's length up to its tuple type, which every reader fills. The
// library's own macro for this takes a member of a null pointer.
constexpr unsigned headerLength =
    offsetof(struct pam, tuple_type) + sizeof(static_cast<struct pam*>(nullptr)->tuple_type);

void quietNetpbm()
{
    pm_setusererrormsgfn(onNetpbmError);
    pm_setusermessagefn(onNetpbmMessage);
    netpbmError[0] = '\0';
}

// The fewest bytes the pixels of a header can take: packed bits in a binary
// PBM, whole samples in the other binary forms, and in the plain (text) forms
// a character a sample, with a separator between samples of PGM and PPM.
uint64_t leastRasterBytes(const struct pam& header)
{
    const uint64_t width = static_cast<uint64_t>(header.width);
    const uint64_t height = static_cast<uint64_t>(header.height);
    const uint64_t samples = width * height * header.depth;
    switch (header.format) {
    case RPBM_FORMAT: return (width + 7) / 8 * height;
    case PBM_FORMAT: return samples;
    case PGM_FORMAT:
    case PPM_FORMAT: return 2 * samples - 1;
    default: return samples * header.bytes_per_sample;
    }
}

// libnetpbm reads a PAM header a line at a time into buffers of 256 bytes,
// and a longer line (a value, or the rest of a long comment) makes it copy
// between overlapping buffers. No header line of a real file comes near that,
// so a PAM file with one is refused before the library sees it.
constexpr size_t longestPamLine = 200;

const char* pamHeaderProblem(const std::vector<uint8_t>& bytes)
{
    if (bytes.size() < 2 || bytes[0] != 'P' || bytes[1] != '7') return nullptr;
    size_t lineStart = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\n') continue;
        const size_t length = i - lineStart;
        if (length > longestPamLine) return "a PAM header line longer than 200 bytes";
        if (length >= 6 && std::memcmp(&bytes[lineStart], "ENDHDR", 6) == 0) return nullptr;
        lineStart = i + 1;
    }
    return bytes.size() - lineStart > longestPamLine ? "a PAM header line longer than 200 bytes"
                                                     : nullptr;
}

const char* readNetpbm(FILE* file, uint64_t fileSize, struct pam* header, tuple** row,
                       Image& image)
{
    jmp_buf jump;
    jmp_buf* previous = nullptr;
    pm_setjmpbufsave(&jump, &previous);
    if (setjmp(jump)) {
        pm_setjmpbuf(previous);
        return netpbmError[0] ? netpbmError : "unreadable";
    }
    pnm_readpaminit(file, header, headerLength);
    if (!imageSizeAllowed(header->width, header->height)) {
        pm_setjmpbuf(previous);
        return imageTooLarge;
    }
    const unsigned depth = header->depth;
    if (depth < 1 || depth > 4) {
        pm_setjmpbuf(previous);
        return "unsupported depth (1 to 4 planes: grey, grey and alpha, RGB, RGB and alpha)";
    }
    // A header can claim any size: before the picture is allocated, the
    // file must hold at least the bytes its pixels take.
    const long at = std::ftell(file);
    const uint64_t needed = leastRasterBytes(*header);
    const uint64_t there = at < 0 ? 0 : fileSize - static_cast<uint64_t>(at);
    if (needed > there) {
        pm_setjmpbuf(previous);
        std::snprintf(netpbmError, sizeof netpbmError,
                      "the file ends early: %dx%d pixels take at least %llu bytes, it holds %llu",
                      header->width, header->height, static_cast<unsigned long long>(needed),
                      static_cast<unsigned long long>(there));
        return netpbmError;
    }
    const bool colour = depth >= 3;
    const bool alpha = depth == 2 || depth == 4;
    const uint32_t maxval = static_cast<uint32_t>(header->maxval);
    const int32_t width = header->width, height = header->height;

    image.width = width;
    image.height = height;
    image.hasAlpha = alpha;
    image.grey = !colour;
    image.format = header->format == PAM_FORMAT ? ImageFormat::pam : ImageFormat::ppm;
    image.words.assign(size_t(width) * size_t(height), 0);
    *row = pnm_allocpamrow(header);
    for (int32_t y = 0; y < height; ++y) {
        pnm_readpamrow(header, *row);
        uint32_t* out = image.words.data() + size_t(y) * size_t(width);
        for (int32_t x = 0; x < width; ++x) {
            const sample* t = (*row)[x];
            const uint32_t r = scaleSample(static_cast<uint32_t>(t[0]), maxval);
            const uint32_t g = colour ? scaleSample(static_cast<uint32_t>(t[1]), maxval) : r;
            const uint32_t b = colour ? scaleSample(static_cast<uint32_t>(t[2]), maxval) : r;
            const uint32_t a =
                alpha ? scaleSample(static_cast<uint32_t>(t[depth - 1]), maxval) : 0;
            out[x] = a << 24 | r << 16 | g << 8 | b;
        }
    }
    pm_setjmpbuf(previous);
    return nullptr;
}

const char* writeNetpbm(struct pam* header, tuple** row, const Image& image)
{
    jmp_buf jump;
    jmp_buf* previous = nullptr;
    pm_setjmpbufsave(&jump, &previous);
    if (setjmp(jump)) {
        pm_setjmpbuf(previous);
        return netpbmError[0] ? netpbmError : "cannot write";
    }
    pnm_writepaminit(header);
    *row = pnm_allocpamrow(header);
    const unsigned depth = header->depth;
    for (int32_t y = 0; y < image.height; ++y) {
        const uint32_t* in = image.words.data() + size_t(y) * size_t(image.width);
        for (int32_t x = 0; x < image.width; ++x) {
            sample* t = (*row)[x];
            t[0] = in[x] >> 16 & 0xFF;
            t[1] = in[x] >> 8 & 0xFF;
            t[2] = in[x] & 0xFF;
            if (depth == 4) t[3] = in[x] >> 24;
        }
        pnm_writepamrow(header, *row);
    }
    pm_setjmpbuf(previous);
    return nullptr;
}

}  // namespace

Status decodeNetpbm(const std::vector<uint8_t>& bytes, const std::string& name, Image& image)
{
    if (const char* problem = pamHeaderProblem(bytes))
        return badData(name + ": corrupt Netpbm image: " + problem);
    const std::lock_guard lock(netpbmInUse);
    quietNetpbm();
    FILE* file = fmemopen(const_cast<uint8_t*>(bytes.data()), bytes.size(), "rb");
    if (!file) return badData(name + ": out of memory");
    struct pam header {};
    tuple* row = nullptr;
    const char* wrong = readNetpbm(file, bytes.size(), &header, &row, image);
    if (row) pnm_freepamrow(row);
    std::fclose(file);
    if (wrong) {
        image = Image{};
        if (wrong == imageTooLarge) return badData(name + ": " + imageTooLargeText());
        return badData(name + ": corrupt Netpbm image: " + oneLine(wrong));
    }
    return success();
}

Status encodeNetpbm(const Image& image, ImageFormat format, const std::string& name,
                    const ByteSink& sink)
{
    const std::lock_guard lock(netpbmInUse);
    quietNetpbm();
    char* data = nullptr;
    size_t size = 0;
    FILE* file = open_memstream(&data, &size);
    if (!file) return badData(name + ": out of memory");
    struct pam header {};
    header.size = sizeof header;
    header.len = headerLength;
    header.file = file;
    header.format = format == ImageFormat::pam ? PAM_FORMAT : RPPM_FORMAT;
    header.plainformat = 0;
    header.width = image.width;
    header.height = image.height;
    header.depth = image.hasAlpha ? 4 : 3;
    header.maxval = 255;
    header.bytes_per_sample = 1;
    std::snprintf(header.tuple_type, sizeof header.tuple_type, "%s",
                  image.hasAlpha ? "RGB_ALPHA" : "RGB");
    tuple* row = nullptr;
    const char* wrong = writeNetpbm(&header, &row, image);
    if (row) pnm_freepamrow(row);
    const bool closed = std::fclose(file) == 0;
    // libnetpbm writes to a FILE; the whole file is made in memory first.
    const bool passed =
        wrong || !closed || sink.write(sink.context, reinterpret_cast<uint8_t*>(data), size);
    std::free(data);
    if (!passed) return Status{exitBadData, ""};
    if (wrong) return badData(name + ": cannot encode image: " + oneLine(wrong));
    if (!closed) return badData(name + ": out of memory");
    return success();
}
