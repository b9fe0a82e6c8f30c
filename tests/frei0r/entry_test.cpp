// The entry points as a host calls them, here also under the sanitizers. The
// hosts' test compares the frames with the command-line tool's.
#include <cmath>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

extern "C" {
#include <frei0r.h>
}

#include "frei0r/frame_clock.h"
#include "tests/frei0r/frames_digest.h"

// Every level's value reads back as itself, and so does any value that rounds
// to it; beyond the ends the ends hold, not a number is 20, and each instance
// keeps its own levels. Steady reads back as set, held to 0..1, off when not
// a number. Neutral, a bool, reads back as 1 or 0, on when not a number;
// Strength as set, held to 0..1, 1 when not a number.
TEST(Frei0rEntry, ValuesMapToWholeLevels)
{
    f0r_instance_t a = f0r_construct(16, 16), b = f0r_construct(8, 8);
    auto get = [](f0r_instance_t i, int index) { double v = -1.0; f0r_get_param_value(i, &v, index); return v; };
    auto set = [](f0r_instance_t i, int index, double v) { f0r_set_param_value(i, &v, index); };
    EXPECT_EQ(get(a, 2), 0.5);
    for (int level = 1; level <= 40; ++level)
        for (double offset : {-0.45, 0.0, 0.45}) {
            set(a, 1, (level + offset) / 40);
            ASSERT_EQ(get(a, 1), level / 40.0) << level << " " << offset;
        }
    for (auto [value, expected] :
         {std::pair{0.0, 0.025}, {-3.0, 0.025}, {-INFINITY, 0.025}, {7.0, 1.0}, {INFINITY, 1.0}, {NAN, 0.5}}) {
        set(a, 2, 0.3);
        set(a, 2, value);
        EXPECT_EQ(get(a, 2), expected) << value;
    }
    EXPECT_EQ(get(a, 3), 0.0);
    for (auto [value, expected] : {std::pair{0.1, 0.1}, {0.37, 0.37}, {-1.0, 0.0}, {7.0, 1.0},
                                   {INFINITY, 1.0}, {-INFINITY, 0.0}, {NAN, 0.0}}) {
        set(a, 3, 0.5);
        set(a, 3, value);
        EXPECT_EQ(get(a, 3), expected) << value;
    }
    // index, value set, value read back
    const double flags[][3] = {{4, 0.0, 0.0}, {4, 0.49, 0.0}, {4, 0.5, 1.0}, {4, -INFINITY, 0.0},
                               {4, NAN, 1.0}, {5, 0.4, 0.4},  {5, -1.0, 0.0}, {5, 7.0, 1.0},
                               {5, NAN, 1.0}};
    EXPECT_EQ(get(a, 4), 1.0);
    EXPECT_EQ(get(a, 5), 1.0);
    for (const auto& f : flags) {
        const int index = static_cast<int>(f[0]);
        set(a, index, index == 4 ? 1.0 - f[2] : 0.5);
        set(a, index, f[1]);
        EXPECT_EQ(get(a, index), f[2]) << index << " " << f[1];
    }
    set(b, 0, 1.0);
    set(b, 6, 1.0);  // no such parameter: nothing changes, nothing is read
    EXPECT_EQ(get(a, 0), 0.5);
    EXPECT_EQ(get(b, 0), 1.0);
    EXPECT_EQ(get(b, 6), -1.0);
    f0r_destruct(a);
    f0r_destruct(b);
    EXPECT_EQ(f0r_construct(0, 8), nullptr);
    EXPECT_EQ(f0r_construct(8, 65537), nullptr);
}

// update2, and update with the output over its input, give update's bytes.
TEST(Frei0rEntry, Update2AndInPlace)
{
    TestFrame frame(37, 29);
    Random random{12};
    paintWarmRamp(frame, random);
    std::vector<uint32_t> in = frame.words, out(in.size()), out2(in.size());
    f0r_instance_t instance = f0r_construct(37, 29);
    f0r_update(instance, 0.0, in.data(), out.data());
    f0r_update2(instance, 0.04, in.data(), nullptr, nullptr, out2.data());
    ASSERT_NE(out, in);
    EXPECT_EQ(out, out2);
    f0r_update(instance, 0.08, in.data(), in.data());
    EXPECT_EQ(in, out);
    f0r_destruct(instance);
}

