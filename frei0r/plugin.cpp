// velto.so: the filter as a frei0r 1.2 effect, for ffmpeg's frei0r filter,
// MLT and every other frei0r host. Frames come as BGRA8888, top row first,
// width * 4 bytes a row; each instance keeps its frame size and its own three
// levels. Nothing else changes once loaded (the engine picks its kernel on the
// first frame, thread-safely), so any number of instances run at once, on any
// threads.
#include <iterator>
#include <new>

extern "C" {
#include <frei0r.h>
}

#include "engine/bottom_up.h"
#include "frei0r/level_values.h"

namespace {

struct Instance {
    int32_t width;
    int32_t height;
    ChannelLevels levels;
};


struct ParamText {
    const char* name;
    const char* explanation;
};

constexpr ParamText paramTexts[] = {
    {"Level R", "Red level 1 to 40: 40 x value, rounded, at least 1; 0.5 is the default 20. "
                "Higher reaches further into red's ends"},
    {"Level G", "Green level 1 to 40: 40 x value, rounded, at least 1; 0.5 is the default 20. "
                "Higher reaches further into green's ends"},
    {"Level B", "Blue level 1 to 40: 40 x value, rounded, at least 1; 0.5 is the default 20. "
                "Higher reaches further into blue's ends"},
};
constexpr int paramCount = static_cast<int>(std::size(paramTexts));

int32_t* levelAt(f0r_instance_t instance, int index)
{
    if (!instance) return nullptr;
    ChannelLevels& levels = static_cast<Instance*>(instance)->levels;
    switch (index) {
    case 0: return &levels.levelR;
    case 1: return &levels.levelG;
    case 2: return &levels.levelB;
    default: return nullptr;
    }
}

void correct(f0r_instance_t instance, const uint32_t* in, uint32_t* out)
{
    if (!instance || !in || !out) return;
    const Instance& i = *static_cast<const Instance*>(instance);
    // The pass reports what it found; nobody here asks.
    BlockLevels found;
    // Hosts composite with the fourth byte: a cleared one would make the
    // picture vanish, so it goes through as it came.
    correctFrame(i.levels, in, out, i.width, i.height, found, TopByte::carried);
}

}  // namespace

extern "C" {

int f0r_init(void)
{
    return 1;
}

void f0r_deinit(void) {}

void f0r_get_plugin_info(f0r_plugin_info_t* info)
{
    if (!info) return;
    info->name = "velto";
    info->author = "The Velto developers";
    info->plugin_type = F0R_PLUGIN_TYPE_FILTER;
    info->color_model = F0R_COLOR_MODEL_BGRA8888;
    info->frei0r_version = FREI0R_MAJOR_VERSION;
    info->major_version = VELTO_VERSION_MAJOR;
    info->minor_version = VELTO_VERSION_MINOR;
    info->num_params = paramCount;
    info->explanation =
        "Automatic white balance: measures a black and a white point of each colour channel "
        "in every frame and stretches the channel between them. Alpha is kept.";
}

void f0r_get_param_info(f0r_param_info_t* info, int param_index)
{
    if (!info || param_index < 0 || param_index >= paramCount) return;
    info->name = paramTexts[param_index].name;
    info->type = F0R_PARAM_DOUBLE;
    info->explanation = paramTexts[param_index].explanation;
}

f0r_instance_t f0r_construct(unsigned int width, unsigned int height)
{
    constexpr auto largest = static_cast<unsigned int>(maximumSide);
    if (width < 1 || height < 1 || width > largest || height > largest) return nullptr;
    return new (std::nothrow)
        Instance{static_cast<int32_t>(width), static_cast<int32_t>(height), defaultLevels};
}

void f0r_destruct(f0r_instance_t instance)
{
    delete static_cast<Instance*>(instance);
}

void f0r_set_param_value(f0r_instance_t instance, f0r_param_t param, int param_index)
{
    int32_t* level = levelAt(instance, param_index);
    if (level && param) *level = levelOfValue(*static_cast<const f0r_param_double*>(param));
}

void f0r_get_param_value(f0r_instance_t instance, f0r_param_t param, int param_index)
{
    const int32_t* level = levelAt(instance, param_index);
    if (level && param) *static_cast<f0r_param_double*>(param) = valueOfLevel(*level);
}

void f0r_update(f0r_instance_t instance, double, const uint32_t* inframe, uint32_t* outframe)
{
    correct(instance, inframe, outframe);
}

void f0r_update2(f0r_instance_t instance, double, const uint32_t* inframe1, const uint32_t*,
                 const uint32_t*, uint32_t* outframe)
{
    correct(instance, inframe1, outframe);
}

}  // extern "C"
