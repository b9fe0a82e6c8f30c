// velto_filter: "Velto white balance" on any source OBS draws (webcams,
// media, screen and window capture, images, scenes): an effect filter whose
// correction runs on the GPU and whose analysis runs on a thread of its own
// (texture_path.h, analysis_worker.h).
#include <mutex>
#include <new>

#include <obs-module.h>

#include "obs/analysis_worker.h"
#include "obs/texture_path.h"
#include "obs/velto_properties.h"

namespace {

struct VeltoFilter {
    obs_source_t* context;
    std::mutex settingsLock;  // update() runs on the UI thread, rendering on another
    FilterSettings settings;
    TexturePath path;         // the graphics thread's
    AnalysisWorker worker;
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

void veltoDestroy(void* data)
{
    auto* f = static_cast<VeltoFilter*>(data);
    // The worker first: it may be reading a mapped surface.
    stopWorker(f->worker);
    obs_enter_graphics();
    destroyTexturePath(f->path);
    obs_leave_graphics();
    delete f;
}

void* veltoCreate(obs_data_t* settings, obs_source_t* context)
{
    auto* f = new (std::nothrow) VeltoFilter{};
    if (!f) return nullptr;
    f->context = context;
    veltoUpdate(f, settings);
    char* effectFile = obs_module_file("velto.effect");
    obs_enter_graphics();
    const bool made = createTexturePath(f->path, effectFile);
    obs_leave_graphics();
    bfree(effectFile);
    if (!made || !startWorker(f->worker)) {
        veltoDestroy(f);
        return nullptr;
    }
    return f;
}

void veltoRender(void* data, gs_effect_t*)
{
    auto* f = static_cast<VeltoFilter*>(data);
    FilterSettings settings;
    {
        std::lock_guard<std::mutex> hold(f->settingsLock);
        settings = f->settings;
    }
    renderTexturePath(f->path, f->context, f->worker, settings);
}

enum gs_color_space veltoColorSpace(void* data, size_t, const enum gs_color_space*)
{
    return texturePathSpace(static_cast<VeltoFilter*>(data)->context);
}

}  // namespace

obs_source_info veltoFilterInfo()
{
    obs_source_info info{};
    info.id = "velto_filter";
    info.type = OBS_SOURCE_TYPE_FILTER;
    info.output_flags = OBS_SOURCE_VIDEO | OBS_SOURCE_SRGB;
    info.get_name = veltoName;
    info.create = veltoCreate;
    info.destroy = veltoDestroy;
    info.update = veltoUpdate;
    info.get_defaults = veltoDefaults;
    info.get_properties = veltoProperties;
    info.video_render = veltoRender;
    info.video_get_color_space = veltoColorSpace;
    return info;
}
