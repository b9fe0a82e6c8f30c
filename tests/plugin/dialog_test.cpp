// The configuration dialog on a virtual display, driven as a user would:
// slider drags, button presses, real key presses and mouse clicks.
#include <windows.h>
#include <commctrl.h>

#include <iterator>

#include "settings/dialog_ids.h"
#include "tests/plugin/dialog_driver.h"
#include "tests/plugin/plugin_fixture.h"

namespace {

class Dialog : public PluginTest {
protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        reg.descriptor.createCallback(context());
    }
    int32_t run(const std::function<void(DialogDriver&)>& script)
    {
        return runDialog(*instance, reg.descriptor, script);
    }
    void setLevels(int32_t r, int32_t g, int32_t b)
    {
        settings().levelR = r;
        settings().levelG = g;
        settings().levelB = b;
    }
    PreviewPanel* panelSelf() { return &instance->panel.base; }
};

int count(const RecordingPanel& panel, PanelOp op)
{
    int n = 0;
    for (int i = 0; i < panel.count; ++i) n += panel.calls[i].op == op;
    return n;
}

TEST_F(Dialog, OpensOnTheLevelsAndAttachesThePreviewButton)
{
    HWND previewButton = nullptr;
    const int32_t result = run([&](DialogDriver& d) {
        for (int id : {VELTO_SLIDER_R, VELTO_SLIDER_G, VELTO_SLIDER_B}) {
            EXPECT_EQ(d.sliderPosition(id), 20);
            EXPECT_EQ(SendMessageA(d.item(id), TBM_GETRANGEMIN, 0, 0), 1);
            EXPECT_EQ(SendMessageA(d.item(id), TBM_GETRANGEMAX, 0, 0), 40);
        }
        previewButton = d.item(VELTO_BUTTON_PREVIEW);
        const Snapshot s = d.snapshot();
        EXPECT_EQ(s.settings.preview, panelSelf());
        EXPECT_EQ(s.settings.savedR, 20);
        EXPECT_EQ(s.settings.savedG, 20);
        EXPECT_EQ(s.settings.savedB, 20);
        // The system focuses the first control with a tab stop.
        EXPECT_EQ(s.focus, previewButton);
        d.click(VELTO_BUTTON_OK);
    });
    EXPECT_EQ(result, 0);
    const RecordingPanel& panel = instance->panel;
    ASSERT_EQ(panel.count, 1);
    EXPECT_EQ(panel.calls[0].op, PanelOp::attachButton);
    EXPECT_EQ(panel.calls[0].self, panelSelf());
    EXPECT_EQ(panel.calls[0].window, previewButton);
}

