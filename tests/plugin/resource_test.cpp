// The dialog template in the plug-in's resources, as the host's process finds
// it. What the system builds from it is checked by the dialog tests.
#include <vector>

#include "settings/dialog_ids.h"
#include "tests/plugin/plugin_fixture.h"

namespace {

BOOL CALLBACK collectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR languages)
{
    reinterpret_cast<std::vector<WORD>*>(languages)->push_back(language);
    return TRUE;
}

using DialogResource = PluginTest;

TEST_F(DialogResource, StoredUnderLanguage1049Only)
{
    std::vector<WORD> languages;
    EnumResourceLanguagesA(plugin.module, MAKEINTRESOURCEA(5) /* a dialog */,
                           MAKEINTRESOURCEA(VELTO_DIALOG_SETTING), collectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(languages, std::vector<WORD>{1049});
}

}  // namespace
