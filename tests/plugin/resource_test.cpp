// The dialog template compiled into the plug-in, byte for byte: resource
// 1000 under language 1049, an extended template with the header and the
// nine controls exactly as designed, and nothing the compiler added.
#include <cstring>
#include <string>

#include "settings/dialog_ids.h"
#include "tests/plugin/plugin_fixture.h"

namespace {

// Writes a template the way the system reads it: little-endian words and
// double words, UTF-16 texts, each control aligned to a double word.
struct TemplateWriter {
    std::vector<unsigned char> bytes;

    void word(uint16_t v)
    {
        bytes.push_back(static_cast<unsigned char>(v & 0xFF));
        bytes.push_back(static_cast<unsigned char>(v >> 8));
    }
    void dword(uint32_t v)
    {
        word(static_cast<uint16_t>(v & 0xFFFF));
        word(static_cast<uint16_t>(v >> 16));
    }
    void text(const char* s)
    {
        for (; *s; ++s) word(static_cast<unsigned char>(*s));
        word(0);
    }
    void alignDword()
    {
        while (bytes.size() % 4) bytes.push_back(0);
    }
};

constexpr uint16_t buttonAtom = 0x0080;
constexpr uint16_t staticAtom = 0x0082;

struct ControlRow {
    uint32_t id;
    const char* className;  // null: a predefined class by atom
    uint16_t atom;
    const char* text;
    int16_t x, y, cx, cy;
    uint32_t style;
};

const ControlRow controls[] = {
    {VELTO_SLIDER_R, "msctls_trackbar32", 0, "", 64, 11, 150, 17, 0x50000000},
    {VELTO_BUTTON_PREVIEW, nullptr, buttonAtom, "Show preview", 10, 83, 60, 17, 0x50010000},
    {VELTO_BUTTON_OK, nullptr, buttonAtom, "Ok", 116, 83, 44, 17, 0x50010000},
    {VELTO_BUTTON_CANCEL, nullptr, buttonAtom, "Cancel", 172, 83, 44, 17, 0x50010000},
    {VELTO_LABEL_R, nullptr, staticAtom, "Level R", 16, 11, 44, 17, 0x50000201},
    {VELTO_SLIDER_G, "msctls_trackbar32", 0, "", 64, 33, 150, 17, 0x50000000},
    {VELTO_SLIDER_B, "msctls_trackbar32", 0, "", 64, 55, 150, 17, 0x50000000},
    {VELTO_LABEL_G, nullptr, staticAtom, "Level G", 16, 33, 44, 17, 0x50000201},
    {VELTO_LABEL_B, nullptr, staticAtom, "Level B", 16, 55, 44, 17, 0x50000201},
};

std::vector<unsigned char> expectedTemplate()
{
    TemplateWriter t;
    t.word(1);           // template version
    t.word(0xFFFF);      // extended template
    t.dword(0);          // help identifier
    t.dword(0);          // extended style
    t.dword(0x90CC0040); // style
    t.word(9);           // controls
    t.word(6);
    t.word(5);
    t.word(224);
    t.word(105);
    t.word(0);           // no menu
    t.word(0);           // the standard dialog class
    t.text("Setting");
    t.word(8);           // points
    t.word(0);           // weight
    t.bytes.push_back(0);  // not italic
    t.bytes.push_back(1);  // character set
    t.text("MS Sans Serif");
    for (const ControlRow& c : controls) {
        t.alignDword();
        t.dword(0);  // help identifier
        t.dword(0);  // extended style
        t.dword(c.style);
        t.word(static_cast<uint16_t>(c.x));
        t.word(static_cast<uint16_t>(c.y));
        t.word(static_cast<uint16_t>(c.cx));
        t.word(static_cast<uint16_t>(c.cy));
        t.dword(c.id);
        if (c.className) {
            t.text(c.className);
        } else {
            t.word(0xFFFF);
            t.word(c.atom);
        }
        t.text(c.text);
        t.word(0);  // no creation data
    }
    return t.bytes;
}

std::string hexAround(const std::vector<unsigned char>& bytes, size_t at)
{
    std::string s;
    char b[4];
    for (size_t i = at >= 8 ? at - 8 : 0; i < bytes.size() && i < at + 8; ++i) {
        std::snprintf(b, sizeof b, "%02x ", bytes[i]);
        s += b;
    }
    return s;
}

using DialogResource = PluginTest;

TEST_F(DialogResource, RussianTemplateMatchesByteForByte)
{
    HRSRC found = FindResourceExA(plugin.module, MAKEINTRESOURCEA(5) /* RT_DIALOG */,
                                  MAKEINTRESOURCEA(VELTO_DIALOG_SETTING),
                                  MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT));
    ASSERT_NE(found, nullptr);
    ASSERT_EQ(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT), 1049);
    HGLOBAL loaded = LoadResource(plugin.module, found);
    ASSERT_NE(loaded, nullptr);
    const auto* data = static_cast<const unsigned char*>(LockResource(loaded));
    const std::vector<unsigned char> actual(data, data + SizeofResource(plugin.module, found));

    const std::vector<unsigned char> expected = expectedTemplate();
    // The resource compiler may pad the end to a double word; nothing else.
    ASSERT_GE(actual.size(), expected.size());
    EXPECT_LE(actual.size(), (expected.size() + 3) / 4 * 4);
    for (size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(actual[i], expected[i]) << "first difference at byte " << i << ": "
                                          << hexAround(actual, i) << "| expected "
                                          << hexAround(expected, i);
}

}  // namespace
