// velto-obs.so: the module OBS Studio loads; it registers the one filter.
#include <obs-module.h>

OBS_DECLARE_MODULE()
OBS_MODULE_USE_DEFAULT_LOCALE("velto-obs", "en-US")

obs_source_info veltoFilterInfo();

MODULE_EXPORT const char* obs_module_description(void)
{
    return "Velto: automatic white balance for every video source";
}

bool obs_module_load(void)
{
    static obs_source_info info = veltoFilterInfo();
    obs_register_source(&info);
    return true;
}
