// The frei0r entry points called as a host calls them: what the plug-in says
// of itself, the levels' values, and frames against the engine's own pass.
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

extern "C" {
#include <frei0r.h>
}

#include "engine/host_order.h"

namespace {

double valueAt(f0r_instance_t instance, int index)
{
    double value = -1.0;
    f0r_get_param_value(instance, &value, index);
    return value;
}

void setValue(f0r_instance_t instance, int index, double value)
{
    f0r_set_param_value(instance, &value, index);
}

}  // namespace

TEST(Frei0rEntry, DescribesABgraFilterWithThreeLevels)
{
    ASSERT_EQ(f0r_init(), 1);
    f0r_plugin_info_t info{};
    f0r_get_plugin_info(&info);
    EXPECT_STREQ(info.name, "velto");
    EXPECT_EQ(info.plugin_type, F0R_PLUGIN_TYPE_FILTER);
    EXPECT_EQ(info.color_model, F0R_COLOR_MODEL_BGRA8888);
    EXPECT_EQ(info.frei0r_version, FREI0R_MAJOR_VERSION);
    ASSERT_EQ(info.num_params, 3);
    const char* names[] = {"Level R", "Level G", "Level B"};
    for (int i = 0; i < 3; ++i) {
        f0r_param_info_t p{};
        f0r_get_param_info(&p, i);
        EXPECT_STREQ(p.name, names[i]);
        EXPECT_EQ(p.type, F0R_PARAM_DOUBLE);
        EXPECT_NE(std::string(p.explanation).find("0.5 is the default 20"), std::string::npos);
    }
    f0r_param_info_t untouched{};
    f0r_get_param_info(&untouched, 3);
    EXPECT_EQ(untouched.name, nullptr);
    f0r_deinit();
}

// Every level's value reads back as itself, and so does any value that rounds
// to it; the ends hold whatever lies beyond them, and a value that is not a
// number gives the default.
TEST(Frei0rEntry, ValuesMapToWholeLevels)
{
    f0r_instance_t a = f0r_construct(16, 16);
    ASSERT_NE(a, nullptr);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(valueAt(a, i), 0.5);
    for (int level = 1; level <= 40; ++level)
        for (double offset : {-0.45, 0.0, 0.45}) {
            setValue(a, 1, (level + offset) / 40);
            ASSERT_EQ(valueAt(a, 1), level / 40.0) << level << " " << offset;
        }
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, double> held[] = {{0.0, 1 / 40.0}, {-3.0, 1 / 40.0}, {-inf, 1 / 40.0},
                                              {1.0, 1.0},      {7.0, 1.0},        {inf, 1.0},
                                              {std::nan(""), 0.5}};
    for (auto [value, expected] : held) {
        setValue(a, 2, 0.3);
        setValue(a, 2, value);
        EXPECT_EQ(valueAt(a, 2), expected) << value;
    }
    // Each instance keeps its own levels; an unknown index changes nothing.
    f0r_instance_t b = f0r_construct(8, 8);
    setValue(b, 0, 1.0);
    setValue(b, 3, 1.0);
    setValue(b, -1, 1.0);
    EXPECT_EQ(valueAt(a, 0), 0.5);
    EXPECT_EQ(valueAt(b, 0), 1.0);
    EXPECT_EQ(valueAt(b, 1), 0.5);
    EXPECT_EQ(valueAt(b, 3), -1.0);
    f0r_destruct(b);
    f0r_destruct(a);
    EXPECT_EQ(f0r_construct(0, 8), nullptr);
    EXPECT_EQ(f0r_construct(8, 65537), nullptr);
}

// update and update2, out of place and in place, give the engine's pass in
// the host's row order with each pixel's alpha put back: at sizes down to
// 1 x 1, widths no multiple of 8 and 643 x 483, where blocks 8 and 9 leave
// the last rows and columns out.
TEST(Frei0rEntry, FramesAreThePassInHostOrderWithAlphaKept)
{
    std::mt19937 rng(12);
    const std::pair<int32_t, int32_t> sizes[] = {{1, 1}, {3, 5}, {37, 29}, {643, 483}};
    for (auto [w, h] : sizes) {
        const size_t n = size_t(w) * size_t(h);
        std::vector<uint32_t> in(n), want(n), out(n), out2(n), inPlace;
        for (uint32_t& p : in) p = (rng() & 0xFF7F9FBF) + 0x00302010;  // a warm cast
        const ChannelLevels levels = {7, 20, 33};
        BlockLevels found;
        correctFrame(levels, in.data(), want.data(), w, h, found);
        for (size_t i = 0; i < n; ++i) want[i] |= in[i] & 0xFF000000;

        f0r_instance_t instance = f0r_construct(unsigned(w), unsigned(h));
        setValue(instance, 0, 7 / 40.0);
        setValue(instance, 2, 33 / 40.0);
        f0r_update(instance, 0.0, in.data(), out.data());
        f0r_update2(instance, 0.04, in.data(), nullptr, nullptr, out2.data());
        inPlace = in;
        f0r_update(instance, 0.08, inPlace.data(), inPlace.data());
        f0r_destruct(instance);
        EXPECT_EQ(out, want) << w << "x" << h;
        EXPECT_EQ(out2, want) << w << "x" << h << ", update2";
        EXPECT_EQ(inPlace, want) << w << "x" << h << ", in place";
    }
}
