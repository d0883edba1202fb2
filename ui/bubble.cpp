// The tooltip bubble. For now it only keeps its calling contract: no text
// hides it, and it forgets its handle when destroyed.
#include "../app/fault_guard.h"
#include "ui.h"

namespace {

LRESULT CALLBACK bubble_body(HWND bubble, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case UI_WM_BUBBLE_TEXT:
        if (!lparam) ShowWindow(bubble, SW_HIDE);
        return 0;
    case WM_DESTROY:
        g_bubble_window = nullptr;
        return 0;
    }
    return DefWindowProcA(bubble, message, wparam, lparam);
}

}  // namespace

const WNDPROC ui_bubble_proc = app_guarded_window<bubble_body>;
