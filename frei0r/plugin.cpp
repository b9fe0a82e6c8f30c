// velto.so: the filter as a frei0r 1.2 effect, for ffmpeg's frei0r filter,
// MLT and every other frei0r host. Frames come as BGRA8888, top row first,
// width * 4 bytes a row; each instance keeps its frame size, its own three
// strengths and, when the host asks for steady levels, the steady state from
// frame to frame (one instance is never used by two threads at once, by frei0r's
// rule). Nothing else changes once loaded (the engine picks its kernel on the
// first frame, thread-safely), so any number of instances run at once, on any
// threads.
#include <iterator>
#include <new>

extern "C" {
#include <frei0r.h>
}

#include "engine/classic/bottom_up.h"
#include "engine/classic/steady_pass.h"
#include "frei0r/frame_clock.h"
#include "frei0r/level_values.h"
#include "limits/frame_limits.h"

namespace {

struct Instance {
    int32_t width;
    int32_t height;
    Strengths strengths;
    double steadyValue;  // 0: off
    FrameClock clock;    // restarted by every frame corrected without steady levels
    SteadyState steady;
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
    {"Steady", "Steady levels over time for video, restarted at scene cuts and seeks: "
               "time constant 10 x value seconds (0.1 is 1 s); 0, the default, is off. "
               "Where the host gives no usable frame times, frames count at 25 a second"},
};
constexpr int paramCount = static_cast<int>(std::size(paramTexts));
constexpr int steadyIndex = 3;

int32_t* levelAt(f0r_instance_t instance, int index)
{
    if (!instance) return nullptr;
    Strengths& strengths = static_cast<Instance*>(instance)->strengths;
    switch (index) {
    case 0: return &strengths.levelR;
    case 1: return &strengths.levelG;
    case 2: return &strengths.levelB;
    default: return nullptr;
    }
}

void correct(f0r_instance_t instance, double time, const uint32_t* in, uint32_t* out)
{
    if (!instance || !in || !out) return;
    Instance& i = *static_cast<Instance*>(instance);
    // Hosts composite with the fourth byte: a cleared one would make the
    // picture vanish, so it goes through as it came.
    if (i.steadyValue == 0.0) {
        i.clock = FrameClock{};
        BlockLevels found;
        correctFrame(i.strengths, in, out, i.width, i.height, found, TopByte::carried);
        return;
    }
    runSteadyPass(i.strengths, in, out, i.width, i.height, TopByte::carried,
                  [&](const CorrectionLevels& own, const SceneSignature& signature) {
                      const ClockTick tick = tickClock(i.clock, time);
                      i.clock = tick.clock;
                      if (tick.restart) i.steady = SteadyState{};
                      const SteadySettings settings{
                          steadyWeight(steadySecondsOf(i.steadyValue), tick.seconds)};
                      i.steady = steadyStep(i.steady, own, signature, settings);
                      return i.steady.levels;
                  });
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
    return new (std::nothrow) Instance{static_cast<int32_t>(width), static_cast<int32_t>(height),
                                       defaultStrengths, 0.0, FrameClock{}, SteadyState{}};
}

void f0r_destruct(f0r_instance_t instance)
{
    delete static_cast<Instance*>(instance);
}

void f0r_set_param_value(f0r_instance_t instance, f0r_param_t param, int param_index)
{
    if (!instance || !param) return;
    const double value = *static_cast<const f0r_param_double*>(param);
    if (param_index == steadyIndex) static_cast<Instance*>(instance)->steadyValue = steadyValueOf(value);
    if (int32_t* level = levelAt(instance, param_index)) *level = levelOfValue(value);
}

void f0r_get_param_value(f0r_instance_t instance, f0r_param_t param, int param_index)
{
    if (!instance || !param) return;
    double& value = *static_cast<f0r_param_double*>(param);
    if (param_index == steadyIndex) value = static_cast<const Instance*>(instance)->steadyValue;
    if (const int32_t* level = levelAt(instance, param_index)) value = valueOfLevel(*level);
}

void f0r_update(f0r_instance_t instance, double time, const uint32_t* inframe, uint32_t* outframe)
{
    correct(instance, time, inframe, outframe);
}

void f0r_update2(f0r_instance_t instance, double time, const uint32_t* inframe1, const uint32_t*,
                 const uint32_t*, uint32_t* outframe)
{
    correct(instance, time, inframe1, outframe);
}

}  // extern "C"
