#include "settings/dialog.h"

#include <commctrl.h>

#include "settings/dialog_ids.h"
#include "settings/filter_settings.h"

namespace {

constexpr int sliderIds[3] = {VELTO_SLIDER_R, VELTO_SLIDER_G, VELTO_SLIDER_B};
constexpr LPARAM sliderRange = MAKELPARAM(minimumLevel, maximumLevel);  // 0x00280001

int32_t* levelOf(FilterSettings& settings, int channel)
{
    int32_t* levels[3] = {&settings.levelR, &settings.levelG, &settings.levelB};
    return levels[channel];
}

// The host may run the dialog without a preview; then there is nothing to call.
void panelShowHide(PreviewPanel* panel, HWND dialog)
{
    if (panel) panel->ops->showHide(panel, dialog);
}

void panelRefresh(PreviewPanel* panel)
{
    if (panel) panel->ops->refresh(panel);
}

void panelAttachButton(PreviewPanel* panel, HWND button)
{
    if (panel) panel->ops->attachButton(panel, button);
}

INT_PTR initDialog(HWND dialog, FilterSettings* settings)
{
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(settings));
    for (int channel = 0; channel < 3; ++channel) {
        SendDlgItemMessageA(dialog, sliderIds[channel], TBM_SETRANGE, FALSE, sliderRange);
        SendDlgItemMessageA(dialog, sliderIds[channel], TBM_SETPOS, TRUE,
                            *levelOf(*settings, channel));
    }
    settings->savedR = settings->levelR;
    settings->savedG = settings->levelG;
    settings->savedB = settings->levelB;
    panelAttachButton(settings->preview, GetDlgItem(dialog, VELTO_BUTTON_PREVIEW));
    return TRUE;  // the system focuses the first control that takes it
}

// Every slider notification (drag step, release, key, page) stores the position.
INT_PTR sliderMoved(HWND dialog, FilterSettings& settings, HWND sender)
{
    for (int channel = 0; channel < 3; ++channel) {
        HWND slider = GetDlgItem(dialog, sliderIds[channel]);
        if (sender != slider) continue;
        LRESULT position = SendMessageA(slider, TBM_GETPOS, 0, 0);
        *levelOf(settings, channel) = static_cast<int32_t>(position);
        panelRefresh(settings.preview);
        break;
    }
    return FALSE;
}

// Escape and the close box arrive as command 2, which falls through here:
// only "Ok" and "Cancel" end the dialog.
INT_PTR command(HWND dialog, FilterSettings& settings, int id)
{
    switch (id) {
    case VELTO_BUTTON_PREVIEW:
        panelShowHide(settings.preview, dialog);
        panelRefresh(settings.preview);
        return FALSE;
    case VELTO_BUTTON_OK:
        EndDialog(dialog, 0);
        return TRUE;
    case VELTO_BUTTON_CANCEL:
        settings.levelR = settings.savedR;
        settings.levelG = settings.savedG;
        settings.levelB = settings.savedB;
        EndDialog(dialog, 1);
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

INT_PTR CALLBACK settingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        return initDialog(dialog, reinterpret_cast<FilterSettings*>(lParam));

    auto* settings = reinterpret_cast<FilterSettings*>(GetWindowLongPtrA(dialog, DWLP_USER));
    // Messages that arrive before WM_INITDIALOG find no settings yet.
    if (!settings) return FALSE;
    switch (message) {
    case WM_HSCROLL:
        return sliderMoved(dialog, *settings, reinterpret_cast<HWND>(lParam));
    case WM_COMMAND:
        return command(dialog, *settings, LOWORD(wParam));
    default:
        return FALSE;
    }
}

int32_t VELTO_CDECL configureCallback(FrameContext* context, void*, WindowHandle parent)
{
    FilterSettings* settings = context->settings;
    settings->preview = context->previewPanel;

    // The system reports a dialog refused for an owner window that no longer
    // exists as 0, the very value the host takes for "Ok".
    HWND owner = static_cast<HWND>(parent);
    if (owner && !IsWindow(owner)) return dialogFailed;

    auto instance = static_cast<HINSTANCE>(context->descriptor->moduleRecord->instanceHandle);
    INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(VELTO_DIALOG_SETTING), owner,
                                     settingDialogProc, reinterpret_cast<LPARAM>(settings));
    return static_cast<int32_t>(result);
}
