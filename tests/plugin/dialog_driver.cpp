#include "tests/plugin/dialog_driver.h"

#include <commctrl.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "settings/dialog_ids.h"

namespace {

constexpr UINT takeSnapshot = WM_APP + 1;  // lParam: Snapshot*
constexpr const char* ownerClass = "VeltoTestHostOwner";

LRESULT CALLBACK ownerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == takeSnapshot) {
        const auto* instance =
            reinterpret_cast<const Instance*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        auto* snap = reinterpret_cast<Snapshot*>(lParam);
        snap->settings = instance->settings;
        snap->panel = instance->panel;
        snap->focus = GetFocus();
        return 1;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND createOwner(Instance& instance)
{
    static bool ready = false;
    if (!ready) {
        // The host makes the common controls available before any dialog.
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = ownerProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = ownerClass;
        RegisterClassA(&wc);
        ready = true;
    }
    HWND owner = CreateWindowA(ownerClass, "Velto test host", WS_OVERLAPPEDWINDOW, 0, 0, 320,
                               240, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(owner, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&instance));
    return owner;
}

BOOL CALLBACK matchDialog(HWND window, LPARAM out)
{
    char caption[32] = {};
    GetWindowTextA(window, caption, sizeof caption);
    if (std::strcmp(caption, dialogCaption) != 0 || !IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(out) = window;
    return FALSE;
}

// The dialog is shown only after it has initialised, so a visible one is ready.
HWND findDialog(DWORD thread)
{
    HWND found = nullptr;
    DialogDriver::waitFor([&] {
        EnumThreadWindows(thread, matchDialog, reinterpret_cast<LPARAM>(&found));
        return found != nullptr;
    });
    return found;
}

}  // namespace

Snapshot DialogDriver::snapshot() const
{
    Snapshot snap;
    std::memset(&snap, 0, sizeof snap);
    SendMessageA(owner_, takeSnapshot, 0, reinterpret_cast<LPARAM>(&snap));
    return snap;
}

int DialogDriver::sliderPosition(int id) const
{
    return static_cast<int>(SendMessageA(item(id), TBM_GETPOS, 0, 0));
}

void DialogDriver::drag(int sliderId, int position) const
{
    HWND slider = item(sliderId);
    SendMessageA(slider, TBM_SETPOS, TRUE, position);
    SendMessageA(dialog_, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position),
                 reinterpret_cast<LPARAM>(slider));
}

void DialogDriver::click(int buttonId) const
{
    SendMessageA(dialog_, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(item(buttonId)));
}

void DialogDriver::press(int buttonId) const
{
    SendMessageA(item(buttonId), BM_CLICK, 0, 0);
}

void DialogDriver::key(WORD virtualKey) const
{
    INPUT input[2] = {};
    input[0].type = INPUT_KEYBOARD;
    input[0].ki.wVk = virtualKey;
    input[1] = input[0];
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
}

void DialogDriver::clickThumb(int sliderId) const
{
    HWND slider = item(sliderId);
    RECT thumb;
    SendMessageA(slider, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    POINT at = {(thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2};
    ClientToScreen(slider, &at);
    const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
    INPUT input[3] = {};
    for (INPUT& i : input) {
        i.type = INPUT_MOUSE;
        i.mi.dx = static_cast<LONG>((at.x * 65535 + screenW / 2) / (screenW - 1));
        i.mi.dy = static_cast<LONG>((at.y * 65535 + screenH / 2) / (screenH - 1));
    }
    input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
    input[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
    SendInput(3, input, sizeof(INPUT));
}

bool DialogDriver::waitFor(const std::function<bool()>& done, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

int32_t runDialog(Instance& instance, const FilterDescriptor& descriptor,
                  const std::function<void(DialogDriver&)>& script)
{
    HWND owner = createOwner(instance);
    const DWORD hostThread = GetCurrentThreadId();
    std::thread driver([&] {
        HWND dialog = findDialog(hostThread);
        if (!dialog) return;  // the configure callback's result tells why
        DialogDriver d(owner, dialog);
        SetForegroundWindow(dialog);
        script(d);
        if (d.open()) d.click(VELTO_BUTTON_CANCEL);
    });
    const int32_t result = descriptor.configureCallback(&instance.context, nullptr, owner);
    driver.join();
    DestroyWindow(owner);
    return result;
}
