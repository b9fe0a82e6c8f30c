#include "obs/velto_properties.h"

#include <algorithm>
#include <string_view>

namespace {

constexpr const char* methodNeutral = "neutral";
constexpr const char* methodClassic = "classic";
constexpr int strengthDefault = 100;
constexpr double steadyDefault = 1.0;
constexpr double steadyLongest = 10.0;

// The classic's levels only matter to the classic, the strength only to the
// neutral correction: the dialog shows the ones the chosen method uses.
bool methodChanged(obs_properties_t* props, obs_property_t*, obs_data_t* settings)
{
    const bool classic = veltoSettingsOf(settings).method == FilterMethod::classic;
    obs_property_set_visible(obs_properties_get(props, "strength"), !classic);
    for (const char* level : {"level_r", "level_g", "level_b"})
        obs_property_set_visible(obs_properties_get(props, level), classic);
    return true;
}

int32_t levelOf(obs_data_t* settings, const char* name)
{
    const long long v = obs_data_get_int(settings, name);
    return static_cast<int32_t>(std::clamp<long long>(v, minimumLevel, maximumLevel));
}

}  // namespace

void veltoDefaults(obs_data_t* settings)
{
    obs_data_set_default_string(settings, "method", methodNeutral);
    obs_data_set_default_int(settings, "strength", strengthDefault);
    obs_data_set_default_int(settings, "level_r", defaultLevel);
    obs_data_set_default_int(settings, "level_g", defaultLevel);
    obs_data_set_default_int(settings, "level_b", defaultLevel);
    obs_data_set_default_double(settings, "steady", steadyDefault);
}

obs_properties_t* veltoProperties(void*)
{
    obs_properties_t* props = obs_properties_create();
    obs_property_t* method = obs_properties_add_list(props, "method", obs_module_text("Method"),
                                                     OBS_COMBO_TYPE_LIST, OBS_COMBO_FORMAT_STRING);
    obs_property_list_add_string(method, obs_module_text("Method.Neutral"), methodNeutral);
    obs_property_list_add_string(method, obs_module_text("Method.Classic"), methodClassic);
    obs_property_set_long_description(method, obs_module_text("Method.Description"));
    obs_property_set_modified_callback(method, methodChanged);

    obs_property_t* strength =
        obs_properties_add_int_slider(props, "strength", obs_module_text("Strength"), 0, 100, 1);
    obs_property_int_set_suffix(strength, "%");
    obs_property_set_long_description(strength, obs_module_text("Strength.Description"));

    const struct {
        const char* name;
        const char* text;
    } levels[] = {{"level_r", "LevelR"}, {"level_g", "LevelG"}, {"level_b", "LevelB"}};
    for (const auto& level : levels) {
        obs_property_t* p = obs_properties_add_int_slider(
            props, level.name, obs_module_text(level.text), minimumLevel, maximumLevel, 1);
        obs_property_set_long_description(p, obs_module_text("Level.Description"));
    }

    obs_property_t* steady = obs_properties_add_float_slider(
        props, "steady", obs_module_text("Steady"), 0.0, steadyLongest, 0.1);
    obs_property_float_set_suffix(steady, " s");
    obs_property_set_long_description(steady, obs_module_text("Steady.Description"));
    return props;
}

FilterSettings veltoSettingsOf(obs_data_t* settings)
{
    FilterSettings s;
    const char* method = obs_data_get_string(settings, "method");
    s.method = method && std::string_view(method) == methodClassic ? FilterMethod::classic
                                                                    : FilterMethod::neutral;
    const long long strength = std::clamp<long long>(obs_data_get_int(settings, "strength"), 0, 100);
    s.strength = static_cast<double>(strength) / 100.0;
    s.levels = {levelOf(settings, "level_r"), levelOf(settings, "level_g"),
                levelOf(settings, "level_b")};
    const double steady = obs_data_get_double(settings, "steady");
    // Not a number, or below 0: off.
    s.steadySeconds = steady > 0.0 ? std::min(steady, steadyLongest) : 0.0;
    return s;
}