// The dialog as the system builds it from the plug-in's template: each
// control of its kind, with its text, inside the dialog and clear of the
// others; each label level with its slider, the buttons in a row beneath.
TEST_F(Dialog, BuiltFromTheTemplateAsLaidOut)
{
    run([&](DialogDriver& d) {
        struct Control {
            int id;
            const char* className;
            const char* text;
        };
        const Control controls[] = {
            {VELTO_LABEL_R, "Static", "Level R"},      {VELTO_SLIDER_R, "msctls_trackbar32", ""},
            {VELTO_LABEL_G, "Static", "Level G"},      {VELTO_SLIDER_G, "msctls_trackbar32", ""},
            {VELTO_LABEL_B, "Static", "Level B"},      {VELTO_SLIDER_B, "msctls_trackbar32", ""},
            {VELTO_BUTTON_PREVIEW, "Button", "Show preview"}, {VELTO_BUTTON_OK, "Button", "Ok"},
            {VELTO_BUTTON_CANCEL, "Button", "Cancel"},
        };
        RECT client, at[std::size(controls)], overlap;
        GetClientRect(d.dialog(), &client);
        for (size_t i = 0; i < std::size(controls); ++i) {
            const Control& c = controls[i];
            SCOPED_TRACE(::testing::Message() << "control " << c.id);
            HWND item = d.item(c.id);
            ASSERT_NE(item, nullptr);
            char className[32] = {}, text[32] = {};
            GetClassNameA(item, className, sizeof className);
            GetWindowTextA(item, text, sizeof text);
            EXPECT_EQ(lstrcmpiA(className, c.className), 0) << className;
            EXPECT_STREQ(text, c.text);
            EXPECT_TRUE(IsWindowVisible(item));
            const LONG style = GetWindowLongA(item, GWL_STYLE);
            if (c.id == VELTO_LABEL_R || c.id == VELTO_LABEL_G || c.id == VELTO_LABEL_B) {
                EXPECT_EQ(style & SS_TYPEMASK, SS_CENTER);
                EXPECT_TRUE(style & SS_CENTERIMAGE);
            }
            GetWindowRect(item, &at[i]);
            MapWindowPoints(nullptr, d.dialog(), reinterpret_cast<POINT*>(&at[i]), 2);
            EXPECT_TRUE(IntersectRect(&overlap, &at[i], &client) && EqualRect(&overlap, &at[i]))
                << "not inside the dialog";
            for (size_t j = 0; j < i; ++j)
                EXPECT_FALSE(IntersectRect(&overlap, &at[i], &at[j])) << "overlaps " << controls[j].id;
        }
        for (size_t row = 0; row < 3; ++row) {
            const RECT &label = at[2 * row], &slider = at[2 * row + 1];
            EXPECT_TRUE(label.top == slider.top && label.bottom == slider.bottom) << "row " << row;
            EXPECT_LE(label.right, slider.left) << "row " << row;
            if (row > 0) {
                EXPECT_GE(slider.top, at[2 * row - 1].bottom) << "row " << row;
            }
        }
        for (size_t button = 6; button < 9; ++button) {
            EXPECT_EQ(at[button].top, at[6].top) << button;
            EXPECT_GE(at[button].top, at[5].bottom) << button;
            if (button > 6) {
                EXPECT_GE(at[button].left, at[button - 1].right) << button;
            }
        }
        // A sizing border, and the template's font.
        EXPECT_TRUE(GetWindowLongA(d.dialog(), GWL_STYLE) & WS_THICKFRAME);
        LOGFONTA font = {};
        GetObjectA(reinterpret_cast<HFONT>(SendMessageA(d.dialog(), WM_GETFONT, 0, 0)), sizeof font, &font);
        EXPECT_STREQ(font.lfFaceName, "MS Sans Serif");
    });
}