// Steady levels: a new run (the first frame, a jump ahead, the first frame
// after one without steady levels) is corrected with its own levels, as a
// fresh instance's first frame is; a frame a step after another, or four
// steps, is not. Alpha stays, in place too, and steps in milliseconds count
// as in seconds. So for either method; and a change of method starts a new
// run too.
TEST(Frei0rEntry, SteadyRunsAndRestarts)
{
  for (double neutral : {0.0, 1.0}) {
    SCOPED_TRACE(neutral);
    const int32_t w = 48, h = 32;
    TestFrame frame(w, h);
    Random random{13};
    paintWarmRamp(frame, random);
    std::vector<uint32_t> a = frame.words, b(a.size());
    for (size_t k = 0; k < a.size(); ++k)  // red an eighth lower: no cut
        b[k] = a[k] - (((a[k] >> 16 & 0xFF) + 4) / 8 << 16);
    double steady = 0.1;
    auto own = [&](const std::vector<uint32_t>& in) {
        f0r_instance_t fresh = f0r_construct(w, h);
        f0r_set_param_value(fresh, &steady, 3);
        f0r_set_param_value(fresh, &neutral, 4);
        std::vector<uint32_t> out(in.size());
        f0r_update(fresh, 0.0, in.data(), out.data());
        f0r_destruct(fresh);
        return out;
    };
    f0r_instance_t s = f0r_construct(w, h), ms = f0r_construct(w, h);
    f0r_set_param_value(s, &steady, 3);
    f0r_set_param_value(ms, &steady, 3);
    f0r_set_param_value(s, &neutral, 4);
    f0r_set_param_value(ms, &neutral, 4);
    auto run = [&](f0r_instance_t i, double time, const std::vector<uint32_t>& in) {
        std::vector<uint32_t> out(in);
        f0r_update(i, time, out.data(), out.data());
        return out;
    };
    EXPECT_EQ(run(s, 0.0, a), own(a));
    const std::vector<uint32_t> smoothed = run(s, 0.04, b);
    EXPECT_NE(smoothed, own(b));
    for (size_t k = 0; k < b.size(); ++k) ASSERT_EQ(smoothed[k] >> 24, b[k] >> 24) << k;
    run(ms, 1000.0, a);
    EXPECT_EQ(run(ms, 1040.0, b), smoothed);
    EXPECT_NE(run(s, 0.2, b), own(b));  // four periods: frames dropped
    EXPECT_NE(run(s, 0.24, a), own(a));
    EXPECT_EQ(run(s, 0.41, a), own(a));  // more: a seek
    double off = 0.0;
    f0r_set_param_value(s, &off, 3);
    // The per-frame bytes, which only the classic's first steady frame differs from.
    if (neutral == 0.0) EXPECT_NE(run(s, 0.45, a), own(a));
    else EXPECT_EQ(run(s, 0.45, a), own(a));
    f0r_set_param_value(s, &steady, 3);
    EXPECT_EQ(run(s, 0.49, b), own(b));
    EXPECT_NE(run(s, 0.53, a), own(a));
    double other = 1.0 - neutral;
    f0r_set_param_value(s, &other, 4);
    run(s, 0.57, b);
    f0r_set_param_value(s, &neutral, 4);
    EXPECT_EQ(run(s, 0.61, a), own(a));  // the other method's run ended
    for (f0r_instance_t i : {s, ms}) f0r_destruct(i);
  }
}

// ffmpeg's stamps (time stamp x time base x 1000, in milliseconds) and MLT's
// (position / frame rate, in seconds) of an even rate give every frame the
// period `velto apply --fps` gives, to the bit; uneven ones are taken as they
// come. Going back after a step forward restarts, and so does a jump of more
// than four steps; the step after a restart is a period. Time that stands
// still, is not finite, or goes back again counts a frame at 25 a second.
TEST(Frei0rEntry, FrameClockSteps)
{
    for (auto [num, den] : {std::pair{25.0, 1.0}, {30000.0, 1001.0}, {24000.0, 1001.0}, {60.0, 1.0}}) {
        const double tool = 1.0 / (num / den), timeBase = den / num, fps = num / den;
        FrameClock ffmpeg = tickClock({}, 0.0).clock, mlt = ffmpeg;
        for (int64_t n = 1; n < 20000; ++n) {
            const ClockTick f = tickClock(ffmpeg, static_cast<double>(n) * timeBase * 1000);
            const ClockTick m = tickClock(mlt, static_cast<double>(n) / fps);
            ffmpeg = f.clock;
            mlt = m.clock;
            ASSERT_TRUE(!f.restart && f.seconds == tool) << num << "/" << den << " " << n;
            ASSERT_TRUE(!m.restart && m.seconds == tool) << num << "/" << den << " " << n;
        }
    }
    // time, then the step in seconds, or -1 for a restart
    const std::pair<double, double> steps[] = {
        {0.0, -1},      {33.0, 0.033},  {67.0, 0.034},  {100.0, 0.033}, {100.0, 0.04},
        {90.0, 0.04},   {123.0, 0.033}, {255.0, 0.132}, {256.0, 0.001}, {300.0, -1},
        {NAN, 0.04},    {340.0, 0.04},  {380.0, 0.04},  {0.5, -1},      {0.52, 0.02},
        {0.7, -1},      {0.72, 0.02},   {-3.8e20, -1},  {-3.8e20, 0.04}, {-3.8e20, 0.04},
        {-4e20, 0.04},  {INFINITY, 0.04}, {INFINITY, 0.04}};
    FrameClock c;
    for (auto [time, expected] : steps) {
        const ClockTick t = tickClock(c, time);
        c = t.clock;
        EXPECT_EQ(t.restart ? -1.0 : t.seconds, expected) << time;
    }
}

