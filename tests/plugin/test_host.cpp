#include "tests/plugin/test_host.h"

#include <cstdlib>

namespace {

ServicesLog servicesRecord;

void* VELTO_CDECL recordRegister(ModuleRecord* module, FilterDescriptor* descriptor, int32_t size)
{
    ++servicesRecord.registerCalls;
    servicesRecord.module = module;
    servicesRecord.descriptor = descriptor;
    servicesRecord.descriptorSize = size;
    std::memcpy(servicesRecord.descriptorBytes, descriptor, sizeof servicesRecord.descriptorBytes);
    return servicesRecord.handleToReturn;
}

void VELTO_CDECL recordUnregister(void* handle)
{
    ++servicesRecord.unregisterCalls;
    servicesRecord.unregisteredHandle = handle;
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
RecordingPanel& owner(PreviewPanel* self)
{
    return *reinterpret_cast<RecordingPanel*>(self);
}

void record(PreviewPanel* self, PanelOp op, WindowHandle window)
{
    RecordingPanel& panel = owner(self);
    if (panel.count < static_cast<int>(std::size(panel.calls)))
        panel.calls[panel.count++] = {op, self, static_cast<HWND>(window)};
}

// The object pointer arrives in ECX on 32-bit Windows: a filter that passed
// it on the stack would land here with some other value as self.
void VELTO_THISCALL panelShowHide(PreviewPanel* self, WindowHandle dialog)
{
    record(self, PanelOp::showHide, dialog);
}
void VELTO_THISCALL panelRefresh(PreviewPanel* self)
{
    record(self, PanelOp::refresh, nullptr);
}
void VELTO_THISCALL panelAttachButton(PreviewPanel* self, WindowHandle button)
{
    record(self, PanelOp::attachButton, button);
}
void VELTO_THISCALL panelUnexpected(PreviewPanel* self)
{
    record(self, PanelOp::unexpected, nullptr);
}
#pragma GCC diagnostic pop

const PreviewPanelOps panelOps = {
    reinterpret_cast<void*>(panelUnexpected), reinterpret_cast<void*>(panelUnexpected),
    reinterpret_cast<void*>(panelUnexpected), panelShowHide,
    reinterpret_cast<void*>(panelUnexpected), panelRefresh,
    reinterpret_cast<void*>(panelUnexpected), reinterpret_cast<void*>(panelUnexpected),
    panelAttachButton,
};

}  // namespace

HostServices recordingServices()
{
    return {recordRegister, recordUnregister};
}

ServicesLog& servicesLog()
{
    return servicesRecord;
}

Plugin loadPlugin()
{
    return loadPluginFrom(std::getenv("VELTO_PLUGIN"));
}

Plugin loadPluginFrom(const char* path)
{
    Plugin plugin;
    if (!path) return plugin;
    plugin.module = LoadLibraryA(path);
    if (!plugin.module) return plugin;
    plugin.init = reinterpret_cast<ModuleInitFunction>(
        reinterpret_cast<void*>(GetProcAddress(plugin.module, "VirtualdubFilterModuleInit2")));
    plugin.deinit = reinterpret_cast<ModuleDeinitFunction>(
        reinterpret_cast<void*>(GetProcAddress(plugin.module, "VirtualdubFilterModuleDeinit")));
    return plugin;
}

void unloadPlugin(Plugin& plugin)
{
    if (plugin.module) FreeLibrary(plugin.module);
    plugin = Plugin{};
}

ModuleRecord moduleRecordFor(HMODULE module)
{
    ModuleRecord record;
    std::memset(&record, hostJunk, sizeof record);
    record.instanceHandle = module;
    return record;
}

void initRecordingPanel(RecordingPanel& panel)
{
    panel.base.ops = &panelOps;
    panel.count = 0;
}

void registerPlugin(const Plugin& plugin, Registration& r)
{
    r.moduleRecord = moduleRecordFor(plugin.module);
    servicesRecord = ServicesLog{};
    static int handle;
    servicesRecord.handleToReturn = &handle;
    HostServices services = recordingServices();
    int32_t version = 0, compatible = 0;
    r.result = plugin.init(&r.moduleRecord, &services, &version, &compatible);
    std::memset(&r.descriptor, 0, sizeof r.descriptor);
    if (servicesRecord.descriptor) {
        std::memcpy(&r.descriptor, servicesRecord.descriptor, sizeof r.descriptor);
        r.descriptor.moduleRecord = &r.moduleRecord;
    }
}

void initInstance(Instance& instance, FilterDescriptor* descriptor, bool withPanel)
{
    std::memset(&instance.settings, hostJunk, sizeof instance.settings);
    std::memset(&instance.context, hostJunk, sizeof instance.context);
    initRecordingPanel(instance.panel);
    instance.context.descriptor = descriptor;
    instance.context.settings = &instance.settings;
    instance.context.destination = nullptr;
    instance.context.source = nullptr;
    instance.context.previewPanel = withPanel ? &instance.panel.base : nullptr;
}

std::vector<ScriptArg> scriptArgs(std::initializer_list<int32_t> values)
{
    std::vector<ScriptArg> args(values.size());
    std::memset(args.data(), hostJunk, args.size() * sizeof(ScriptArg));
    size_t i = 0;
    for (int32_t v : values) args[i++].intValue = v;
    return args;
}
