// The entry points as a host calls them, here also under the sanitizers. The
// hosts' test compares the frames with the command-line tool's.
#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

extern "C" {
#include <frei0r.h>
}

// Every level's value reads back as itself, and so does any value that rounds
// to it; beyond the ends the ends hold, not a number is 20, and each instance
// keeps its own levels.
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
    set(b, 0, 1.0);
    set(b, 3, 1.0);  // no such parameter: nothing changes, nothing is read
    EXPECT_EQ(get(a, 0), 0.5);
    EXPECT_EQ(get(b, 0), 1.0);
    EXPECT_EQ(get(b, 3), -1.0);
    f0r_destruct(a);
    f0r_destruct(b);
    EXPECT_EQ(f0r_construct(0, 8), nullptr);
    EXPECT_EQ(f0r_construct(8, 65537), nullptr);
}

// update2, and update with the output over its input, give update's bytes.
TEST(Frei0rEntry, Update2AndInPlace)
{
    std::mt19937 rng(12);
    std::vector<uint32_t> in(37 * 29), out(in.size()), out2(in.size());
    for (uint32_t& p : in) p = (rng() & 0xFF7F9FBF) + 0x00302010;  // a warm cast
    f0r_instance_t instance = f0r_construct(37, 29);
    f0r_update(instance, 0.0, in.data(), out.data());
    f0r_update2(instance, 0.04, in.data(), nullptr, nullptr, out2.data());
    ASSERT_NE(out, in);
    EXPECT_EQ(out, out2);
    f0r_update(instance, 0.08, in.data(), in.data());
    EXPECT_EQ(in, out);
    f0r_destruct(instance);
}
