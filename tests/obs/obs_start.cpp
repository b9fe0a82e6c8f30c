#include "tests/obs/obs_start.h"

#include <cstring>

#include <obs.h>
#include <obs-module.h>

bool startObs(const char* moduleDir, const char* dataDir, uint32_t width, uint32_t height,
              uint32_t fps)
{
    if (!obs_startup("en-US", nullptr, nullptr)) return false;
    obs_video_info ovi{};
    ovi.graphics_module = "libobs-opengl";
    ovi.fps_num = fps;
    ovi.fps_den = 1;
    ovi.base_width = ovi.output_width = width;
    ovi.base_height = ovi.output_height = height;
    ovi.output_format = VIDEO_FORMAT_BGRA;
    ovi.colorspace = VIDEO_CS_709;
    ovi.range = VIDEO_RANGE_FULL;
    ovi.gpu_conversion = true;
    ovi.scale_type = OBS_SCALE_BICUBIC;
    if (obs_reset_video(&ovi) != OBS_VIDEO_SUCCESS) return false;
    obs_add_module_path(moduleDir, dataDir);
    bool loaded = false;
    obs_find_modules2(
        [](void* param, const obs_module_info2* info) {
            if (std::strcmp(info->name, "velto-obs") != 0) return;
            obs_module_t* module = nullptr;
            if (obs_open_module(&module, info->bin_path, info->data_path) == MODULE_SUCCESS &&
                obs_init_module(module))
                *static_cast<bool*>(param) = true;
        },
        &loaded);
    return loaded;
}
