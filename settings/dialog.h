// The configuration dialog: three sliders for the levels, a preview button,
// "Ok" and "Cancel". Windows builds only.
#pragma once

#include <cstdint>

#include <windows.h>

#include "host/records.h"

// Result of the configure callback when the dialog could not be shown.
constexpr int32_t dialogFailed = -1;

// Runs the dialog modally over parent; 0 after "Ok", 1 after "Cancel".
int32_t VELTO_CDECL configureCallback(FrameContext* context, void* host, WindowHandle parent);

INT_PTR CALLBACK settingDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
