// The plug-in loaded once for a whole test suite, registered with a fresh
// recording host before every test.
#pragma once

#include <memory>

#include <gtest/gtest.h>

#include "tests/plugin/test_host.h"

class PluginTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { plugin = loadPlugin(); }
    static void TearDownTestSuite() { unloadPlugin(plugin); }

    void SetUp() override
    {
        ASSERT_NE(plugin.module, nullptr) << "VELTO_PLUGIN does not name a loadable plug-in";
        ASSERT_NE(plugin.init, nullptr);
        ASSERT_NE(plugin.deinit, nullptr);
        registerPlugin(plugin, reg);
        ASSERT_EQ(reg.result, 0);
        // The host gives each instance instanceSize bytes; ours hold FilterSettings.
        ASSERT_EQ(reg.descriptor.instanceSize, static_cast<int32_t>(sizeof(FilterSettings)));
        instance = std::make_unique<Instance>();
        initInstance(*instance, &reg.descriptor);
    }
    void TearDown() override
    {
        if (plugin.deinit) {
            HostServices services = recordingServices();
            plugin.deinit(&reg.moduleRecord, &services);
        }
    }

    FilterSettings& settings() { return instance->settings; }
    FrameContext* context() { return &instance->context; }

    inline static Plugin plugin;
    Registration reg;
    std::unique_ptr<Instance> instance;
};
