// Records exchanged with the host, laid out byte for byte as the host expects
// them. One set of definitions serves both Windows builds: pointers and
// pointer-sized integers take 4 bytes in the 32-bit plug-in and 8 in the
// 64-bit one, `int` stays 4, and natural alignment does the rest. The
// static_asserts at the end pin every offset the filter relies on.
//
// No Windows header here: window and module handles are opaque pointers, so
// the native tests can include this file on Linux. The engine never does: it
// sees frames only through its own FrameView.
#pragma once

#include <cstddef>
#include <cstdint>

// The host is built with another compiler. Its plain callbacks use the C
// calling convention, and member functions of its interfaces use its
// compiler's member convention, which on 32-bit Windows is thiscall (object
// pointer in ECX). Both are spelled out rather than left to a default.
#if defined(_WIN32) && defined(__i386__)
#define VELTO_CDECL __attribute__((cdecl))
#define VELTO_THISCALL __attribute__((thiscall))
#else
#define VELTO_CDECL
#define VELTO_THISCALL
#endif

using WindowHandle = void*;   // HWND
using ModuleHandle = void*;   // HINSTANCE

struct FilterDescriptor;
struct FilterSettings;
struct FrameContext;
struct ScriptArg;

// The host's record of the loaded module; only the instance handle is read.
struct ModuleRecord {
    void* hostA;
    void* hostB;
    ModuleHandle instanceHandle;
};

// Host-owned table of plain functions; further host slots follow.
struct HostServices {
    void* (VELTO_CDECL* registerFilter)(ModuleRecord* module, FilterDescriptor* descriptor,
                                        int32_t descriptorSize);
    void (VELTO_CDECL* unregisterFilter)(void* registration);
};

// One frame in memory. Row r starts r * (4 * width + rowGap) bytes after pixels.
struct BitmapView {
    void* hostA;
    uint32_t* pixels;
    void* hostB;
    int32_t hostC;
    int32_t width;
    int32_t height;
    intptr_t hostD;
    intptr_t rowGap;
};

// The host's preview: an object whose first word points at its table of
// operations. The filter calls only the entries at positions 3, 5 and 8.
struct PreviewPanel;
// GCC applies thiscall to these pointers but warns that they are not members.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
struct PreviewPanelOps {
    void* slot0;
    void* slot1;
    void* slot2;
    void (VELTO_THISCALL* showHide)(PreviewPanel* self, WindowHandle dialog);
    void* slot4;
    void (VELTO_THISCALL* refresh)(PreviewPanel* self);
    void* slot6;
    void* slot7;
    void (VELTO_THISCALL* attachButton)(PreviewPanel* self, WindowHandle button);
};
#pragma GCC diagnostic pop
struct PreviewPanel {
    const PreviewPanelOps* ops;
};

// Passed as the first argument of every filter callback.
struct FrameContext {
    FilterDescriptor* descriptor;
    FilterSettings* settings;
    BitmapView* destination;
    BitmapView* source;
    void* hostA;
    int32_t hostB[4];
    void* hostC;
    void* hostD;
    PreviewPanel* previewPanel;
};

// One argument of a script command; only the integer is read.
struct ScriptArg {
    void* hostA;
    void* hostB;
    int32_t intValue;
    int32_t hostC;
};

using ScriptAction = void(VELTO_CDECL*)(void* host, FrameContext* context, ScriptArg* args);

struct ScriptCommand {
    ScriptAction action;
    const char* name;
    const char* signature;
};

struct ScriptBinding {
    void* lookup;
    const ScriptCommand* commands;
    void* objects;
    void* spare;
};

// Callback forms. Arguments the filter does not read keep their places.
using CreateCallback = int32_t(VELTO_CDECL*)(FrameContext* context);
using StartCallback = int32_t(VELTO_CDECL*)(FrameContext* context);
using FrameCallback = int32_t(VELTO_CDECL*)(FrameContext* context);
using ConfigureCallback = int32_t(VELTO_CDECL*)(FrameContext* context, void* host,
                                                WindowHandle parent);
using DescribeCallback = void(VELTO_CDECL*)(FrameContext* context, void* host, char* buffer);
using ScriptLineCallback = bool(VELTO_CDECL*)(FrameContext* context, void* host, char* buffer,
                                              int32_t size);

// The registration record of the filter.
struct FilterDescriptor {
    void* reservedA;
    void* reservedB;
    ModuleRecord* moduleRecord;
    const char* name;
    const char* description;
    const char* author;
    void* privateValue;
    int32_t instanceSize;
    CreateCallback createCallback;
    void* destroyCallback;
    FrameCallback frameCallback;
    void* formatCallback;
    ConfigureCallback configureCallback;
    DescribeCallback describeCallback;
    StartCallback startCallback;
    void* endCallback;
    const ScriptBinding* scriptBinding;
    ScriptLineCallback scriptLineCallback;
    void* extensionA;
    void* extensionB;
    void* extensionC;
    void* extensionD;
};

// Module entry points.
using ModuleInitFunction = int32_t(VELTO_CDECL*)(ModuleRecord* module, HostServices* services,
                                                 int32_t* interfaceVersion,
                                                 int32_t* compatibleVersion);
using ModuleDeinitFunction = void(VELTO_CDECL*)(ModuleRecord* module, HostServices* services);

