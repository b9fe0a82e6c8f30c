// velto.dll loaded as a Windows frei0r host loads it, under wine: LoadLibrary
// on the file, every entry point by its name. It must say what velto.so says
// of itself and give velto.so's bytes (the same digest as the native tests).
#include <cstdlib>

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/frei0r/frames_digest.h"

namespace {

template <typename Function>
Function entry(HMODULE dll, const char* name)
{
    FARPROC found = GetProcAddress(dll, name);
    EXPECT_NE(found, nullptr) << name;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(found));
}

}  // namespace

TEST(Frei0rDll, LoadsAndGivesTheEffectsBytes)
{
    const char* path = std::getenv("VELTO_FREI0R_DLL");
    ASSERT_NE(path, nullptr);
    HMODULE dll = LoadLibraryA(path);
    ASSERT_NE(dll, nullptr) << path << ": error " << GetLastError();
    const auto init = entry<int (*)()>(dll, "f0r_init");
    const auto deinit = entry<void (*)()>(dll, "f0r_deinit");
    const auto pluginInfo = entry<void (*)(f0r_plugin_info_t*)>(dll, "f0r_get_plugin_info");
    const auto paramInfo = entry<void (*)(f0r_param_info_t*, int)>(dll, "f0r_get_param_info");
    const Frei0rCalls calls{
        entry<decltype(Frei0rCalls::construct)>(dll, "f0r_construct"),
        entry<decltype(Frei0rCalls::destruct)>(dll, "f0r_destruct"),
        entry<decltype(Frei0rCalls::setParamValue)>(dll, "f0r_set_param_value"),
        entry<decltype(Frei0rCalls::update)>(dll, "f0r_update"),
        entry<decltype(Frei0rCalls::update2)>(dll, "f0r_update2"),
    };
    ASSERT_NE(entry<void*>(dll, "f0r_get_param_value"), nullptr);
    ASSERT_FALSE(HasFailure());

    ASSERT_EQ(init(), 1);
    f0r_plugin_info_t info{};
    pluginInfo(&info);
    EXPECT_STREQ(info.name, "velto");
    EXPECT_EQ(info.plugin_type, F0R_PLUGIN_TYPE_FILTER);
    EXPECT_EQ(info.color_model, F0R_COLOR_MODEL_BGRA8888);
    ASSERT_EQ(info.num_params, 6);
    const char* names[] = {"Level R", "Level G", "Level B", "Steady", "Neutral", "Strength"};
    for (int i = 0; i < 6; ++i) {
        f0r_param_info_t param{};
        paramInfo(&param, i);
        EXPECT_STREQ(param.name, names[i]);
        EXPECT_EQ(param.type, i == 4 ? F0R_PARAM_BOOL : F0R_PARAM_DOUBLE);
    }
    EXPECT_EQ(digestOfFrei0rFrames(calls, frei0rClassicCases()), frei0rClassicDigest);
    EXPECT_EQ(digestOfFrei0rFrames(calls, frei0rNeutralCases()), frei0rNeutralDigest);
    deinit();
    EXPECT_TRUE(FreeLibrary(dll));
}
