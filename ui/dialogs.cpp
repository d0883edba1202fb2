// The Control Panel, which sets the video smoothing level as its bar moves,
// and the About box, whose credits scroll up over the darkened logo.
#include <stdio.h>

#include "../app/fault_guard.h"
#include "../media/media.h"
#include "access.h"
#include "ui.h"

namespace {

const UINT WM_SET_BAR = WM_APP + 1;
const int BAR_MAX = 200, BAR_PAGE = 10;

void set_bar(HWND bar, int position) {
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = BAR_MAX;
    si.nPage = BAR_PAGE;
    si.nPos = position;
    SetScrollInfo(bar, SB_CTL, &si, TRUE);
}

// Clamped to the range, not to the thumb's last place (max - page + 1): the
// level can reach 200 though the thumb stops at 191.
void on_scroll(HWND bar, int code) {
    SetFocus(bar);
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    GetScrollInfo(bar, SB_CTL, &si);
    int pos = si.nPos;
    switch (code) {
    case SB_LINELEFT: pos -= 1; break;
    case SB_LINERIGHT: pos += 1; break;
    case SB_PAGELEFT: pos -= BAR_PAGE; break;
    case SB_PAGERIGHT: pos += BAR_PAGE; break;
    case SB_THUMBTRACK: pos = si.nTrackPos; break;
    case SB_LEFT: pos = si.nMin; break;
    case SB_RIGHT: pos = si.nMax; break;
    default: break;  // SB_THUMBPOSITION, SB_ENDSCROLL: nothing more
    }
    pos = pos < 0 ? 0 : pos > BAR_MAX ? BAR_MAX : pos;
    set_bar(bar, pos);
    if (GetDlgCtrlID(bar) == IDC_SMOOTHING) media_set_option(MEDIA_OPTION_SMOOTHING, pos);
}

void on_panel_init(HWND dialog) {
    ui_center_window(dialog, g_viewer_window);
    SetWindowTextA(dialog, "Controls | " UI_TITLE);
    SendMessageA(dialog, WM_SET_BAR, 0, 0);
}

void on_panel_destroy(HWND dialog) {
    if (g_control_panel_window == dialog) g_control_panel_window = nullptr;
}

LRESULT CALLBACK control_panel_body(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG: on_panel_init(dialog); return TRUE;
    case WM_SET_BAR: set_bar(GetDlgItem(dialog, IDC_SMOOTHING), media_get_option(MEDIA_OPTION_SMOOTHING)); return 0;
    case WM_HSCROLL: if (lparam) on_scroll(reinterpret_cast<HWND>(lparam), LOWORD(wparam)); return 0;
    case WM_COMMAND: if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) DestroyWindow(dialog); return TRUE;
    case WM_DESTROY: on_panel_destroy(dialog); return 0;
    }
    return FALSE;
}

// The About box.
const UINT_PTR ABOUT_TIMER = 4372;
Surface g_about_picture, g_about_back, g_about_text;
uint32_t g_about_frame;

const char ABOUT_FORMAT[] =
    " %s \n\n Video Engine: VexMEDIA (DirectSHOW + MCI) \n Audio Engine: VexMEDIA (DirectSHOW + MCI) \n"
    " Graphics Engine: VexDRAW2 (w32-x86, Dec'07) \n  \n"
    " Written by the Tavlin Media Player developers \n\n"
    " Contact: the Tavlin project's issue tracker \n\n"
    " Copyright (c) 2026 the Tavlin authors. All rights reserved. \n";

// Lengths of the About box at 96 DPI, at the viewer's scale (the logo is drawn at it).
int px(int v) { return ui_px(v, g_ui_scale); }

