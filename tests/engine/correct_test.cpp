#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/classic/correct.h"
#include "engine/classic/correct_kernels.h"
#include "tests/support/pictures.h"

namespace {

const CorrectionLevels workedLevels{6.0, 5.7 - 5, 15.25, 245.5, 255.0, 235.0};

}  // namespace

TEST(Correct, WorkedExample)
{
    const CorrectionBytes c = correctionBytes(workedLevels);
    EXPECT_EQ(c.gainR, 68);
    EXPECT_EQ(c.gainG, 64);  // 16320 / 254.3 = 64.17: copied although black is 0.7
    EXPECT_EQ(c.gainB, 74);
    EXPECT_EQ(c.blackWord, 0x0006000Fu);
    EXPECT_EQ(c.gainWord, 0x0044404Au);

    TestFrame src(5, 1), dst(5, 1);
    src.at(0, 0) = 0xFF80C020;
    src.at(1, 0) = 0x00FFFF0A;
    src.at(2, 0) = 0x00F5FFEA;
    src.at(3, 0) = rgb(245, 0, 235);  // at the white points: below 255
    src.at(4, 0) = rgb(6, 0, 15);     // at the black bytes: 0
    correctPixels(workedLevels, src.view(), dst.first(), 0);
    EXPECT_EQ(dst.at(0, 0), 0x0081C013u);
    EXPECT_EQ(dst.at(1, 0), 0x00FFFF00u);
    EXPECT_EQ(dst.at(2, 0), 0x00FDFFFDu);
    EXPECT_EQ(dst.at(3, 0), rgb(253, 0, 254));
    EXPECT_EQ(dst.at(4, 0), 0u);
}

TEST(Correct, GainsAndBlacksOutsideAByteAreHeld)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // Spans of 63.75 (gain 256), 0 (infinite), negative and NaN; blacks of
    // 300, -2 and NaN.
    const CorrectionBytes c = correctionBytes({300.0, -2.0, nan, 363.75, -2.0, 10.0});
    EXPECT_EQ(c.gainR, 255);  // not 0, which would blank red
    EXPECT_EQ(c.gainG, 255);
    EXPECT_EQ(c.gainB, 0);
    EXPECT_EQ(c.blackR, 255);
    EXPECT_EQ(c.blackG, 0);
    EXPECT_EQ(c.blackB, 0);
    EXPECT_EQ(correctionBytes({1.0, 1.0, 1.0, 0.5, 1.0, 1.0}).gainR, 0);  // white below black
}

// Every row kernel against the per-pixel reference, which makes the plain
// kernel's loop the first one checked. Rows of every length up to 40 (the
// widest kernel takes 16 pixels a step, then 8, then a masked 0 to 7), at
// every byte offset and at odd word offsets on either side, with guard bytes
// around the destination row; every black byte and gain the dialog's levels
// can produce, the saturating ends and random words, half of them with the
// top lane's gain of 1.0 that carries alpha through.
class CorrectKernels : public ::testing::TestWithParam<CorrectKernelId> {};

TEST_P(CorrectKernels, MatchThePlainBytes)
{
    const CorrectRowKernel kernel = correctKernel(GetParam());
    if (!kernel) {
#if defined(VELTO_HAS_AVX2_KERNEL)
        GTEST_SKIP() << "this processor or its operating system cannot run it";
#else
        GTEST_SKIP() << "not in this build: only 64-bit x86 builds have it";
#endif
    }
    std::printf("kernel %s runs on this machine\n", correctKernelName(GetParam()));
    Random random{7};
    constexpr int32_t longest = 40;
    std::vector<uint8_t> src(4 * longest + 32), want(src.size()), got(src.size());
    for (uint8_t& b : src) b = static_cast<uint8_t>(random.next() >> 24);
    auto check = [&](int32_t count, size_t from, size_t to, uint32_t black, uint32_t gain) {
        std::fill(want.begin(), want.end(), 0x5A);
        std::fill(got.begin(), got.end(), 0x5A);
        for (int32_t x = 0; x < count; ++x) {
            uint32_t p;
            std::memcpy(&p, &src[from + 4 * size_t(x)], 4);
            p = correctPixel(p, black, gain);
            std::memcpy(&want[to + 4 * size_t(x)], &p, 4);
        }
        kernel(&src[from], &got[to], count, black, gain);
        ASSERT_EQ(want, got) << count << " pixels from +" << from << " to +" << to << std::hex << " black "
                             << black << " gain " << gain;
    };
    const size_t offsets[] = {0, 1, 2, 3, 4, 12, 20, 28};
    auto anyOffset = [&] { return offsets[random.below(std::size(offsets))]; };
    auto anyCount = [&] { return static_cast<int32_t>(random.below(longest + 1)); };
    for (int32_t count = 0; count <= longest; ++count)
        for (size_t from : offsets)
            for (size_t to : offsets)
                check(count, from, to, random.word() & 0x3F3F3F, 0x404040 + (random.word() & 0x1F1F1F));
    for (uint32_t black = 0; black <= 95; ++black)
        for (uint32_t gain = 64; gain <= 119; ++gain)
            check(anyCount(), anyOffset(), anyOffset(), black * 0x010101 + (random.word() & 0x0F0F0F),
                  gain * 0x010101 + (random.word() & 0x030303));
    for (auto [black, gain] : {std::pair{0u, 0xFFFFFFu}, {0xFFFFFFu, 0xFFFFFFu}, {0x80FF00u, 0xFF00FFu}})
        check(longest, 1, 3, black, gain);
    for (int i = 0; i < 2000; ++i)
        check(anyCount(), anyOffset(), anyOffset(), random.word() & 0xFFFFFF,
              (random.word() & 0xFFFFFF) | (i % 2 ? 0x40000000 : 0));
}

INSTANTIATE_TEST_SUITE_P(, CorrectKernels, ::testing::ValuesIn(correctKernelIds),
                         [](const auto& info) { return std::string(correctKernelName(info.param)); });
