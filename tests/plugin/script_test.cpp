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
    // As the host runs a script line: the command found by its name and its
    // signature, no result and three integers, in the table up to its end.
    void config(std::initializer_list<int32_t> values)
    {
        std::vector<ScriptArg> args = scriptArgs(values);
        for (const ScriptCommand* c = reg.descriptor.scriptBinding->commands; c->action; ++c)
            if (std::strcmp(c->name, "Config") == 0 && std::strcmp(c->signature, "0iii") == 0)
                return c->action(nullptr, context(), args.data());
        ADD_FAILURE() << "no command Config taking three integers";
    }
    void setLevels(int32_t r, int32_t g, int32_t b) { config({r, g, b}); }
    std::string scriptLine()
    {
        char buffer[64];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_TRUE(reg.descriptor.scriptLineCallback(context(), nullptr, buffer, sizeof buffer));
        return buffer;
    }
    // The host's buffer holds 48 bytes.
    std::string description()
    {
        char buffer[64];
        std::memset(buffer, 'x', sizeof buffer);
        reg.descriptor.describeCallback(context(), nullptr, buffer);
        EXPECT_EQ(buffer[48], 'x') << "written past the host's 48 bytes";
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

// The levels as the host's script and its filter list show them, and the
// script line replayed through Config to the same levels. The last case
// fills the description's buffer to its last byte.
TEST_F(Scripting, TextsOfLevelsAndTheirReplay)
{
    const struct {
        int32_t r, g, b;
        const char* line;
        const char* description;
    } cases[] = {
        {20, 20, 20, "Config(20,20,20)", " (R= 20, G=20, B=20)"},
        {1, 40, -5, "Config(1,40,-5)", " (R= 1, G=40, B=-5)"},
        {40, 40, 40, "Config(40,40,40)", " (R= 40, G=40, B=40)"},
        {INT_MAX, 0, INT_MIN, "Config(2147483647,0,-2147483648)",
         " (R= 2147483647, G=0, B=-2147483648)"},
        {INT_MIN, INT_MIN, INT_MIN, "Config(-2147483648,-2147483648,-2147483648)",
         " (R= -2147483648, G=-2147483648, B=-2147483648)"},
    };
    for (const auto& c : cases) {
        setLevels(c.r, c.g, c.b);
        const std::string line = scriptLine();
        EXPECT_EQ(line, c.line);
        EXPECT_EQ(description(), c.description);
        int r = 0, g = 0, b = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "Config(%d,%d,%d)", &r, &g, &b), 3) << line;
        setLevels(-1, -1, -1);
        config({r, g, b});
        EXPECT_EQ(settings().levelR, c.r);
        EXPECT_EQ(settings().levelG, c.g);
        EXPECT_EQ(settings().levelB, c.b);
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