TEST_F(Dialog, OkKeepsTheMovedSlider)
{
    const int32_t result = run([&](DialogDriver& d) {
        d.drag(VELTO_SLIDER_R, 35);
        const Snapshot s = d.snapshot();
        EXPECT_EQ(s.settings.levelR, 35);
        EXPECT_EQ(count(s.panel, PanelOp::refresh), 1);
        d.click(VELTO_BUTTON_OK);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(settings().levelR, 35);
    EXPECT_EQ(settings().levelG, 20);
    EXPECT_EQ(settings().savedR, 20);
    EXPECT_EQ(count(instance->panel, PanelOp::unexpected), 0);
}

TEST_F(Dialog, CancelRestoresTheLevelsWithoutARefresh)
{
    const int32_t result = run([&](DialogDriver& d) {
        d.drag(VELTO_SLIDER_R, 35);
        d.drag(VELTO_SLIDER_B, 2);
        EXPECT_EQ(d.snapshot().settings.levelB, 2);
        d.click(VELTO_BUTTON_CANCEL);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(settings().levelR, 20);
    EXPECT_EQ(settings().levelB, 20);
    EXPECT_EQ(count(instance->panel, PanelOp::refresh), 2);
}

TEST_F(Dialog, LevelsOutsideTheRangeStayUntilTheirSliderMoves)
{
    setLevels(0, 41, -5);  // as a script may set them
    const int32_t result = run([&](DialogDriver& d) {
        EXPECT_EQ(d.sliderPosition(VELTO_SLIDER_R), 1);
        EXPECT_EQ(d.sliderPosition(VELTO_SLIDER_G), 40);
        EXPECT_EQ(d.sliderPosition(VELTO_SLIDER_B), 1);
        d.drag(VELTO_SLIDER_G, 10);
        const Snapshot s = d.snapshot();
        EXPECT_EQ(s.settings.levelR, 0);
        EXPECT_EQ(s.settings.levelG, 10);
        EXPECT_EQ(s.settings.levelB, -5);
        d.click(VELTO_BUTTON_CANCEL);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(settings().levelR, 0);
    EXPECT_EQ(settings().levelG, 41);
    EXPECT_EQ(settings().levelB, -5);
}

TEST_F(Dialog, ShowPreviewCallsShowHideThenRefreshEveryTime)
{
    HWND dialog = nullptr;
    run([&](DialogDriver& d) {
        dialog = d.dialog();
        d.press(VELTO_BUTTON_PREVIEW);
        d.click(VELTO_BUTTON_PREVIEW);
        EXPECT_TRUE(d.open());
        d.press(VELTO_BUTTON_OK);
    });
    const RecordingPanel& panel = instance->panel;
    ASSERT_EQ(panel.count, 5);
    const PanelOp expected[] = {PanelOp::attachButton, PanelOp::showHide, PanelOp::refresh,
                                PanelOp::showHide, PanelOp::refresh};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(panel.calls[i].op, expected[i]) << "call " << i;
        EXPECT_EQ(panel.calls[i].self, panelSelf()) << "call " << i;
    }
    EXPECT_EQ(panel.calls[1].window, dialog);
    EXPECT_EQ(panel.calls[3].window, dialog);
}

TEST_F(Dialog, EscapeAndTheCloseBoxDoNotEndIt)
{
    const int32_t result = run([&](DialogDriver& d) {
        d.drag(VELTO_SLIDER_R, 30);
        d.key(VK_ESCAPE);
        // Keys are handled in order: once Tab has moved the focus, Escape
        // has been handled too.
        d.key(VK_TAB);
        EXPECT_TRUE(DialogDriver::waitFor(
            [&] { return d.snapshot().focus == d.item(VELTO_BUTTON_OK); }))
            << "the dialog did not take the keys";
        EXPECT_TRUE(d.open());
        SendMessageA(d.dialog(), WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_TRUE(d.open());
        EXPECT_EQ(d.snapshot().settings.levelR, 30);
        d.click(VELTO_BUTTON_OK);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(settings().levelR, 30);
}

TEST_F(Dialog, TabMovesAmongTheButtonsOnly)
{
    run([&](DialogDriver& d) {
        const int order[] = {VELTO_BUTTON_OK, VELTO_BUTTON_CANCEL, VELTO_BUTTON_PREVIEW,
                             VELTO_BUTTON_OK};
        for (int id : order) {
            d.key(VK_TAB);
            EXPECT_TRUE(DialogDriver::waitFor([&] { return d.snapshot().focus == d.item(id); }))
                << "focus did not reach control " << id;
        }
    });
}

TEST_F(Dialog, AClickedSliderFollowsItsKeys)
{
    const int32_t result = run([&](DialogDriver& d) {
        d.clickThumb(VELTO_SLIDER_G);
        ASSERT_TRUE(DialogDriver::waitFor(
            [&] { return d.snapshot().focus == d.item(VELTO_SLIDER_G); }))
            << "the click did not focus the slider";
        const int refreshesBefore = count(d.snapshot().panel, PanelOp::refresh);

        d.key(VK_RIGHT);
        EXPECT_TRUE(DialogDriver::waitFor([&] { return d.snapshot().settings.levelG == 21; }));
        d.key(VK_END);
        EXPECT_TRUE(DialogDriver::waitFor([&] { return d.snapshot().settings.levelG == 40; }));
        d.key(VK_PRIOR);  // a page toward the start
        EXPECT_TRUE(DialogDriver::waitFor([&] {
            const int level = d.snapshot().settings.levelG;
            return level < 40 && level == d.sliderPosition(VELTO_SLIDER_G);
        }));
        d.key(VK_HOME);
        EXPECT_TRUE(DialogDriver::waitFor([&] { return d.snapshot().settings.levelG == 1; }));

        const Snapshot s = d.snapshot();
        EXPECT_GE(count(s.panel, PanelOp::refresh) - refreshesBefore, 4);
        EXPECT_EQ(s.settings.levelR, 20);
        EXPECT_EQ(s.settings.levelB, 20);
        d.click(VELTO_BUTTON_OK);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(settings().levelG, 1);
}

class DialogWithoutPreview : public Dialog {
protected:
    void SetUp() override
    {
        PluginTest::SetUp();
        initInstance(*instance, &reg.descriptor, false);
        reg.descriptor.createCallback(context());
    }
};

TEST_F(DialogWithoutPreview, WorksAndCallsNoPanel)
{
    const int32_t result = run([&](DialogDriver& d) {
        EXPECT_EQ(d.snapshot().settings.preview, nullptr);
        d.drag(VELTO_SLIDER_B, 12);
        d.click(VELTO_BUTTON_PREVIEW);
        EXPECT_TRUE(d.open());
        EXPECT_EQ(d.snapshot().settings.levelB, 12);
        d.click(VELTO_BUTTON_OK);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(settings().levelB, 12);
    EXPECT_EQ(instance->panel.count, 0);
}

}  // namespace
