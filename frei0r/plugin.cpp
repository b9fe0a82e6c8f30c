// velto.so: the filter as a frei0r 1.2 effect, for ffmpeg's frei0r filter,
// MLT and every other frei0r host. Frames come as BGRA8888, top row first,
// width * 4 bytes a row; each instance keeps its frame size, its own three
// settings and, when the host asks for steady correction, the steady state
// from frame to frame (one instance is never used by two threads at once, by
// frei0r's rule). The neutral method is the default; "Neutral" at 0 gives the
// classic stretch, the VirtualDub plug-in's bytes. Hosts composite with the
// fourth byte, so it goes through as it came (TopByte::carried): a cleared
// one would make the picture vanish. Nothing else changes once
// loaded (the engine picks its kernel on the first frame, thread-safely), so
// any number of instances run at once, on any threads.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <mutex>
#include <new>

extern "C" {
#include <frei0r.h>
}

#include "engine/classic/bottom_up.h"
#include "engine/classic/steady_pass.h"
#include "engine/neutral/neutral_pass.h"
#include "engine/neutral/neutral_steady.h"
#include "frei0r/frame_clock.h"
#include "frei0r/level_values.h"
#include "limits/frame_limits.h"

namespace {

// Made by new, so the neutral method's steady state (about 100 KB) lives on
// the heap with the rest, never on a host's stack.
struct Instance {
    int32_t width = 0;
    int32_t height = 0;
    Strengths strengths = defaultStrengths;
    double steadyValue = 0.0;  // 0: off
    bool neutral = true;
    double strength = 1.0;
    bool lastNeutral = true;  // the method of the frame before
    // Restarted by every frame corrected without steady correction, and when
    // the method changes: the other method's state is not this one's.
    FrameClock clock;
    SteadyState steady;
    NeutralSteadyState neutralSteady;
    // MLT, asked for slices (the filter's `threads` property), breaks the
    // one-thread-an-instance rule: it runs one instance on strips of the frame
    // from several threads at once. The strips then take turns, so that the
    // state above is never written by two at a time.
    std::mutex turn;
    // A strip is no picture of its own: measured alone, each strip of a frame
    // would get a correction of its own and the frame would come out in
    // bands. Strips are told by two calls for one time whose pictures touch
    // in memory; from then on the instance passes frames through as they are.
    double lastTime = 0.0;
    uintptr_t lastIn = 0, lastOut = 0;
    bool strips = false;
};

// b starts where a's strip of bytes ends, or ends where it starts.
bool touching(uintptr_t a, uintptr_t b, uintptr_t bytes)
{
    return (a <= UINTPTR_MAX - bytes && a + bytes == b) || (b <= UINTPTR_MAX - bytes && b + bytes == a);
}

// Once a strip is seen: said once, and true from then on.
bool cutIntoStrips(Instance& i, double time, const uint32_t* in, const uint32_t* out)
{
    const uintptr_t inAt = reinterpret_cast<uintptr_t>(in), outAt = reinterpret_cast<uintptr_t>(out);
    const uintptr_t bytes = uintptr_t(i.width) * uintptr_t(i.height) * sizeof(uint32_t);
    if (!i.strips && i.lastIn != 0 && time == i.lastTime && touching(i.lastIn, inAt, bytes) &&
        touching(i.lastOut, outAt, bytes)) {
        i.strips = true;
        std::fputs("velto: the host runs the effect on strips of each frame (MLT's threads "
                   "property on the filter), which cannot be corrected as one picture: frames "
                   "pass through unchanged; leave threads unset\n",
                   stderr);
    }
    i.lastTime = time;
    i.lastIn = inAt;
    i.lastOut = outAt;
    return i.strips;
}

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
    {"Steady", "Steady correction over time for video, restarted at scene cuts and seeks: "
               "time constant 10 x value seconds (0.1 is 1 s); 0, the default, is off. "
               "Where the host gives no usable frame times, frames count at 25 a second"},
    {"Neutral", "Neutral method: on, the default, estimates the colour of the light and "
                "removes its cast by gains in linear light, held back where the frame gives "
                "no clear answer; off, the classic stretch between each channel's black and "
                "white points, set by the three levels"},
    {"Strength", "Strength of the neutral method: the share 0 to 1 of the estimated cast "
                 "taken off; 1, the default, takes it all"},
};
constexpr int paramCount = static_cast<int>(std::size(paramTexts));
constexpr int steadyIndex = 3;
constexpr int neutralIndex = 4;
constexpr int strengthIndex = 5;

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

// A new run (the first frame, a seek) starts the steady state afresh; the
// step in seconds gives the frame's weight.
double tickWeight(Instance& i, double time, bool& restart)
{
    const ClockTick tick = tickClock(i.clock, time);
    i.clock = tick.clock;
    restart = tick.restart;
    return steadyWeight(steadySecondsOf(i.steadyValue), tick.seconds);
}

