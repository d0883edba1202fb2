// The tooltip bubble beside the pointer, which fades out by itself; the
// progress bubble of long imports; and the small services they share.
#include <string.h>

#include "../app/fault_guard.h"
#include "ui.h"

namespace {

char g_bubble_text[256];
POINT g_bubble_anchor = {-1, -1};
int g_bubble_margin_x = 24, g_bubble_margin_y = 24;
Surface g_bubble_surface;
int g_fade_elapsed = 9999, g_fade_period = 25;
int g_progress_ticks;

const int ALPHA_SHOWN = 220;
const int PROGRESS_TIMER = 1;

// The tooltips are the strip's: drawn at its scale, lengths given at 96 DPI.
int px(int v) { return ui_px(v, g_strip_scale); }

HFONT bubble_font() { return ui_create_scaled_font("Arial", 11, 0, g_strip_scale); }

// One side of the placement beside the pointer: right of (below) it while
// the text fits, else left of (above) it; once flipped, it takes more room
// to come back, so a pointer near the edge does not make the bubble jump.
int place_beside(int anchor, int extent, int screen, int* margin) {
    if (anchor < screen - extent - *margin) {
        *margin = px(30);
        return anchor + px(24);
    }
    *margin = px(48);
    return anchor - extent - px(30);
}

// The box: white at the top to pale yellow at the bottom, a thin orange
// frame, and the text.
void draw_bubble(int w, int h) {
    gfx_surface_refresh(&g_bubble_surface, 0);
    if (g_bubble_surface.width < w || g_bubble_surface.width > w * 6 / 4 || g_bubble_surface.height < h ||
        g_bubble_surface.height > h * 6 / 4) {
        gfx_surface_release(&g_bubble_surface, 0);
        gfx_surface_create(&g_bubble_surface, w * 5 / 4, h * 5 / 4, 0);
    }
    if (gfx_surface_lock(&g_bubble_surface, 0)) {
        gfx_gradient_copy(&g_bubble_surface, 0, 0, w - 1, h - 1, 0x00FFFFFF, 0x00FFFFFF, 0x00FFFF7F, 0x00FFFF7F,
                          GFX_OPAQUE);
        gfx_frame_blend(&g_bubble_surface, 0, 0, w - 1, h - 1, px(1), 0x80FFC000, 0);
        gfx_surface_unlock(&g_bubble_surface, 0);
    }
    HDC dc = nullptr;
    if (!gfx_surface_get_dc(&g_bubble_surface, &dc, nullptr)) return;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0x40, 0x40, 0x00));
    HFONT font = bubble_font();
    HGDIOBJ old = SelectObject(dc, font);
    RECT r = {0, 0, w - px(2), h - px(2)};
    DrawTextA(dc, g_bubble_text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    DeleteObject(font);
    gfx_surface_release_dc(&g_bubble_surface, &dc);
}

void lay_out(HWND bubble, const char* text) {
    POINT p;
    GetCursorPos(&p);
    if (p.x == g_bubble_anchor.x && p.y == g_bubble_anchor.y) return;  // a resting pointer restarts nothing
    g_bubble_anchor = p;
    g_fade_elapsed = 0;
    lstrcpynA(g_bubble_text, text, sizeof g_bubble_text);

    HDC dc = GetDC(bubble);
    HFONT font = bubble_font();
    HGDIOBJ old = SelectObject(dc, font);
    RECT extent = {0, 0, 0, 0};
    DrawTextA(dc, g_bubble_text, -1, &extent, DT_CALCRECT | DT_NOPREFIX);
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(bubble, dc);
    int tw = extent.right - extent.left, th = extent.bottom - extent.top;

    int x = place_beside(p.x, tw, GetSystemMetrics(SM_CXSCREEN), &g_bubble_margin_x);
    int y = place_beside(p.y, th, GetSystemMetrics(SM_CYSCREEN), &g_bubble_margin_y);
    int w = tw + px(12), h = th + px(6);
    SetWindowPos(bubble, HWND_TOPMOST, x, y, w, h, SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_NOOWNERZORDER);
    draw_bubble(w, h);
    InvalidateRect(bubble, nullptr, FALSE);
    UpdateWindow(bubble);
    SendMessageA(bubble, UI_WM_BUBBLE_SHOW, 0, 0);
}

