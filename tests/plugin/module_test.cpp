// Registration and a fresh instance. The descriptor's layout is pinned by
// the static asserts in host/records.h.
#include <cstring>
#include <string>

#include "tests/plugin/plugin_fixture.h"

namespace {

using Registering = PluginTest;

TEST_F(Registering, RefusedRegistrationReturnsOneAndLeavesOutParameters)
{
    HostServices services = recordingServices();
    ServicesLog& log = servicesLog();
    plugin.deinit(&reg.moduleRecord, &services);
    log = ServicesLog{};
    log.handleToReturn = nullptr;
    int32_t version = 111, compatible = 222;
    EXPECT_EQ(plugin.init(&reg.moduleRecord, &services, &version, &compatible), 1);
    EXPECT_EQ(version, 111);
    EXPECT_EQ(compatible, 222);
    // The exit hands back the stored handle unchanged, null here.
    log.unregisteredHandle = &log;
    plugin.deinit(&reg.moduleRecord, &services);
    EXPECT_EQ(log.unregisterCalls, 1);
    EXPECT_EQ(log.unregisteredHandle, nullptr);
}

TEST_F(Registering, AcceptedRegistrationGivesVersionsAndExactArguments)
{
    HostServices services = recordingServices();
    ServicesLog& log = servicesLog();
    plugin.deinit(&reg.moduleRecord, &services);
    log = ServicesLog{};
    int handle = 0;
    log.handleToReturn = &handle;
    ModuleRecord module = moduleRecordFor(plugin.module);
    int32_t version = 0, compatible = 0;
    EXPECT_EQ(plugin.init(&module, &services, &version, &compatible), 0);
    EXPECT_EQ(version, 8);
    EXPECT_EQ(compatible, 4);
    EXPECT_EQ(log.registerCalls, 1);
    EXPECT_EQ(log.module, &module);
    EXPECT_EQ(log.descriptorSize, static_cast<int32_t>(sizeof(FilterDescriptor)));
    // The texts the host's filter list shows.
    EXPECT_STREQ(reg.descriptor.name, "VELTO, version 3.2");
    EXPECT_STREQ(reg.descriptor.description, "Velto, version 3.2");

    plugin.deinit(&module, &services);
    EXPECT_EQ(log.unregisterCalls, 1);
    EXPECT_EQ(log.unregisteredHandle, &handle);
}

using Lifecycle = PluginTest;

TEST_F(Lifecycle, CreateSetsDefaultLevelsAndNothingElse)
{
    FilterSettings before = settings();
    reg.descriptor.createCallback(context());
    EXPECT_EQ(settings().levelR, 20);
    EXPECT_EQ(settings().levelG, 20);
    EXPECT_EQ(settings().levelB, 20);
    EXPECT_EQ(settings().preview, before.preview);
    EXPECT_EQ(settings().savedR, before.savedR);
    EXPECT_EQ(settings().savedG, before.savedG);
    EXPECT_EQ(settings().savedB, before.savedB);
    EXPECT_EQ(std::memcmp(settings().reserved, before.reserved, sizeof before.reserved), 0);
}

TEST_F(Lifecycle, ConfigureWithVanishedOwnerFailsAndKeepsLevels)
{
    reg.descriptor.createCallback(context());
    settings().levelR = 7;
    // A handle that names no window, as after the host's window has gone.
    auto gone = reinterpret_cast<WindowHandle>(static_cast<uintptr_t>(0x7ff0));
    ASSERT_FALSE(IsWindow(static_cast<HWND>(gone)));
    EXPECT_NE(reg.descriptor.configureCallback(context(), nullptr, gone), 0);
    EXPECT_EQ(settings().levelR, 7);
    EXPECT_EQ(settings().levelG, 20);
    EXPECT_EQ(instance->panel.count, 0);
}

}  // namespace
