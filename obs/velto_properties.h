// The filter's properties: their names in OBS's settings, their defaults,
// the dialog that shows them, and the settings read back as FilterSettings.
#pragma once

#include <obs-module.h>

#include "obs/filter_settings.h"

void veltoDefaults(obs_data_t* settings);
obs_properties_t* veltoProperties(void* data);
// Values out of range (a hand-edited scene file) are held to the range.
FilterSettings veltoSettingsOf(obs_data_t* settings);
