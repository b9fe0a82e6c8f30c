#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "engine/classic/bottom_up.h"
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

TEST(Report, JsonLineOfAFrame)
{
    std::vector<uint32_t> words(64, 150u << 16 | 100u << 8 | 60u);
    BlockLevels levels;
    analyzeFrameBottomUp(defaultStrengths, words.data(), 8, 8, levels);
    const CorrectionLevels frame = correctionLevels(levels);
    const CorrectionBytes bytes = correctionBytes(frame);
    const std::string line = jsonReport({3, 8, 8, 20, 20, 20, &levels, false});
    EXPECT_EQ(line.rfind("{\"frame\":3,\"width\":8,\"height\":8,\"levels\":[20,20,20],\"black\":[", 0),
              0u)
        << line;
    // The numbers read back to the engine's exact doubles and bytes.
    const char* black = line.c_str() + line.find("\"black\":[") + 9;
    char* end = nullptr;
    EXPECT_EQ(std::strtod(black, &end), frame.blackR);
    EXPECT_EQ(std::strtod(end + 1, &end), frame.blackG);
    EXPECT_EQ(std::strtod(end + 1, &end), frame.blackB);
    EXPECT_EQ(std::string(end, 11), "],\"white\":[") << line;
    EXPECT_EQ(std::strtod(end + 11, &end), frame.whiteR);
    EXPECT_EQ(std::strtod(end + 1, &end), frame.whiteG);
    EXPECT_EQ(std::strtod(end + 1, &end), frame.whiteB);
    char tail[96];
    std::snprintf(tail, sizeof tail, "],\"gain\":[%d,%d,%d],\"blackByte\":[%d,%d,%d]}\n",
                  bytes.gainR, bytes.gainG, bytes.gainB, bytes.blackR, bytes.blackG, bytes.blackB);
    EXPECT_EQ(std::string(end), tail);
}

TEST(Report, TinyFramesHaveNullBlocksAndNeutralLevels)
{
    std::vector<uint32_t> words(9, 0x00102030);
    BlockLevels levels;
    analyzeFrameBottomUp(defaultStrengths, words.data(), 3, 3, levels);
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
