// The module's two exported entry points and the one filter they register.
// The descriptor, the script binding and the command table are the module's
// only data; the host fills in the descriptor's moduleRecord itself.
#include "host/records.h"
#include "module/frame_callback.h"
#include "settings/dialog.h"
#include "settings/filter_settings.h"
#include "settings/script.h"

namespace {

constexpr int32_t interfaceVersion = 8;
constexpr int32_t compatibleVersion = 4;
constexpr int32_t descriptorSize = sizeof(FilterDescriptor);  // 88, or 176 in the 64-bit plug-in

const ScriptCommand scriptCommands[] = {
    {configCommand, configCommandName, configSignature},
    {nullptr, nullptr, nullptr},
};

const ScriptBinding scriptBinding = {nullptr, scriptCommands, nullptr, nullptr};

// Writable: the host records its own pointers in it while the module is loaded.
FilterDescriptor filterDescriptor = {
    nullptr,                 // reservedA
    nullptr,                 // reservedB
    nullptr,                 // moduleRecord
    "VELTO, version " VELTO_VERSION,  // name
    "Velto, version " VELTO_VERSION,  // description
    "The Velto team",        // author
    nullptr,                 // privateValue
    filterSettingsSize,      // instanceSize
    createCallback,
    nullptr,                 // destroyCallback
    frameCallback,
    nullptr,                 // formatCallback
    configureCallback,
    describeCallback,
    startCallback,
    nullptr,                 // endCallback
    &scriptBinding,
    scriptLineCallback,
    nullptr, nullptr, nullptr, nullptr,  // extensionA..D
};

// The host's handle from the last registration; null before it and after a refusal.
void* registration = nullptr;

}  // namespace

extern "C" int32_t VELTO_CDECL VirtualdubFilterModuleInit2(ModuleRecord* module,
                                                           HostServices* services,
                                                           int32_t* interfaceVersionOut,
                                                           int32_t* compatibleVersionOut)
{
    registration = services->registerFilter(module, &filterDescriptor, descriptorSize);
    if (!registration) return 1;
    *interfaceVersionOut = interfaceVersion;
    *compatibleVersionOut = compatibleVersion;
    return 0;
}

extern "C" void VELTO_CDECL VirtualdubFilterModuleDeinit(ModuleRecord*, HostServices* services)
{
    // The stored handle goes back as it is, a null one after a refused
    // registration included: what to make of it is the host's business.
    services->unregisterFilter(registration);
}
