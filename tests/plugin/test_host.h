// A host of our own for the plug-in: loads the DLL by name as the real host
// does and plays the host's side of every record, recording what the filter
// calls. Unread host fields hold a junk pattern, so a filter that reads them
// goes wrong visibly.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include <windows.h>

#include "host/records.h"
#include "settings/filter_settings.h"
#include "tests/support/frames.h"

// What the host's registerFilter and unregisterFilter saw.
struct ServicesLog {
    int registerCalls = 0;
    int unregisterCalls = 0;
    ModuleRecord* module = nullptr;
    FilterDescriptor* descriptor = nullptr;
    int32_t descriptorSize = 0;
    unsigned char descriptorBytes[sizeof(FilterDescriptor)] = {};
    void* handleToReturn = nullptr;
    void* unregisteredHandle = nullptr;
};

// The host's services table; the log is the test host's one global.
HostServices recordingServices();
ServicesLog& servicesLog();

// The loaded plug-in with its two entry points, found by name.
struct Plugin {
    HMODULE module = nullptr;
    ModuleInitFunction init = nullptr;
    ModuleDeinitFunction deinit = nullptr;
};

// Loads the DLL at path; a plugin with a null module on failure.
Plugin loadPluginFrom(const char* path);
// Loads the DLL named by VELTO_PLUGIN.
Plugin loadPlugin();
void unloadPlugin(Plugin& plugin);

// The host's record of the module: the real instance handle at its place.
ModuleRecord moduleRecordFor(HMODULE module);

enum class PanelOp { showHide, refresh, attachButton, unexpected };

struct PanelCall {
    PanelOp op;
    PreviewPanel* self;  // what arrived as the object pointer
    HWND window;
};

// The host's preview: its operations record their calls. Positions other than
// 3, 5 and 8 record an unexpected call.
struct RecordingPanel {
    PreviewPanel base;
    PanelCall calls[256];
    int count;
};
void initRecordingPanel(RecordingPanel& panel);

// Registers the plug-in's filter with a fresh log and hands back the
// descriptor as the host keeps it: its own copy, with moduleRecord filled in.
struct Registration {
    ModuleRecord moduleRecord;
    FilterDescriptor descriptor;  // the host's copy
    int32_t result = -1;
};
void registerPlugin(const Plugin& plugin, Registration& registration);

// One filter instance: a host-allocated settings block and the context the
// host hands to every callback, junk everywhere the filter must not read.
struct Instance {
    FilterSettings settings;
    FrameContext context;
    RecordingPanel panel;
};
// previewPanel: the panel, or none when withPanel is false.
void initInstance(Instance& instance, FilterDescriptor* descriptor, bool withPanel = true);

// ScriptArg arrays as the host's script language builds them.
std::vector<ScriptArg> scriptArgs(std::initializer_list<int32_t> values);