// The logo, darkened to a quarter below its middle with a fade into it, at 320 x 270.
void make_picture() {
    gfx_surface_copy(&g_about_picture, &g_logo_surface);
    if (gfx_surface_lock(&g_about_picture, 0)) {
        int w = g_about_picture.width, h = g_about_picture.height;
        gfx_fill_blend(&g_about_picture, 0, h / 2 + px(31), w - 1, h - 1, 0x40000000, 0);
        gfx_gradient_blend(&g_about_picture, 0, h / 2 - px(33), w - 1, h / 2 + px(30), 0xFF000000, 0xFF000000,
                           0x40000000, 0x40000000, 0);
        gfx_surface_unlock(&g_about_picture, 0);
    }
    gfx_surface_resize(&g_about_picture, px(320), px(270), GFX_RESIZE_AREA);
}

// The credits, white with a soft shadow on transparent, 320 pixels wide.
void make_text_strip(const char* text) {
    const int width = g_about_picture.width > 0 ? g_about_picture.width : px(320);
    HFONT font = ui_create_font("Comic Sans MS", 80, 1, 0, 0, 0, 0);
    RECT measure = {0, 0, width * 5, px(360)};
    HDC dc = nullptr;
    if (gfx_surface_create(&g_about_text, width * 5, px(360), 0) && gfx_surface_get_dc(&g_about_text, &dc, nullptr)) {
        HGDIOBJ old = SelectObject(dc, font);
        DrawTextA(dc, text, -1, &measure, DT_CALCRECT | DT_CENTER);
        SelectObject(dc, old);
        gfx_surface_release_dc(&g_about_text, &dc);
    }
    gfx_surface_release(&g_about_text, 0);
    if (gfx_surface_create(&g_about_text, measure.right + 2, measure.bottom + 2, 0) &&
        gfx_surface_lock(&g_about_text, 0)) {
        gfx_fill_copy(&g_about_text, 0, 0, g_about_text.width - 1, g_about_text.height - 1, 0xFF000000, 0);
        gfx_surface_unlock(&g_about_text, 0);
        if (gfx_surface_get_dc(&g_about_text, &dc, nullptr)) {
            HGDIOBJ old = SelectObject(dc, font);
            SetBkMode(dc, TRANSPARENT);
            SetBkColor(dc, RGB(0, 0, 0));
            SetTextColor(dc, RGB(255, 255, 255));
            DrawTextA(dc, text, -1, &measure, DT_CENTER);
            SelectObject(dc, old);
            gfx_surface_release_dc(&g_about_text, &dc);
        }
        // The background joined to the corner becomes transparent white; the
        // counters of letters stay transparent black.
        if (gfx_surface_lock(&g_about_text, 0)) {
            gfx_flood_fill(&g_about_text, 0, 0, 0, 0xFFFFFFFF, 0, nullptr);
            gfx_surface_unlock(&g_about_text, 0);
        }
        gfx_surface_resize(&g_about_text, width, g_about_text.height * width / g_about_text.width, GFX_RESIZE_AREA);
        // The shadow's offset and its softness's reach grow with the scale.
        ui_drop_shadow(&g_about_text, 999, px(2), static_cast<int>(128 / g_ui_scale));
    }
    DeleteObject(font);
}

void on_about_init(HWND dialog) {
    char text[1024];
    snprintf(text, sizeof text, ABOUT_FORMAT, UI_TITLE);
    make_picture();
    gfx_surface_create(&g_about_back, g_about_picture.width > 0 ? g_about_picture.width : px(320),
                       g_about_picture.height > 0 ? g_about_picture.height : px(270), 0);
    make_text_strip(text);
    ui_set_client_size(dialog, g_about_back.width, g_about_back.height);
    ui_center_window(dialog, g_viewer_window ? g_viewer_window : GetParent(dialog));
    SetWindowTextA(dialog, "About " UI_TITLE);
    SetTimer(dialog, ABOUT_TIMER, 40, nullptr);
    g_about_frame = 0;
    ShowWindow(dialog, SW_SHOW);
}

void on_about_timer(HWND dialog) {
    g_about_frame++;
    InvalidateRect(dialog, nullptr, FALSE);
    SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    UpdateWindow(dialog);
}

