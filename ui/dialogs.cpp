// The Control Panel and the About box in their first form: the Control Panel
// sets the video smoothing level, the About box shows the logo.
#include "../app/fault_guard.h"
#include "../media/media.h"
#include "ui.h"

namespace {

void set_smoothing_bar(HWND bar, int level) {
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = 200;
    si.nPage = 10;
    si.nPos = level;
    SetScrollInfo(bar, SB_CTL, &si, TRUE);
}

// Every movement of the bar takes effect at once.
void on_scroll(HWND bar, int code) {
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    GetScrollInfo(bar, SB_CTL, &si);
    int pos = si.nPos;
    switch (code) {
    case SB_LINELEFT: pos -= 1; break;
    case SB_LINERIGHT: pos += 1; break;
    case SB_PAGELEFT: pos -= 10; break;
    case SB_PAGERIGHT: pos += 10; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: pos = si.nTrackPos; break;
    case SB_LEFT: pos = 0; break;
    case SB_RIGHT: pos = 191; break;
    default: return;
    }
    pos = pos < 0 ? 0 : pos > 191 ? 191 : pos;
    SetScrollPos(bar, SB_CTL, pos, TRUE);
    media_set_option(MEDIA_OPTION_SMOOTHING, pos);
}

LRESULT CALLBACK control_panel_body(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowTextA(dialog, "Controls | " UI_TITLE);
        set_smoothing_bar(GetDlgItem(dialog, IDC_SMOOTHING), media_get_option(MEDIA_OPTION_SMOOTHING));
        ui_center_window(dialog, g_viewer_window);
        return TRUE;
    case WM_HSCROLL:
        on_scroll(reinterpret_cast<HWND>(lparam), LOWORD(wparam));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) DestroyWindow(dialog);
        return TRUE;
    case WM_DESTROY:
        if (g_control_panel_window == dialog) g_control_panel_window = nullptr;
        return TRUE;
    }
    return FALSE;
}

LRESULT CALLBACK about_body(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        ui_set_client_size(dialog, 320, 270);
        ui_center_window(dialog, g_viewer_window ? g_viewer_window : GetParent(dialog));
        SetWindowTextA(dialog, "About " UI_TITLE);
        ShowWindow(dialog, SW_SHOW);
        return TRUE;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(dialog, &ps);
        RECT client;
        GetClientRect(dialog, &client);
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        HDC logo = nullptr;
        if (g_logo_surface.width > 0 && gfx_surface_get_dc(&g_logo_surface, &logo, nullptr)) {
            BitBlt(dc, 0, 0, g_logo_surface.width, g_logo_surface.height, logo, 0, 0, SRCCOPY);
            gfx_surface_release_dc(&g_logo_surface, &logo);
        }
        EndPaint(dialog, &ps);
        return TRUE;
    }
    case WM_LBUTTONUP:
        EndDialog(dialog, IDOK);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) EndDialog(dialog, LOWORD(wparam));
        return TRUE;
    }
    return FALSE;
}

}  // namespace

HWND ui_create_control_panel(HWND owner) {
    return CreateDialogParamA(g_instance, MAKEINTRESOURCEA(IDD_CONTROL_PANEL), owner,
                              app_guarded_dialog<control_panel_body>, 0);
}

int ui_run_about(HWND owner) {
    return static_cast<int>(DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_ABOUT), owner,
                                                app_guarded_dialog<about_body>, 0));
}
