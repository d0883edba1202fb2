// The player window: the skinned control strip. For now it shows the skin's
// face and hands closing, keys and drops to the viewer.
#include "../app/fault_guard.h"
#include "ui.h"

namespace {

void paint_face(HWND player) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(player, &ps);
    HDC skin_dc = nullptr;
    if (g_skin_surface.width > 0 && gfx_surface_get_dc(&g_skin_surface, &skin_dc, nullptr)) {
        BitBlt(dc, 0, 0, 480, 156, skin_dc, 0, 0, SRCCOPY);
        gfx_surface_release_dc(&g_skin_surface, &skin_dc);
    } else {
        FillRect(dc, &ps.rcPaint, GetSysColorBrush(COLOR_BTNFACE));
    }
    EndPaint(player, &ps);
}

LRESULT CALLBACK player_body(HWND player, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_PAINT:
        paint_face(player);
        return 0;
    case WM_CLOSE:
    case WM_KEYDOWN:
    case WM_DROPFILES:
        return SendMessageA(g_viewer_window, message, wparam, lparam);
    }
    return DefWindowProcA(player, message, wparam, lparam);
}

}  // namespace

const WNDPROC ui_player_proc = app_guarded_window<player_body>;
