// libFuzzer target for the tool's readers. The first byte picks the reader:
// even, the image decoders (PNG, JPEG, WebP, TIFF, HEIF/AVIF, PBM/PGM/PPM/PAM) on the remaining
// bytes; odd, the raw frame stream, with a frame size taken from the next
// byte. Whatever the bytes, a reader must either fail with one line naming
// the input or deliver a consistent picture, and the image encoders must
// write what the decoders read back (JPEG: the size and the EXIF block).
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cli/formats/image.h"
#include "cli/io/raw_frames.h"

namespace {

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

void checkFailure(const Status& s)
{
    check(s.exitCode == exitBadData || s.exitCode == exitUsage, "a failure has an exit code");
    check(s.message.rfind("fuzz: ", 0) == 0, "a failure names the input");
    check(s.message.find('\n') == std::string::npos, "a failure is one line");
}

void fuzzImage(const uint8_t* data, size_t size)
{
    const std::vector<uint8_t> bytes(data, data + size);
    Image image;
    const Status s = decodeImage(bytes, "fuzz", image);
    if (!s.ok()) {
        checkFailure(s);
        check(image.words.empty(), "a failed read keeps no pixels");
        return;
    }
    check(imageSizeAllowed(image.width, image.height), "the size is within bounds");
    check(image.words.size() == size_t(image.width) * size_t(image.height), "all pixels are there");
    check(image.deep.empty() || image.deep.size() == image.words.size() * size_t(deepChannels(image)),
          "all deep samples are there");
    if (!image.hasAlpha)
        for (uint32_t w : image.words) check(w >> 24 == 0, "no alpha reads as 0");
    if (image.words.size() > 1 << 16) return;  // keep the round trips quick
    for (ImageFormat f : {ImageFormat::png, ImageFormat::pam, ImageFormat::tiff}) {
        std::vector<uint8_t> encoded;
        check(encodeImage(image, f, "fuzz", encoded).ok(), "a read image can be written");
        Image again;
        check(decodeImage(encoded, "fuzz", again).ok(), "a written image can be read");
        check(again.words == image.words && again.hasAlpha == image.hasAlpha,
              "a written image reads back the same");
        check(f == ImageFormat::pam || again.deep == image.deep, "16 bits read back the same");
    }
    if (image.hasAlpha) return;
    std::vector<uint8_t> encoded;
    check(encodeImage(image, ImageFormat::jpeg, "fuzz", encoded, {90}).ok(), "a JPEG can be written");
    Image again;
    check(decodeImage(encoded, "fuzz", again).ok(), "a written JPEG can be read");
    check(again.width == image.width && again.height == image.height,
          "a written JPEG reads back at its size");
    check(again.exif == image.exif || image.exif.size() > 65527, "a JPEG keeps its EXIF block");
}

void fuzzStream(const uint8_t* data, size_t size)
{
    if (size == 0) return;
    const int32_t width = 1 + (data[0] & 7), height = 1 + (data[0] >> 3 & 7);
    const int32_t threads = 1 + (data[0] >> 6);
    ++data;
    --size;
    const int fd = memfd_create("fuzz", 0);
    check(fd >= 0, "memfd_create");
    check(write(fd, data, size) == static_cast<ssize_t>(size), "memfd write");
    check(lseek(fd, 0, SEEK_SET) == 0, "memfd seek");
    InputStream in;
    in.fd = fd;
    in.owned = true;
    in.name = "fuzz";

    const size_t frameBytes = size_t(width) * size_t(height) * 4;
    RawReader reader{&in, width, height};
    int64_t emitted = 0;
    FrameSteps steps;
    steps.read = std::ref(reader);
    steps.work = [](FrameJob& job) {
        job.result = job.source;
        for (uint32_t& w : job.result) w &= 0x00FFFFFF;
    };
    steps.emit = [&](FrameJob& job) {
        check(job.index == emitted, "frames leave in order");
        check(std::memcmp(job.source.data(), data + size_t(job.index) * frameBytes, frameBytes) == 0,
              "a frame holds its own bytes");
        ++emitted;
        return success();
    };
    const Status s = runFrames(threads, steps);
    check(emitted == static_cast<int64_t>(size / frameBytes), "every whole frame goes out");
    check(s.ok() == (size > 0 && size % frameBytes == 0),
          "only an empty stream or a short frame fails");
    check(reader.shortFrame == (size > 0 && !s.ok()), "the failure is the short frame");
    if (!s.ok()) checkFailure(s);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    if (data[0] % 2 == 0)
        fuzzImage(data + 1, size - 1);
    else
        fuzzStream(data + 1, size - 1);
    return 0;
}