void on_bubble_text(HWND bubble, const char* text) {
    if (text && text[0]) {
        lay_out(bubble, text);
        return;
    }
    ui_fade_hide(bubble, &g_fade_elapsed, 0);
    g_bubble_text[0] = 0;
    g_bubble_anchor = {-1, -1};
}

void on_bubble_create(HWND bubble) {
    g_fade_elapsed = 0;
    g_bubble_margin_x = g_bubble_margin_y = px(24);
    ShowWindow(bubble, SW_SHOWNOACTIVATE);
    SetWindowPos(bubble, nullptr, 100, 100, px(140), px(14), SWP_NOZORDER | SWP_NOACTIVATE);
    ui_fade_start(bubble, BUBBLE_FADE_TIMER, &g_fade_elapsed, &g_fade_period, ALPHA_SHOWN);
}

void on_bubble_paint(HWND bubble) {
    PAINTSTRUCT ps;
    HDC dc = app_begin_paint(bubble, &ps);
    RECT r = ps.rcPaint;
    if (IsRectEmpty(&r)) GetClientRect(bubble, &r);
    else ui_rect_inflate(&r, 2, 2);
    if (g_bubble_surface.width > 0) gfx_blit_to_dc(dc, r.left, r.top, r.right, r.bottom, &g_bubble_surface, r.left,
                                                   r.top, r.right, r.bottom, 0);
    app_end_paint(bubble, &ps);
}

void on_bubble_destroy(HWND bubble) {
    ui_fade_stop(bubble, BUBBLE_FADE_TIMER);
    gfx_surface_release(&g_bubble_surface, 0);
    g_bubble_window = nullptr;
}

void keep_on_top(HWND window) {
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOSENDCHANGING);
}

LRESULT CALLBACK bubble_body(HWND bubble, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE: on_bubble_create(bubble); return 0;
    case UI_WM_BUBBLE_TEXT: on_bubble_text(bubble, reinterpret_cast<const char*>(lparam)); return 0;
    case UI_WM_BUBBLE_SHOW: if (g_bubble_text[0]) ui_fade_show(bubble, &g_fade_elapsed, ALPHA_SHOWN); return 0;
    case WM_TIMER:
        ui_fade_tick(bubble, BUBBLE_FADE_TIMER, &g_fade_elapsed, &g_fade_period, ALPHA_SHOWN, 0);
        return 0;
    case WM_PAINT: on_bubble_paint(bubble); return 0;
    case WM_SHOWWINDOW: if (wparam) keep_on_top(bubble); break;
    case WM_MOUSEMOVE: on_bubble_text(bubble, nullptr); return 0;  // the pointer reached it
    case WM_SETCURSOR: return 0;
    case WM_DESTROY: on_bubble_destroy(bubble); break;
    }
    return DefWindowProcA(bubble, message, wparam, lparam);
}

void on_progress_timer(HWND dialog) {
    if (++g_progress_ticks >= 6) DestroyWindow(dialog);
}

void on_progress_destroy(HWND dialog) {
    KillTimer(dialog, PROGRESS_TIMER);
    if (g_progress_window == dialog) g_progress_window = nullptr;
}

LRESULT CALLBACK progress_body(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG: g_progress_ticks = 0; SetTimer(dialog, PROGRESS_TIMER, 60, nullptr); return TRUE;
    case WM_SETTEXT:
        SetDlgItemTextA(dialog, IDC_PROGRESS_TEXT, reinterpret_cast<const char*>(lparam));
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_ACTIVATE:
    case WM_SHOWWINDOW: keep_on_top(dialog); return FALSE;
    case WM_TIMER: on_progress_timer(dialog); return FALSE;
    case WM_COMMAND: if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) DestroyWindow(dialog); return TRUE;
    case WM_DESTROY: on_progress_destroy(dialog); return FALSE;
    }
    return FALSE;
}