// The frames whose digests velto.dll must give too.
TEST(Frei0rEntry, FramesDigest)
{
    const Frei0rCalls calls{f0r_construct, f0r_destruct, f0r_set_param_value, f0r_update, f0r_update2};
    EXPECT_EQ(digestOfFrei0rFrames(calls, frei0rClassicCases()), frei0rClassicDigest);
    EXPECT_EQ(digestOfFrei0rFrames(calls, frei0rNeutralCases()), frei0rNeutralDigest);
}

// Kdenlive's panel for the effect, package/frei0r_velto.xml, against the
// effect itself: one parameter each, in order, by the effect's names; each
// comment opens with what the effect's explanation says before its colon;
// the default, which Kdenlive reads in the effect's own units, is what a new
// instance reads; a bool is the effect's bool; and min and max are the ends
// the effect holds values to (past them, it reads back the end), in
// Kdenlive's units of value x factor.
TEST(Frei0rEntry, KdenlivePanelMatchesParameters)
{
    std::ifstream file(VELTO_KDENLIVE_XML);
    ASSERT_TRUE(file) << VELTO_KDENLIVE_XML;
    std::stringstream text;
    text << file.rdbuf();
    const std::string xml = text.str();
    f0r_plugin_info_t plugin{};
    f0r_get_plugin_info(&plugin);
    EXPECT_NE(xml.find(std::string("<effect tag=\"frei0r.") + plugin.name + "\""), std::string::npos);
    EXPECT_NE(xml.find(std::string("<author>") + plugin.author + "</author>"), std::string::npos);

    const std::regex parameter("<parameter ([^>]*)>[^]*?<comment>([^<]*)</comment>[^]*?</parameter>");
    const std::regex attribute("(\\w+)=\"([^\"]*)\"");
    f0r_instance_t instance = f0r_construct(8, 8);
    auto get = [&](int index) { double v = -1.0; f0r_get_param_value(instance, &v, index); return v; };
    auto setGet = [&](int index, double v) { f0r_set_param_value(instance, &v, index); return get(index); };
    int index = 0;
    for (auto p = std::sregex_iterator(xml.begin(), xml.end(), parameter); p != std::sregex_iterator();
         ++p, ++index) {
        std::map<std::string, std::string> a;
        const std::string attributes = (*p)[1];
        for (auto m = std::sregex_iterator(attributes.begin(), attributes.end(), attribute);
             m != std::sregex_iterator(); ++m)
            a[(*m)[1]] = (*m)[2];
        ASSERT_LT(index, plugin.num_params) << "more parameters in the panel than in the effect";
        f0r_param_info_t info{};
        f0r_get_param_info(&info, index);
        SCOPED_TRACE(info.name);
        EXPECT_EQ(a["name"], info.name);
        const std::string explanation = info.explanation;
        const std::string comment = (*p)[2];
        EXPECT_EQ(comment.rfind(explanation.substr(0, explanation.find(':')), 0), 0u) << comment;
        EXPECT_EQ(comment.find('\n'), std::string::npos);
        EXPECT_EQ(std::stod(a.at("default")), get(index));
        EXPECT_EQ(info.type, a["type"] == "bool" ? F0R_PARAM_BOOL : F0R_PARAM_DOUBLE);
        if (a["type"] == "bool") continue;
        const double factor = std::stod(a.at("factor")), low = std::stod(a.at("min")) / factor,
                     high = std::stod(a.at("max")) / factor;
        EXPECT_EQ(setGet(index, low), low);
        EXPECT_EQ(setGet(index, high), high);
        EXPECT_EQ(setGet(index, low - 1.0 / factor), low);
        EXPECT_EQ(setGet(index, high + 1.0 / factor), high);
    }
    EXPECT_EQ(index, plugin.num_params);
    f0r_destruct(instance);
}