void correctClassic(Instance& i, double time, const uint32_t* in, uint32_t* out)
{
    if (i.steadyValue == 0.0) {
        BlockLevels found;
        correctFrame(i.strengths, in, out, i.width, i.height, found, TopByte::carried);
        return;
    }
    runSteadyPass(i.strengths, in, out, i.width, i.height, TopByte::carried,
                  [&](const CorrectionLevels& own, const SceneSignature& signature) {
                      bool restart = false;
                      const SteadySettings settings{tickWeight(i, time, restart)};
                      if (restart) i.steady = SteadyState{};
                      i.steady = steadyStep(i.steady, own, signature, settings);
                      return i.steady.levels;
                  });
}

void correctNeutral(Instance& i, double time, const uint32_t* in, uint32_t* out)
{
    const NeutralSettings settings{i.strength, Transfer::srgb};
    if (i.steadyValue == 0.0) {
        runNeutralPass(settings, {in, i.width, i.height, 0}, out, 0, nullptr, TopByte::carried);
        return;
    }
    runNeutralSteadyPass(settings, in, out, i.width, i.height, TopByte::carried,
                         [&](const NeutralBlocks& blocks, const SceneSignature& signature) {
                             bool restart = false;
                             const double weight = tickWeight(i, time, restart);
                             // Not started: the step takes the frame as a new scene.
                             if (restart) i.neutralSteady.started = false;
                             neutralSteadyStep(i.neutralSteady, blocks, signature, weight,
                                               i.strength);
                             return i.neutralSteady.shift;
                         });
}

void correct(f0r_instance_t instance, double time, const uint32_t* in, uint32_t* out)
{
    if (!instance || !in || !out) return;
    Instance& i = *static_cast<Instance*>(instance);
    const std::lock_guard<std::mutex> hold(i.turn);
    if (cutIntoStrips(i, time, in, out)) {
        if (in != out) std::memmove(out, in, size_t(i.width) * size_t(i.height) * sizeof(uint32_t));
        return;
    }
    if (i.steadyValue == 0.0 || i.neutral != i.lastNeutral) i.clock = FrameClock{};
    i.lastNeutral = i.neutral;
    if (i.neutral) correctNeutral(i, time, in, out);
    else correctClassic(i, time, in, out);
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
        "Automatic white balance: estimates the colour of the light in every frame and "
        "removes its cast by a gain for each channel in linear light, held back where the "
        "frame gives no clear answer (the neutral method, the default); or, with Neutral "
        "off, stretches each colour channel between a black and a white point it measures "
        "(the classic). Alpha is kept.";
}

void f0r_get_param_info(f0r_param_info_t* info, int param_index)
{
    if (!info || param_index < 0 || param_index >= paramCount) return;
    info->name = paramTexts[param_index].name;
    info->type = param_index == neutralIndex ? F0R_PARAM_BOOL : F0R_PARAM_DOUBLE;
    info->explanation = paramTexts[param_index].explanation;
}

f0r_instance_t f0r_construct(unsigned int width, unsigned int height)
{
    constexpr auto largest = static_cast<unsigned int>(maximumSide);
    if (width < 1 || height < 1 || width > largest || height > largest) return nullptr;
    Instance* i = new (std::nothrow) Instance;
    if (!i) return nullptr;
    i->width = static_cast<int32_t>(width);
    i->height = static_cast<int32_t>(height);
    return i;
}

void f0r_destruct(f0r_instance_t instance)
{
    delete static_cast<Instance*>(instance);
}

void f0r_set_param_value(f0r_instance_t instance, f0r_param_t param, int param_index)
{
    if (!instance || !param) return;
    // A frei0r bool is a double too.
    const double value = *static_cast<const f0r_param_double*>(param);
    Instance& i = *static_cast<Instance*>(instance);
    if (param_index == steadyIndex) i.steadyValue = steadyValueOf(value);
    if (param_index == neutralIndex) i.neutral = neutralOfValue(value);
    if (param_index == strengthIndex) i.strength = strengthOfValue(value);
    if (int32_t* level = levelAt(instance, param_index)) *level = levelOfValue(value);
}

void f0r_get_param_value(f0r_instance_t instance, f0r_param_t param, int param_index)
{
    if (!instance || !param) return;
    double& value = *static_cast<f0r_param_double*>(param);
    const Instance& i = *static_cast<const Instance*>(instance);
    if (param_index == steadyIndex) value = i.steadyValue;
    if (param_index == neutralIndex) value = i.neutral ? 1.0 : 0.0;
    if (param_index == strengthIndex) value = i.strength;
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
