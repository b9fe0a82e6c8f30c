// The filter in the real libobs: a host of our own starts libobs (it needs
// an X display for its OpenGL back end: run under xvfb-run), loads
// velto-obs.so from the build tree, feeds the filter frames from a private
// asynchronous source and reads what comes out through a capturing filter
// placed after it. Exits with 77 (skipped) when libobs cannot start.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include <obs.h>
#include <obs-module.h>
#include <media-io/video-io.h>
#include <util/platform.h>

#include "engine/classic/bottom_up.h"
#include "engine/neutral/neutral_pass.h"

namespace {

constexpr int width = 64, height = 48;
std::string moduleDir;
std::string dataDir;  // the module's data: its locale

struct Captured {
    std::mutex lock;
    std::condition_variable ready;
    bool fresh = false;
    std::vector<uint8_t> bytes;  // top row first, width * 4 a row
} captured;

obs_source_frame* captureFrame(void*, obs_source_frame* frame)
{
    std::lock_guard<std::mutex> hold(captured.lock);
    if (frame->format == VIDEO_FORMAT_NV12 || frame->format == VIDEO_FORMAT_I420 ||
        frame->format == VIDEO_FORMAT_YUY2) {
        // As NV12 bytes, whatever the format: the Y plane, then the UV plane
        // (YUY2's chroma taken from its even rows).
        captured.bytes.resize(size_t(width) * height * 3 / 2);
        uint8_t* uvPlane = &captured.bytes[size_t(width) * height];
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const uint8_t* row = frame->data[0] + size_t(y) * frame->linesize[0];
                const bool packed = frame->format == VIDEO_FORMAT_YUY2;
                captured.bytes[size_t(y) * width + x] = packed ? row[x * 2] : row[x];
                if (x % 2 || y % 2) continue;
                uint8_t* uv = uvPlane + size_t(y / 2) * width + x;
                if (packed) {
                    uv[0] = row[x * 2 + 1];
                    uv[1] = row[x * 2 + 3];
                } else if (frame->format == VIDEO_FORMAT_NV12) {
                    std::memcpy(uv, frame->data[1] + size_t(y / 2) * frame->linesize[1] + x, 2);
                } else {
                    uv[0] = frame->data[1][size_t(y / 2) * frame->linesize[1] + x / 2];
                    uv[1] = frame->data[2][size_t(y / 2) * frame->linesize[2] + x / 2];
                }
            }
    } else {
        captured.bytes.resize(size_t(width) * height * 4);
        for (int y = 0; y < height; ++y)
            std::memcpy(&captured.bytes[size_t(y) * width * 4],
                        frame->data[0] + size_t(y) * frame->linesize[0], size_t(width) * 4);
    }
    captured.fresh = true;
    captured.ready.notify_all();
    return frame;
}

void registerTestTypes()
{
    static obs_source_info source{};
    source.id = "velto_test_source";
    source.type = OBS_SOURCE_TYPE_INPUT;
    source.output_flags = OBS_SOURCE_ASYNC_VIDEO;
    source.get_name = [](void*) { return "Velto test source"; };
    source.create = [](obs_data_t*, obs_source_t* s) -> void* { return s; };
    source.destroy = [](void*) {};
    obs_register_source(&source);
    static obs_source_info capture{};
    capture.id = "velto_test_capture";
    capture.type = OBS_SOURCE_TYPE_FILTER;
    capture.output_flags = OBS_SOURCE_VIDEO | OBS_SOURCE_ASYNC;
    capture.get_name = [](void*) { return "Velto test capture"; };
    capture.create = [](obs_data_t*, obs_source_t* s) -> void* { return s; };
    capture.destroy = [](void*) {};
    capture.filter_video = captureFrame;
    obs_register_source(&capture);
}

