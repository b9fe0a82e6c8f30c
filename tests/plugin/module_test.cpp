// Registration, the descriptor the host receives, and a fresh instance.
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

    plugin.deinit(&module, &services);
    EXPECT_EQ(log.unregisterCalls, 1);
    EXPECT_EQ(log.unregisteredHandle, &handle);
}

TEST_F(Registering, DescriptorHoldsTheFilterAsRegistered)
{
    ServicesLog& log = servicesLog();
    ASSERT_EQ(log.descriptorSize, sizeof(void*) == 4 ? 88 : 176);
    FilterDescriptor d;
    std::memcpy(&d, log.descriptorBytes, sizeof d);

    EXPECT_EQ(d.reservedA, nullptr);
    EXPECT_EQ(d.reservedB, nullptr);
    EXPECT_EQ(d.moduleRecord, nullptr);
    EXPECT_STREQ(d.name, "VELTO, version 3.2");
    EXPECT_STREQ(d.description, "Velto, version 3.2");
    ASSERT_NE(d.author, nullptr);
    EXPECT_GT(std::strlen(d.author), 0u);
    EXPECT_LT(std::strlen(d.author), 64u);
    EXPECT_EQ(d.privateValue, nullptr);
    int32_t instanceSize;
    std::memcpy(&instanceSize, log.descriptorBytes + (sizeof(void*) == 4 ? 28 : 56), 4);
    EXPECT_EQ(instanceSize, 40);
    EXPECT_NE(d.createCallback, nullptr);
    EXPECT_EQ(d.destroyCallback, nullptr);
    EXPECT_NE(d.frameCallback, nullptr);
    EXPECT_EQ(d.formatCallback, nullptr);
    EXPECT_NE(d.configureCallback, nullptr);
    EXPECT_NE(d.describeCallback, nullptr);
    EXPECT_NE(d.startCallback, nullptr);
    EXPECT_EQ(d.endCallback, nullptr);
    EXPECT_NE(d.scriptLineCallback, nullptr);
    EXPECT_EQ(d.extensionA, nullptr);
    EXPECT_EQ(d.extensionB, nullptr);
    EXPECT_EQ(d.extensionC, nullptr);
    EXPECT_EQ(d.extensionD, nullptr);

    const ScriptBinding* binding = d.scriptBinding;
    ASSERT_NE(binding, nullptr);
    EXPECT_EQ(binding->lookup, nullptr);
    EXPECT_EQ(binding->objects, nullptr);
    EXPECT_EQ(binding->spare, nullptr);
    const ScriptCommand* commands = binding->commands;
    ASSERT_NE(commands, nullptr);
    EXPECT_NE(commands[0].action, nullptr);
    EXPECT_STREQ(commands[0].name, "Config");
    EXPECT_STREQ(commands[0].signature, "0iii");
    EXPECT_EQ(commands[1].action, nullptr);
    EXPECT_EQ(commands[1].name, nullptr);
    EXPECT_EQ(commands[1].signature, nullptr);
}

using Lifecycle = PluginTest;

TEST_F(Lifecycle, CreateSetsDefaultLevelsAndStartChangesNothing)
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

    char line[64];
    EXPECT_TRUE(reg.descriptor.scriptLineCallback(context(), nullptr, line, sizeof line));
    EXPECT_STREQ(line, "Config(20,20,20)");
    char text[64];
    reg.descriptor.describeCallback(context(), nullptr, text);
    EXPECT_STREQ(text, " (R= 20, G=20, B=20)");

    // The host calls start before it renders: the levels a user set must stay.
    settings().levelG = 7;
    const FilterSettings set = settings();
    reg.descriptor.startCallback(context());
    EXPECT_EQ(std::memcmp(&set, &settings(), sizeof set), 0);
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
