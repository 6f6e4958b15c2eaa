#pragma once

// The core's headers as the Win32 sources include them. The toolbox object
// names its fields after the Windows message codes (WM_LBUTTONDOWN, ...) and
// has an ExitWindows operation; <windows.h> defines macros of those names,
// so they are set aside while the core's declarations are read.

#include <windows.h>

#pragma push_macro("WM_MOUSEMOVE")
#pragma push_macro("WM_LBUTTONDOWN")
#pragma push_macro("WM_LBUTTONUP")
#pragma push_macro("WM_LBUTTONDBLCLK")
#pragma push_macro("WM_RBUTTONDOWN")
#pragma push_macro("WM_RBUTTONUP")
#pragma push_macro("WM_RBUTTONDBLCLK")
#pragma push_macro("ExitWindows")
#undef WM_MOUSEMOVE
#undef WM_LBUTTONDOWN
#undef WM_LBUTTONUP
#undef WM_LBUTTONDBLCLK
#undef WM_RBUTTONDOWN
#undef WM_RBUTTONUP
#undef WM_RBUTTONDBLCLK
#undef ExitWindows

#include "app/core/app_controller.h"
#include "app/core/program_context.h"

#pragma pop_macro("WM_MOUSEMOVE")
#pragma pop_macro("WM_LBUTTONDOWN")
#pragma pop_macro("WM_LBUTTONUP")
#pragma pop_macro("WM_LBUTTONDBLCLK")
#pragma pop_macro("WM_RBUTTONDOWN")
#pragma pop_macro("WM_RBUTTONUP")
#pragma pop_macro("WM_RBUTTONDBLCLK")
#pragma pop_macro("ExitWindows")
