#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "engine/bottom_up.h"
#include "cli/jobs/report.h"

TEST(Report, NonFiniteNumbersAreNull)
{
    for (double v : {std::nan(""), std::numeric_limits<double>::infinity(),
                     -std::numeric_limits<double>::infinity()}) {
        std::string text;
        appendJsonNumber(text, v);
        EXPECT_EQ(text, "null");
    }
}

TEST(Report, FileNamesAreValidJsonStrings)
{
    std::string text;
    appendJsonString(text, "a\"b\\c\nd \xC3\xA9 \xFF \xE2\x82 \xED\xA0\x80 \xF0\x9F\x98\x80");
    EXPECT_EQ(text, "\"a\\\"b\\\\c\\u000Ad \xC3\xA9 \\uFFFD \\uFFFD\\uFFFD "
                    "\\uFFFD\\uFFFD\\uFFFD \xF0\x9F\x98\x80\"");
}

TEST(Report, JsonLineOfASolidFrame)
{
    // 8 x 8 of red 150, green 100, blue 60: black bytes 14, 9, 0 and gains 67.
    std::vector<uint32_t> words(64, 150u << 16 | 100u << 8 | 60u);
    BlockLevels levels;
    analyzeFrameBottomUp(defaultLevels, words.data(), 8, 8, levels);
    const std::string line = jsonReport({3, 8, 8, 20, 20, 20, &levels, false});
    EXPECT_EQ(line.rfind("{\"frame\":3,\"width\":8,\"height\":8,\"levels\":[20,20,20],\"black\":[", 0),
              0u)
        << line;
    EXPECT_NE(line.find("],\"white\":[255,"), std::string::npos) << line;
    // The numbers read back to the engine's exact doubles.
    const char* black = line.c_str() + line.find("\"black\":[") + 9;
    char* end = nullptr;
    EXPECT_EQ(std::strtod(black, &end), levels.blackR[0]);
    EXPECT_EQ(std::strtod(end + 1, &end), levels.blackG[0]);
    EXPECT_EQ(std::strtod(end + 1, nullptr), levels.blackB[0]);
    EXPECT_NE(line.find(",\"gain\":[67,67,67],\"blackByte\":[14,9,0]}\n"), std::string::npos)
        << line;
    EXPECT_EQ(line.find("blocks"), std::string::npos);
    EXPECT_EQ(line.find('\n'), line.size() - 1);
}

TEST(Report, TinyFramesHaveNullBlocksAndNeutralLevels)
{
    std::vector<uint32_t> words(9, 0x00102030);
    BlockLevels levels;
    analyzeFrameBottomUp(defaultLevels, words.data(), 3, 3, levels);
    const std::string line = jsonReport({0, 3, 3, 20, 20, 20, &levels, true});
    EXPECT_NE(line.find("\"black\":[0,0,0],\"white\":[255,255,255],\"gain\":[64,64,64],"
                        "\"blackByte\":[0,0,0]"),
              std::string::npos)
        << line;
    EXPECT_NE(line.find("{\"index\":1,\"black\":[null,null,null],\"white\":[null,null,null]}"),
              std::string::npos)
        << line;
    EXPECT_NE(line.find("{\"index\":16,"), std::string::npos);
    EXPECT_EQ(line.find("nan"), std::string::npos);
}
