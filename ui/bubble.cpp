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

LRESULT CALLBACK ui_bubble_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return app_call_guarded(bubble_body, window, message, wparam, lparam, 0);
}

HFONT ui_create_font(const char* face, int size, int bold, int italic, int underline, int strike_out,
                     int size_in_points) {
    int h = size;
    if (size_in_points) {
        HWND desktop = GetDesktopWindow();
        HDC dc = GetDC(desktop);
        h = MulDiv(size, GetDeviceCaps(dc, LOGPIXELSY), 72);
        ReleaseDC(desktop, dc);
    }
    return CreateFontA(-h, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic != 0, underline != 0, strike_out != 0,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face);
}
