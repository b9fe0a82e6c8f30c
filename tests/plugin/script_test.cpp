// The "Config" command through the descriptor's script binding, and the
// script line and description that the host receives.
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "tests/plugin/plugin_fixture.h"

namespace {

class Scripting : public PluginTest {
protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        reg.descriptor.createCallback(context());
    }
    void config(std::initializer_list<int32_t> values)
    {
        std::vector<ScriptArg> args = scriptArgs(values);
        reg.descriptor.scriptBinding->commands[0].action(nullptr, context(), args.data());
    }
    void setLevels(int32_t r, int32_t g, int32_t b) { config({r, g, b}); }
    std::string scriptLine()
    {
        char buffer[64];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_TRUE(reg.descriptor.scriptLineCallback(context(), nullptr, buffer, sizeof buffer));
        return buffer;
    }
    std::string description()
    {
        char buffer[64];
        std::memset(buffer, 'x', sizeof buffer);
        reg.descriptor.describeCallback(context(), nullptr, buffer);
        return buffer;
    }
};

TEST_F(Scripting, ConfigStoresOutOfRangeValuesUnchangedAndNothingElse)
{
    FilterSettings before = settings();
    config({0, 41, -7});
    EXPECT_EQ(settings().levelR, 0);
    EXPECT_EQ(settings().levelG, 41);
    EXPECT_EQ(settings().levelB, -7);
    EXPECT_EQ(settings().preview, before.preview);
    EXPECT_EQ(settings().savedR, before.savedR);
    EXPECT_EQ(settings().savedB, before.savedB);
    EXPECT_EQ(std::memcmp(settings().reserved, before.reserved, sizeof before.reserved), 0);
}

TEST_F(Scripting, TextFormsOfLevels)
{
    setLevels(1, 40, -5);
    EXPECT_EQ(scriptLine(), "Config(1,40,-5)");
    EXPECT_EQ(description(), " (R= 1, G=40, B=-5)");
    setLevels(40, 40, 40);
    EXPECT_EQ(scriptLine(), "Config(40,40,40)");
    EXPECT_EQ(description(), " (R= 40, G=40, B=40)");
}

TEST_F(Scripting, LongestTextsWithAnyLevels)
{
    setLevels(INT_MIN, INT_MIN, INT_MIN);
    std::string line = scriptLine();
    EXPECT_EQ(line, "Config(-2147483648,-2147483648,-2147483648)");
    EXPECT_EQ(line.size(), 43u);
    // The description fills a 48-byte buffer to its last byte, and no further.
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    reg.descriptor.describeCallback(context(), nullptr, buffer);
    EXPECT_STREQ(buffer, " (R= -2147483648, G=-2147483648, B=-2147483648)");
    EXPECT_EQ(buffer[48], 'x');
}

TEST_F(Scripting, ScriptLineReplaysToTheSameLevels)
{
    const int32_t cases[][3] = {{20, 20, 20}, {1, 40, -5}, {INT_MAX, 0, INT_MIN}};
    for (const auto& c : cases) {
        setLevels(c[0], c[1], c[2]);
        std::string line = scriptLine();
        int r = 0, g = 0, b = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "Config(%d,%d,%d)", &r, &g, &b), 3) << line;
        setLevels(-1, -1, -1);
        config({r, g, b});
        EXPECT_EQ(settings().levelR, c[0]);
        EXPECT_EQ(settings().levelG, c[1]);
        EXPECT_EQ(settings().levelB, c[2]);
    }
}

TEST_F(Scripting, ScriptLineNeverWritesPastTheGivenSize)
{
    setLevels(40, 40, 40);
    char buffer[32];
    auto write = [&](int32_t size) {
        std::memset(buffer, 'x', sizeof buffer);
        return reg.descriptor.scriptLineCallback(context(), nullptr, buffer, size);
    };

    EXPECT_TRUE(write(17));  // exactly the line and its terminator
    EXPECT_STREQ(buffer, "Config(40,40,40)");
    EXPECT_EQ(buffer[17], 'x');

    EXPECT_TRUE(write(16));  // one short: cut, still terminated
    EXPECT_STREQ(buffer, "Config(40,40,40");
    EXPECT_EQ(buffer[16], 'x');

    EXPECT_TRUE(write(1));
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[1], 'x');

    for (int32_t size : {0, -1, INT_MIN}) {
        EXPECT_TRUE(write(size));
        EXPECT_EQ(buffer[0], 'x') << "size " << size;
    }
}

}  // namespace
