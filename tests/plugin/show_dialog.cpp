// Opens the configuration dialog for a picture of it: loads the plug-in,
// registers it, creates an instance with the levels given on the command
// line and shows the dialog until seconds have passed, then presses "Ok".
// Usage: show_dialog [seconds [levelR levelG levelB]]
#include <cstdlib>

#include "settings/dialog_ids.h"
#include "tests/plugin/dialog_driver.h"

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
    Plugin plugin = loadPlugin();
    if (!plugin.init) return 2;
    Registration reg;
    registerPlugin(plugin, reg);
    if (reg.result != 0) return 3;

    static Instance instance;
    initInstance(instance, &reg.descriptor);
    reg.descriptor.createCallback(&instance.context);
    if (argc > 4) {
        instance.settings.levelR = std::atoi(argv[2]);
        instance.settings.levelG = std::atoi(argv[3]);
        instance.settings.levelB = std::atoi(argv[4]);
    }
    const int32_t result = runDialog(instance, reg.descriptor, [&](DialogDriver& d) {
        DialogDriver::waitFor([] { return false; }, seconds * 1000);
        d.click(VELTO_BUTTON_OK);
    });
    return result == 0 ? 0 : 1;
}