bool startObs()
{
    if (!obs_startup("en-US", nullptr, nullptr)) return false;
    obs_video_info ovi{};
    ovi.graphics_module = "libobs-opengl";
    ovi.fps_num = 30;
    ovi.fps_den = 1;
    ovi.base_width = ovi.output_width = width;
    ovi.base_height = ovi.output_height = height;
    ovi.output_format = VIDEO_FORMAT_BGRA;
    ovi.colorspace = VIDEO_CS_709;
    ovi.range = VIDEO_RANGE_FULL;
    ovi.gpu_conversion = true;
    ovi.scale_type = OBS_SCALE_BICUBIC;
    if (obs_reset_video(&ovi) != OBS_VIDEO_SUCCESS) return false;
    obs_add_module_path(moduleDir.c_str(), dataDir.c_str());
    bool loaded = false;
    obs_find_modules2(
        [](void* param, const obs_module_info2* info) {
            if (std::string(info->name) != "velto-obs") return;
            obs_module_t* module = nullptr;
            if (obs_open_module(&module, info->bin_path, info->data_path) == MODULE_SUCCESS &&
                obs_init_module(module))
                *static_cast<bool*>(param) = true;
        },
        &loaded);
    return loaded;
}

// A cast picture: warm light, a grey ramp and colour patches, alpha varying.
std::vector<uint32_t> castPicture(int seed)
{
    std::vector<uint32_t> p(size_t(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint32_t v = uint32_t(x * 255 / (width - 1));
            const uint32_t r = std::min(255u, v * 9 / 8 + 10), g = v * 7 / 8 + uint32_t(y % 5);
            const uint32_t b = v * 5 / 8 + uint32_t((x * y + seed) % 13);
            const uint32_t a = uint32_t(128 + (x + y) % 128);
            p[size_t(y) * width + x] = a << 24 | r << 16 | g << 8 | b;
        }
    return p;
}

std::vector<uint8_t> output(obs_source_t* source, obs_source_frame& frame)
{
    std::unique_lock<std::mutex> hold(captured.lock);
    captured.fresh = false;
    hold.unlock();
    obs_source_output_video(source, &frame);
    hold.lock();
    if (!captured.ready.wait_for(hold, std::chrono::seconds(5), [] { return captured.fresh; }))
        return {};
    return captured.bytes;
}

std::vector<uint8_t> run(obs_source_t* source, const std::vector<uint32_t>& words, uint64_t time)
{
    obs_source_frame frame{};
    frame.data[0] = reinterpret_cast<uint8_t*>(const_cast<uint32_t*>(words.data()));
    frame.linesize[0] = width * 4;
    frame.width = width;
    frame.height = height;
    frame.format = VIDEO_FORMAT_BGRA;
    frame.timestamp = time;
    frame.full_range = true;
    return output(source, frame);
}

// BT.709 in limited range, as a webcam gives it: the picture (whose 2 x 2
// blocks are each of one colour, so that NV12 holds it) as NV12 bytes, by
// the standard's own formulas, and NV12 bytes back through libobs's matrix.
struct Nv12 {
    std::vector<uint8_t> bytes;  // Y plane, then UV
    float matrix[16], low[3], high[3];
};

Nv12 nv12Of(const std::vector<uint32_t>& p)
{
    Nv12 n;
    video_format_get_parameters_for_format(VIDEO_CS_709, VIDEO_RANGE_PARTIAL, VIDEO_FORMAT_NV12,
                                           n.matrix, n.low, n.high);
    n.bytes.resize(size_t(width) * height * 3 / 2);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint32_t w = p[size_t(y) * width + x];
            const double r = (w >> 16 & 0xff) / 255.0, g = (w >> 8 & 0xff) / 255.0,
                         b = (w & 0xff) / 255.0;
            const double luma = 0.2126 * r + 0.7152 * g + 0.0722 * b;
            n.bytes[size_t(y) * width + x] = uint8_t(std::lround(16.0 + 219.0 * luma));
            if (x % 2 || y % 2) continue;
            uint8_t* uv = &n.bytes[size_t(width) * height + size_t(y / 2) * width + x];
            uv[0] = uint8_t(std::lround(128.0 + 224.0 * (b - luma) / 1.8556));
            uv[1] = uint8_t(std::lround(128.0 + 224.0 * (r - luma) / 1.5748));
        }
    return n;
}