// One frame: a mask that is clear above the middle, fades in, stays, and
// fades out at the bottom; the picture's colours over it; the credits shown
// through the mask, one pixel (at 96 DPI) higher every frame.
void on_about_paint(HWND dialog) {
    PAINTSTRUCT ps;
    HDC dc = app_begin_paint(dialog, &ps);
    Surface* back = &g_about_back;
    gfx_surface_refresh(back, 0);
    gfx_surface_refresh(&g_about_picture, 0);
    gfx_surface_refresh(&g_about_text, 0);
    const int w = back->width, h = back->height;
    if (w > 0 && h > 0) {
        const int period = g_about_text.height + static_cast<int>(0.67 * h);
        const uint32_t climbed = static_cast<uint32_t>(g_about_frame * g_ui_scale);
        const int s = period > 0 ? static_cast<int>(climbed % static_cast<uint32_t>(period)) : 0;
        RECT r = ps.rcPaint;
        if (IsRectEmpty(&r)) GetClientRect(dialog, &r);
        gfx_set_clip(r.left, r.top, r.right, r.bottom);
        if (gfx_surface_lock(back, 0)) {
            gfx_fill_copy(back, 0, 0, w - 1, h / 2 - px(34), 0xFF000000, GFX_CLIP);
            gfx_gradient_copy(back, 0, h / 2 - px(33), w - 1, h / 2 + px(30), 0xFF000000, 0xFF000000, 0, 0, GFX_CLIP);
            gfx_fill_copy(back, 0, h / 2 + px(30), w - 1, h - 1, 0, GFX_CLIP);
            gfx_gradient_copy(back, 0, h - px(32), w - 1, h - 1, 0, 0, 0xFF000000, 0xFF000000, GFX_CLIP);
            gfx_surface_unlock(back, 0);
        }
        gfx_blit_blend(back, 0, 0, w - 1, h - 1, &g_about_picture, 0, 0, g_about_picture.width - 1,
                       g_about_picture.height - 1, GFX_MODE_COLOR | GFX_CLIP);
        if (g_about_text.width > 0)
            gfx_stretch_blend(back, 0, h - s, g_about_text.width - 1, h - s + g_about_text.height - 1, &g_about_text, 0,
                              0, g_about_text.width - 1, g_about_text.height - 1, GFX_MODE_MASKED | GFX_CLIP);
        if (gfx_surface_lock(back, 0)) {
            gfx_fill_op(back, 0, 0, w - 1, h - 1, 0xFFFFFF, 2, GFX_CLIP);
            gfx_surface_unlock(back, 0);
        }
        gfx_blit_to_dc(dc, r.left, r.top, r.right, r.bottom, back, r.left, r.top, r.right, r.bottom, 0);
    }
    app_end_paint(dialog, &ps);
}

void on_about_destroy(HWND dialog) {
    KillTimer(dialog, ABOUT_TIMER);
    gfx_surface_release(&g_about_picture, 0);
    gfx_surface_release(&g_about_back, 0);
    gfx_surface_release(&g_about_text, 0);
}

// The credits as text, for assistive technology: the picture scrolls them.
void about_credits(WCHAR* out, size_t count) {
    char text[1024];
    snprintf(text, sizeof text, ABOUT_FORMAT, UI_TITLE);
    if (!MultiByteToWideChar(CP_ACP, 0, text, -1, out, static_cast<int>(count))) out[0] = 0;
}

BOOL on_about_get_object(HWND dialog, WPARAM wparam, LPARAM lparam) {
    SetWindowLongPtrA(dialog, DWLP_MSGRESULT, ui_plain_get_object(dialog, wparam, lparam, nullptr, about_credits));
    return TRUE;
}

LRESULT CALLBACK about_body(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG: on_about_init(dialog); return TRUE;
    case WM_TIMER: on_about_timer(dialog); return 0;
    case WM_PAINT: on_about_paint(dialog); return 0;
    case WM_COMMAND: if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) EndDialog(dialog, LOWORD(wparam)); return TRUE;
    case WM_DESTROY: on_about_destroy(dialog); return 0;
    case WM_GETOBJECT: return on_about_get_object(dialog, wparam, lparam);
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
