// velto_filter: "Velto white balance" on the frames of asynchronous sources
// (webcams, media files), corrected in their own memory before OBS uploads
// them: each frame in its own format turned to BGRA words (frame_formats.h),
// analysed and corrected by the engine, and turned back.
#include <mutex>
#include <new>
#include <vector>

#include <obs-module.h>

#include "obs/frame_filter.h"
#include "obs/frame_formats.h"
#include "obs/velto_properties.h"

namespace {

struct VeltoFilter {
    obs_source_t* context;
    std::mutex settingsLock;  // update() runs on the UI thread, frames on another
    FilterSettings settings;
    CorrectionState state;
    std::vector<uint32_t> scratch;  // a frame in another format as top-row-first BGRA words
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

obs_source_frame* veltoFilterVideo(void* data, obs_source_frame* frame)
{
    auto* f = static_cast<VeltoFilter*>(data);
    // Formats of more than 8 bits a sample go through as they came.
    if (!frame || frame->width == 0 || frame->height == 0 || frame->width > 16384 ||
        frame->height > 16384 || !frameHandled(*frame))
        return frame;
    FilterSettings settings;
    {
        std::lock_guard<std::mutex> hold(f->settingsLock);
        settings = f->settings;
    }
    filterFrame(f->state, settings, *frame, f->scratch);
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
