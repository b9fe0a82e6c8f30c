// velto_filter: "Velto white balance" on the frames of asynchronous sources
// (webcams, media files), corrected in their own memory before OBS uploads
// them. Packed 8-bit RGB frames (BGRA, BGRX, RGBA) are corrected here; the
// frames of other formats go through unchanged for now.
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include <obs-module.h>

#include "obs/frame_correction.h"
#include "obs/velto_properties.h"

namespace {

struct VeltoFilter {
    obs_source_t* context;
    std::mutex settingsLock;  // update() runs on the UI thread, frames on another
    FilterSettings settings;
    CorrectionState state;
    std::vector<uint32_t> scratch;  // a frame as top-row-first BGRA words
};

const char* veltoName(void*)
{
    return obs_module_text("VeltoFilter");
}

void veltoUpdate(void* data, obs_data_t* settings)
{
    auto* f = static_cast<VeltoFilter*>(data);
    const FilterSettings s = veltoSettingsOf(settings);
    std::lock_guard<std::mutex> hold(f->settingsLock);
    f->settings = s;
}

void* veltoCreate(obs_data_t* settings, obs_source_t* context)
{
    auto* f = new (std::nothrow) VeltoFilter{};
    if (!f) return nullptr;
    f->context = context;
    veltoUpdate(f, settings);
    return f;
}

void veltoDestroy(void* data)
{
    delete static_cast<VeltoFilter*>(data);
}

bool packedRgb(video_format format)
{
    return format == VIDEO_FORMAT_BGRA || format == VIDEO_FORMAT_BGRX ||
           format == VIDEO_FORMAT_RGBA;
}

// Red and blue change places: RGBA bytes become the engine's BGRA words and back.
void swapRedBlue(uint32_t* words, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const uint32_t w = words[i];
        words[i] = (w & 0xff00ff00u) | (w >> 16 & 0xffu) | (w & 0xffu) << 16;
    }
}

obs_source_frame* veltoFilterVideo(void* data, obs_source_frame* frame)
{
    auto* f = static_cast<VeltoFilter*>(data);
    if (!frame || !packedRgb(frame->format) || frame->width == 0 || frame->height == 0 ||
        frame->width > 16384 || frame->height > 16384 || frame->linesize[0] < frame->width * 4)
        return frame;
    FilterSettings settings;
    {
        std::lock_guard<std::mutex> hold(f->settingsLock);
        settings = f->settings;
    }
    const auto width = static_cast<int32_t>(frame->width);
    const auto height = static_cast<int32_t>(frame->height);
    const size_t row = size_t(frame->width) * 4;
    try {
        f->scratch.resize(size_t(frame->width) * frame->height);
    } catch (const std::bad_alloc&) {
        return frame;
    }
    uint32_t* words = f->scratch.data();
    for (int32_t y = 0; y < height; ++y)
        std::memcpy(words + size_t(y) * frame->width, frame->data[0] + size_t(y) * frame->linesize[0], row);
    if (frame->format == VIDEO_FORMAT_RGBA) swapRedBlue(words, f->scratch.size());
    const FrameCorrection c = analyseFrame(f->state, settings, words, width, height, frame->timestamp);
    applyCorrection(c, words, width, height);
    if (frame->format == VIDEO_FORMAT_RGBA) swapRedBlue(words, f->scratch.size());
    for (int32_t y = 0; y < height; ++y)
        std::memcpy(frame->data[0] + size_t(y) * frame->linesize[0], words + size_t(y) * frame->width, row);
    return frame;
}

}  // namespace

obs_source_info veltoFilterInfo()
{
    obs_source_info info{};
    info.id = "velto_filter";
    info.type = OBS_SOURCE_TYPE_FILTER;
    info.output_flags = OBS_SOURCE_VIDEO | OBS_SOURCE_ASYNC;
    info.get_name = veltoName;
    info.create = veltoCreate;
    info.destroy = veltoDestroy;
    info.update = veltoUpdate;
    info.get_defaults = veltoDefaults;
    info.get_properties = veltoProperties;
    info.filter_video = veltoFilterVideo;
    return info;
}