std::vector<uint32_t> rgbOf(const Nv12& n, const std::vector<uint8_t>& bytes)
{
    std::vector<uint32_t> p(size_t(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint8_t* uv = &bytes[size_t(width) * height + size_t(y / 2) * width + x / 2 * 2];
            const double s[3] = {bytes[size_t(y) * width + x] / 255.0, uv[0] / 255.0, uv[1] / 255.0};
            uint32_t w = 0xff000000u;
            for (int c = 0; c < 3; ++c) {
                double v = n.matrix[c * 4 + 3];
                for (int k = 0; k < 3; ++k)
                    v += n.matrix[c * 4 + k] * std::clamp(s[k], double(n.low[k]), double(n.high[k]));
                w |= uint32_t(std::clamp(std::lround(v * 255.0), 0L, 255L)) << (16 - 8 * c);
            }
            p[size_t(y) * width + x] = w;
        }
    return p;
}

int failures = 0;

// Each channel of got within 1 of want's.
void expectNear(const char* what, const std::vector<uint32_t>& got, const std::vector<uint32_t>& want)
{
    int worst = 0;
    for (size_t i = 0; i < want.size(); ++i)
        for (int shift : {0, 8, 16})
            worst = std::max(worst, std::abs(int(got[i] >> shift & 0xff) - int(want[i] >> shift & 0xff)));
    std::printf("%s %s (at most %d levels off)\n", worst <= 1 ? "ok  " : "FAIL", what, worst);
    failures += worst <= 1 ? 0 : 1;
}

void expectEqual(const char* what, const std::vector<uint8_t>& got, const std::vector<uint32_t>& want,
                 const std::vector<uint32_t>& source)
{
    if (got.size() != want.size() * 4) {
        std::printf("FAIL %s: no frame came out\n", what);
        ++failures;
        return;
    }
    for (size_t i = 0; i < want.size(); ++i) {
        uint32_t w;
        std::memcpy(&w, &got[i * 4], 4);
        if ((w & 0xffffff) != (want[i] & 0xffffff) || w >> 24 != source[i] >> 24) {
            std::printf("FAIL %s: pixel %zu is %08x, expected %06x alpha %02x\n", what, i, w,
                        want[i] & 0xffffff, source[i] >> 24);
            ++failures;
            return;
        }
    }
    std::printf("ok   %s\n", what);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: obs_host MODULE_DIR DATA_DIR\n");
        return 2;
    }
    moduleDir = argv[1];
    dataDir = argv[2];
    if (!startObs()) {
        std::printf("libobs did not start or velto-obs did not load (no X display?): skipped\n");
        return 77;
    }
    registerTestTypes();
    obs_data_t* settings = obs_data_create();
    obs_data_set_double(settings, "steady", 0.0);
    obs_source_t* source = obs_source_create_private("velto_test_source", "test", nullptr);
    obs_source_t* filter = obs_source_create_private("velto_filter", "velto", settings);
    obs_source_t* capture = obs_source_create_private("velto_test_capture", "capture", nullptr);
    if (!source || !filter || !capture) {
        std::printf("FAIL the sources were not made\n");
        return 1;
    }
    obs_source_set_async_unbuffered(source, true);
    obs_source_filter_add(source, filter);
    obs_source_filter_add(source, capture);
    obs_set_output_source(0, source);

    const std::vector<uint32_t> picture = castPicture(0);
    std::vector<uint32_t> neutral(picture.size()), classic(picture.size());
    runNeutralPass(NeutralSettings{}, {picture.data(), width, height, 0}, neutral.data(), 0,
                   nullptr, TopByte::carried);
    BlockLevels levels;
    correctFrame(defaultStrengths, picture.data(), classic.data(), width, height, levels,
                 TopByte::carried);
    uint64_t time = os_gettime_ns();
    constexpr uint64_t period = 1000000000 / 30;
    expectEqual("neutral, steady off: the engine's bytes, alpha kept",
                run(source, picture, time += period), neutral, picture);

    obs_data_set_string(settings, "method", "classic");
    obs_source_update(filter, settings);
    expectEqual("the method changed: the next frame is the classic's",
                run(source, picture, time += period), classic, picture);

    // A still clip with steady levels: every frame comes out the same.
    obs_data_set_string(settings, "method", "neutral");
    obs_data_set_double(settings, "steady", 1.0);
    obs_source_update(filter, settings);
    const std::vector<uint8_t> first = run(source, picture, time += period);
    bool still = !first.empty();
    for (int i = 0; i < 20 && still; ++i) still = run(source, picture, time += period) == first;
    std::printf("%s a still clip with steady levels does not pump\n", still ? "ok  " : "FAIL");
    failures += still ? 0 : 1;

    // NV12: the corrected frame, turned to RGB, against the engine's
    // correction of the frame turned to RGB.
    obs_data_set_double(settings, "steady", 0.0);
    obs_source_update(filter, settings);
    std::vector<uint32_t> blocks = castPicture(3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            blocks[size_t(y) * width + x] = blocks[size_t(y & ~1) * width + (x & ~1)];
    Nv12 nv12 = nv12Of(blocks);
    const std::vector<uint32_t> shown = rgbOf(nv12, nv12.bytes);
    std::vector<uint32_t> want(shown.size());
    runNeutralPass(NeutralSettings{}, {shown.data(), width, height, 0}, want.data(), 0, nullptr,
                   TopByte::carried);
    // The same picture as NV12, I420 and YUY2 frames.
    const uint8_t* uvPlane = nv12.bytes.data() + size_t(width) * height;
    std::vector<uint8_t> u(size_t(width / 2) * (height / 2)), v(u.size());
    std::vector<uint8_t> yuy2(size_t(width) * height * 2);
    for (size_t i = 0; i < u.size(); ++i) u[i] = uvPlane[i * 2], v[i] = uvPlane[i * 2 + 1];
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* pair = &yuy2[size_t(y) * width * 2 + size_t(x / 2) * 4];
            pair[(x % 2) * 2] = nv12.bytes[size_t(y) * width + x];
            pair[1] = u[size_t(y / 2) * (width / 2) + x / 2];
            pair[3] = v[size_t(y / 2) * (width / 2) + x / 2];
        }
    const struct {
        video_format format;
        const char* what;
    } formats[] = {{VIDEO_FORMAT_NV12, "NV12 in BT.709 limited range: the engine's colours"},
                   {VIDEO_FORMAT_I420, "I420 in BT.709 limited range: the engine's colours"},
                   {VIDEO_FORMAT_YUY2, "YUY2 in BT.709 limited range: the engine's colours"}};
    for (const auto& f : formats) {
        // Copies: the frame is filtered in place in libobs's own copy, but
        // the source's bytes stay as they are for the next format.
        std::vector<uint8_t> luma(nv12.bytes.begin(), nv12.bytes.begin() + size_t(width) * height);
        std::vector<uint8_t> chroma(uvPlane, uvPlane + size_t(width) * height / 2);
        obs_source_frame frame{};
        if (f.format == VIDEO_FORMAT_NV12) {
            frame.data[0] = luma.data();
            frame.data[1] = chroma.data();
            frame.linesize[0] = frame.linesize[1] = width;
        } else if (f.format == VIDEO_FORMAT_I420) {
            frame.data[0] = luma.data();
            frame.data[1] = u.data();
            frame.data[2] = v.data();
            frame.linesize[0] = width;
            frame.linesize[1] = frame.linesize[2] = width / 2;
        } else {
            frame.data[0] = yuy2.data();
            frame.linesize[0] = width * 2;
        }
        frame.width = width;
        frame.height = height;
        frame.format = f.format;
        frame.timestamp = time += period;
        std::memcpy(frame.color_matrix, nv12.matrix, sizeof nv12.matrix);
        std::memcpy(frame.color_range_min, nv12.low, sizeof nv12.low);
        std::memcpy(frame.color_range_max, nv12.high, sizeof nv12.high);
        const std::vector<uint8_t> out = output(source, frame);
        if (out.size() == nv12.bytes.size())
            expectNear(f.what, rgbOf(nv12, out), want);
        else
            std::printf("FAIL %s: no frame came out\n", f.what), ++failures;
    }

    obs_set_output_source(0, nullptr);
    obs_source_release(capture);
    obs_source_release(filter);
    obs_source_release(source);
    obs_data_release(settings);
    obs_shutdown();
    return failures ? 1 : 0;
}
