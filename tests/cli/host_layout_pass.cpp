// The Windows engine as the plug-in runs it, on frames laid out as the host
// lays them out: bottom-up, each row padded to 16 bytes, the destination in a
// buffer of its own with another padding, reached through the frame callback.
// It also makes its own test frames, so that the native tool and this program
// see the same bytes.
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
#include <vector>

#include "module/frame_callback.h"
#include "settings/filter_settings.h"

namespace {

struct Random {
    uint32_t state;
    uint32_t next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    uint32_t below(uint32_t n) { return next() % n; }
};

uint32_t clampByte(int32_t v) { return v < 0 ? 0u : v > 255 ? 255u : static_cast<uint32_t>(v); }

// A scene: a lit gradient, a few flat shapes, noise, then a cast of its own
// per frame (a gain and a lift per channel) and a random top byte.
void makeFrame(Random& random, int32_t width, int32_t height, std::vector<uint32_t>& words)
{
    int32_t gain[3], lift[3];
    for (int c = 0; c < 3; ++c) {
        gain[c] = 60 + static_cast<int32_t>(random.below(45));  // in 64ths
        lift[c] = static_cast<int32_t>(random.below(50));
    }
    int32_t shapes[4][5];
    for (auto& s : shapes) {
        s[0] = static_cast<int32_t>(random.below(static_cast<uint32_t>(width)));
        s[1] = static_cast<int32_t>(random.below(static_cast<uint32_t>(height)));
        s[2] = 1 + static_cast<int32_t>(random.below(static_cast<uint32_t>(width / 3 + 1)));
        s[3] = 1 + static_cast<int32_t>(random.below(static_cast<uint32_t>(height / 3 + 1)));
        s[4] = static_cast<int32_t>(random.below(0x1000000));
    }
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            int32_t rgb[3];
            const int32_t base = (x * 200) / width + (y * 55) / height;
            for (int c = 0; c < 3; ++c) rgb[c] = base;
            for (const auto& s : shapes)
                if (x >= s[0] && x < s[0] + s[2] && y >= s[1] && y < s[1] + s[3])
                    for (int c = 0; c < 3; ++c) rgb[c] = s[4] >> (8 * c) & 0xFF;
            uint32_t word = random.next() & 0xFF000000u;
            for (int c = 0; c < 3; ++c) {
                const int32_t noisy = rgb[c] + static_cast<int32_t>(random.below(17)) - 8;
                word |= clampByte(noisy * gain[c] / 64 + lift[c]) << (8 * (2 - c));
            }
            words[size_t(y) * size_t(width) + size_t(x)] = word;
        }
}

// One case: argv holds its nine arguments. 0 on success, 1 on a failed
// output, 2 on arguments out of range.
int runCase(char** argv)
{
    const int32_t width = std::atoi(argv[0]), height = std::atoi(argv[1]);
    const int32_t frames = std::atoi(argv[2]);
    Random random{static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)) | 1u};
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
    const intptr_t sourcePitch = (intptr_t{width} * 4 + 15) / 16 * 16;
    const intptr_t destinationPitch = sourcePitch + 8;
    std::vector<uint32_t> picture(size_t(width) * size_t(height));
    std::vector<uint32_t> source(size_t(sourcePitch / 4) * size_t(height), 0xCDCDCDCD);
    std::vector<uint32_t> destination(size_t(destinationPitch / 4) * size_t(height), 0xCDCDCDCD);
    std::vector<uint32_t> row(static_cast<size_t>(width));

    BitmapView sourceView{}, destinationView{};
    sourceView.pixels = source.data();
    sourceView.width = width;
    sourceView.height = height;
    sourceView.rowGap = sourcePitch - intptr_t{width} * 4;
    destinationView.pixels = destination.data();
    destinationView.rowGap = destinationPitch - intptr_t{width} * 4;
    FrameContext context{};
    context.settings = &settings;
    context.source = &sourceView;
    context.destination = &destinationView;

    for (int32_t f = 0; f < frames; ++f) {
        makeFrame(random, width, height, picture);
        std::fwrite(picture.data(), 4, picture.size(), framesOut);
        // Bottom-up: the picture's last row comes first in memory.
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                source[size_t(height - 1 - y) * size_t(sourcePitch / 4) + size_t(x)] =
                    picture[size_t(y) * size_t(width) + size_t(x)];
        if (frameCallback(&context) != 0) {
            std::fclose(framesOut);
            std::fclose(resultOut);
            return 1;
        }
        for (int32_t y = height - 1; y >= 0; --y) {
            const uint32_t* memoryRow = destination.data() + size_t(y) * size_t(destinationPitch / 4);
            for (int32_t x = 0; x < width; ++x) row[size_t(x)] = memoryRow[x];
            std::fwrite(row.data(), 4, row.size(), resultOut);
        }
    }
    const bool framesWritten = std::fclose(framesOut) == 0;
    const bool resultWritten = std::fclose(resultOut) == 0;
    return framesWritten && resultWritten ? 0 : 1;
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
