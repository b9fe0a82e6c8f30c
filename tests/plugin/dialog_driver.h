// Drives the configuration dialog as a user would, from a second thread while
// the host's thread sits in the dialog's modal loop. Everything the filter
// writes (settings, panel calls, focus) is read through the host's owner
// window, so the host's thread does the reading and nothing races.
#pragma once

#include <functional>

#include <windows.h>

#include "tests/plugin/test_host.h"

struct Snapshot {
    FilterSettings settings;
    RecordingPanel panel;
    HWND focus;
};

class DialogDriver {
public:
    DialogDriver(HWND owner, HWND dialog) : owner_(owner), dialog_(dialog) {}

    HWND dialog() const { return dialog_; }
    HWND item(int id) const { return GetDlgItem(dialog_, id); }
    bool open() const { return IsWindow(dialog_) && IsWindowVisible(dialog_); }
    Snapshot snapshot() const;
    int sliderPosition(int id) const;

    // A drag of the slider's thumb to position: the slider moves and tells
    // the dialog, as it does on every step of a drag.
    void drag(int sliderId, int position) const;
    // A button's press as the dialog receives it.
    void click(int buttonId) const;
    // A press of the button itself, which then tells the dialog (slower: the
    // button takes the mouse capture and the focus first).
    void press(int buttonId) const;
    // A real key press and release, through the system's input queue.
    void key(WORD virtualKey) const;
    // A real mouse click at the centre of a slider's thumb.
    void clickThumb(int sliderId) const;
    // Polls until done() holds, at most timeoutMs; false on timeout.
    static bool waitFor(const std::function<bool()>& done, int timeoutMs = 5000);

private:
    HWND owner_;
    HWND dialog_;
};

// Opens the dialog through the plug-in's configure callback over an owner
// window of the host's, runs script on a second thread once the dialog is
// shown, and returns the callback's result. Should the script leave the
// dialog open, it is cancelled, so a failing test never hangs.
int32_t runDialog(Instance& instance, const FilterDescriptor& descriptor,
                  const std::function<void(DialogDriver&)>& script);

// The caption the dialog is found by.
constexpr const char* dialogCaption = "Setting";