#if defined(_WIN32) && defined(__i386__)
static_assert(sizeof(void*) == 4);
static_assert(offsetof(HostServices, registerFilter) == 0);
static_assert(offsetof(HostServices, unregisterFilter) == 4);
static_assert(offsetof(ModuleRecord, instanceHandle) == 8);
static_assert(sizeof(FilterDescriptor) == 88);
static_assert(offsetof(FilterDescriptor, moduleRecord) == 8);
static_assert(offsetof(FilterDescriptor, name) == 12);
static_assert(offsetof(FilterDescriptor, description) == 16);
static_assert(offsetof(FilterDescriptor, author) == 20);
static_assert(offsetof(FilterDescriptor, privateValue) == 24);
static_assert(offsetof(FilterDescriptor, instanceSize) == 28);
static_assert(offsetof(FilterDescriptor, createCallback) == 32);
static_assert(offsetof(FilterDescriptor, destroyCallback) == 36);
static_assert(offsetof(FilterDescriptor, frameCallback) == 40);
static_assert(offsetof(FilterDescriptor, formatCallback) == 44);
static_assert(offsetof(FilterDescriptor, configureCallback) == 48);
static_assert(offsetof(FilterDescriptor, describeCallback) == 52);
static_assert(offsetof(FilterDescriptor, startCallback) == 56);
static_assert(offsetof(FilterDescriptor, endCallback) == 60);
static_assert(offsetof(FilterDescriptor, scriptBinding) == 64);
static_assert(offsetof(FilterDescriptor, scriptLineCallback) == 68);
static_assert(offsetof(FilterDescriptor, extensionA) == 72);
static_assert(offsetof(FilterDescriptor, extensionD) == 84);
static_assert(offsetof(FrameContext, descriptor) == 0);
static_assert(offsetof(FrameContext, settings) == 4);
static_assert(offsetof(FrameContext, destination) == 8);
static_assert(offsetof(FrameContext, source) == 12);
static_assert(offsetof(FrameContext, previewPanel) == 44);
static_assert(offsetof(BitmapView, pixels) == 4);
static_assert(offsetof(BitmapView, width) == 16);
static_assert(offsetof(BitmapView, height) == 20);
static_assert(offsetof(BitmapView, rowGap) == 28);
static_assert(offsetof(PreviewPanelOps, showHide) == 3 * 4);
static_assert(offsetof(PreviewPanelOps, refresh) == 5 * 4);
static_assert(offsetof(PreviewPanelOps, attachButton) == 8 * 4);
static_assert(sizeof(ScriptBinding) == 16);
static_assert(offsetof(ScriptBinding, commands) == 4);
static_assert(offsetof(ScriptBinding, objects) == 8);
static_assert(offsetof(ScriptBinding, spare) == 12);
static_assert(sizeof(ScriptCommand) == 12);
static_assert(offsetof(ScriptCommand, name) == 4);
static_assert(offsetof(ScriptCommand, signature) == 8);
static_assert(sizeof(ScriptArg) == 16);
static_assert(offsetof(ScriptArg, intValue) == 8);
#endif

#if defined(_WIN64)
static_assert(offsetof(HostServices, registerFilter) == 0);
static_assert(offsetof(HostServices, unregisterFilter) == 8);
static_assert(offsetof(ModuleRecord, instanceHandle) == 16);
static_assert(sizeof(FilterDescriptor) == 176);
static_assert(offsetof(FilterDescriptor, name) == 24);
static_assert(offsetof(FilterDescriptor, description) == 32);
static_assert(offsetof(FilterDescriptor, author) == 40);
static_assert(offsetof(FilterDescriptor, privateValue) == 48);
static_assert(offsetof(FilterDescriptor, reservedB) == 8);
static_assert(offsetof(FilterDescriptor, moduleRecord) == 16);
static_assert(offsetof(FilterDescriptor, instanceSize) == 56);  // 4 bytes, then 4 of padding
static_assert(offsetof(FilterDescriptor, destroyCallback) == 72);
static_assert(offsetof(FilterDescriptor, formatCallback) == 88);
static_assert(offsetof(FilterDescriptor, endCallback) == 120);
static_assert(offsetof(FilterDescriptor, extensionA) == 144);
static_assert(offsetof(FilterDescriptor, extensionD) == 168);
static_assert(offsetof(FilterDescriptor, createCallback) == 64);
static_assert(offsetof(FilterDescriptor, frameCallback) == 80);
static_assert(offsetof(FilterDescriptor, configureCallback) == 96);
static_assert(offsetof(FilterDescriptor, describeCallback) == 104);
static_assert(offsetof(FilterDescriptor, startCallback) == 112);
static_assert(offsetof(FilterDescriptor, scriptBinding) == 128);
static_assert(offsetof(FilterDescriptor, scriptLineCallback) == 136);
static_assert(offsetof(FrameContext, descriptor) == 0);
static_assert(offsetof(FrameContext, settings) == 8);
static_assert(offsetof(FrameContext, destination) == 16);
static_assert(offsetof(FrameContext, source) == 24);
static_assert(offsetof(FrameContext, previewPanel) == 72);
static_assert(offsetof(BitmapView, pixels) == 8);
static_assert(offsetof(BitmapView, width) == 28);
static_assert(offsetof(BitmapView, height) == 32);
static_assert(offsetof(BitmapView, rowGap) == 48);
static_assert(offsetof(PreviewPanelOps, showHide) == 3 * 8);
static_assert(offsetof(PreviewPanelOps, refresh) == 5 * 8);
static_assert(offsetof(PreviewPanelOps, attachButton) == 8 * 8);
static_assert(offsetof(ScriptBinding, commands) == 8);
static_assert(offsetof(ScriptBinding, objects) == 16);
static_assert(offsetof(ScriptBinding, spare) == 24);
static_assert(sizeof(ScriptBinding) == 32);
static_assert(sizeof(ScriptCommand) == 24);
static_assert(offsetof(ScriptCommand, name) == 8);
static_assert(offsetof(ScriptCommand, signature) == 16);
static_assert(sizeof(ScriptArg) == 24);
static_assert(offsetof(ScriptArg, intValue) == 16);
#endif
