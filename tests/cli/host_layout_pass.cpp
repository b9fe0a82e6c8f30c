// The Windows engine as the plug-in runs it, on frames laid out as the host
// lays them out: bottom-up, each row padded to 16 bytes, the destination in a
// buffer of its own with another padding, reached through the frame callback.
// It also paints its own test frames (a scene with a cast of its own in each),
// so that the native tool and this program see the same bytes.
//
//   host_layout_pass WIDTH HEIGHT FRAMES SEED R G B FRAMES_OUT RESULT_OUT [...]
//
// writes FRAMES generated frames (raw bgra, top row first) to FRAMES_OUT and
// their corrected frames, in the same layout, to RESULT_OUT. Any number of
// such cases, nine arguments each, run in one start of the program: under
// wine, and above all under processor emulation, each start is what costs.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "module/frame_callback.h"
#include "settings/filter_settings.h"
#include "tests/support/pictures.h"

namespace {

// Writes the picture in a host's frame, top row first: the host keeps it
// bottom-up, its first row in memory the picture's last.
bool writePicture(TestFrame& f, std::FILE* out)
{
    for (int32_t y = f.height - 1; y >= 0; --y)
        if (std::fwrite(&f.at(0, y), 4, static_cast<size_t>(f.width), out) != static_cast<size_t>(f.width))
            return false;
    return true;
}

// One case: argv holds its nine arguments. 0 on success, 1 on a failed
// output, 2 on arguments out of range.
int runCase(char** argv)
{
    const int32_t width = std::atoi(argv[0]), height = std::atoi(argv[1]);
    const int32_t frames = std::atoi(argv[2]);
    Random random{static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10))};
    FilterSettings settings{};
    settings.levelR = std::atoi(argv[4]);
    settings.levelG = std::atoi(argv[5]);
    settings.levelB = std::atoi(argv[6]);
    if (width < 1 || height < 1 || width > 8192 || height > 8192 || frames < 1) return 2;
    std::FILE* framesOut = std::fopen(argv[7], "wb");
    std::FILE* resultOut = std::fopen(argv[8], "wb");
    if (!framesOut || !resultOut) {
        std::fprintf(stderr, "host_layout_pass: cannot create %s or %s\n", argv[7], argv[8]);
        if (framesOut) std::fclose(framesOut);
        if (resultOut) std::fclose(resultOut);
        return 1;
    }

    // Row pitches as the host rounds them: to 16 bytes for the source, and a
    // destination with 8 bytes more, so the two gaps differ.
    const intptr_t sourceGap = (intptr_t{width} * 4 + 15) / 16 * 16 - intptr_t{width} * 4;
    TestFrame source(width, height, sourceGap, 0xCDCDCDCD);
    TestFrame destination(width, height, sourceGap + 8, 0xCDCDCDCD);
    BitmapView sourceView = source.hostView(), destinationView = destination.hostView();
    FrameContext context{};
    context.settings = &settings;
    context.source = &sourceView;
    context.destination = &destinationView;

    bool written = true;
    for (int32_t f = 0; f < frames && written; ++f) {
        paintScene(source, random, randomLook(random));
        frameCallback(&context);
        written = writePicture(source, framesOut) && writePicture(destination, resultOut);
    }
    const bool framesWritten = std::fclose(framesOut) == 0;
    const bool resultWritten = std::fclose(resultOut) == 0;
    return written && framesWritten && resultWritten ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    constexpr int caseArguments = 9;
    if (argc < 1 + caseArguments || (argc - 1) % caseArguments != 0) {
        std::fprintf(stderr, "usage: host_layout_pass W H FRAMES SEED R G B FRAMES_OUT RESULT_OUT [...]\n");
        return 2;
    }
    for (int i = 1; i < argc; i += caseArguments) {
        const int status = runCase(argv + i);
        if (status != 0) return status;
    }
    return 0;
}