// Guarded stores into a caller's rectangle: normalised, then grown by dx, dy.
struct RectArgs {
    RECT* rect;
    int x1, y1, x2, y2, dx, dy;
};

void store_rect(void* context) {
    RectArgs* a = static_cast<RectArgs*>(context);
    a->rect->left = (a->x1 < a->x2 ? a->x1 : a->x2) - a->dx;
    a->rect->top = (a->y1 < a->y2 ? a->y1 : a->y2) - a->dy;
    a->rect->right = (a->x1 < a->x2 ? a->x2 : a->x1) + a->dx;
    a->rect->bottom = (a->y1 < a->y2 ? a->y2 : a->y1) + a->dy;
}

void grow_rect(void* context) {
    RectArgs* a = static_cast<RectArgs*>(context);
    const RECT r = *a->rect;
    a->x1 = r.left, a->y1 = r.top, a->x2 = r.right, a->y2 = r.bottom;
    store_rect(a);
}

}  // namespace

HWND g_progress_window;

const WNDPROC ui_bubble_proc = app_guarded_window<bubble_body>;
const DLGPROC ui_progress_dialog_proc = app_guarded_dialog<progress_body>;

RECT* ui_rect_set(RECT* rect, int x1, int y1, int x2, int y2) {
    RectArgs a = {rect, x1, y1, x2, y2, 0, 0};
    return rect && app_run_guarded(store_rect, &a) ? rect : nullptr;
}

RECT* ui_rect_inflate(RECT* rect, int dx, int dy) {
    RectArgs a = {rect, 0, 0, 0, 0, dx, dy};
    return rect && app_run_guarded(grow_rect, &a) ? rect : nullptr;
}

int ui_fade_start(HWND window, UINT_PTR timer_id, int* elapsed, int* period, int alpha) {
    *elapsed = 0;
    *period = 25;
    SetTimer(window, timer_id, 25, nullptr);
    ui_set_window_alpha(window, alpha);
    return 1;
}

int ui_fade_tick(HWND window, UINT_PTR timer_id, int* elapsed, int* period, int alpha_on, int alpha_off) {
    *elapsed += *period;
    int next = 250;
    if (*elapsed < 1000) {
        ui_set_window_alpha(window, alpha_on);
        if (!IsWindowVisible(window)) ShowWindow(window, SW_SHOWNOACTIVATE);
    } else if (*elapsed < 2000) {
        ui_set_window_alpha(window, alpha_off + (alpha_on - alpha_off) * (2000 - *elapsed) / 1000);
        if (!IsWindowVisible(window)) ShowWindow(window, SW_SHOWNOACTIVATE);
        next = 25;
    } else if (*elapsed > 2000) {
        ui_set_window_alpha(window, alpha_off);
        if (alpha_off < 10 && IsWindowVisible(window)) ShowWindow(window, SW_HIDE);
    }
    if (next != *period) {
        *period = next;
        SetTimer(window, timer_id, static_cast<UINT>(next), nullptr);
    }
    return 1;
}

int ui_fade_show(HWND window, int* elapsed, int alpha) {
    *elapsed = 0;
    ui_set_window_alpha(window, alpha);
    if (!IsWindowVisible(window)) ShowWindow(window, SW_SHOWNOACTIVATE);
    return 1;
}

int ui_fade_hide(HWND window, int* elapsed, int alpha) {
    *elapsed = 9999;
    ui_set_window_alpha(window, alpha);
    if (alpha <= 0 && IsWindowVisible(window)) ShowWindow(window, SW_HIDE);
    return 1;
}

int ui_fade_stop(HWND window, UINT_PTR timer_id) {
    KillTimer(window, timer_id);
    return 1;
}
