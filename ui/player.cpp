// The player window: the skinned control strip. It holds no playback logic:
// presses become the viewer's commands, and the sliders call the engine.
#include <string.h>
#include <wchar.h>

#include "../app/fault_guard.h"
#include "../media/media.h"
#include "ui.h"

namespace {

// The controls at their places on the skin's face (client coordinates).
struct SkinLayout {
    RECT about, hide_player, minimize, maximize, exit, text, seek, volume;
    RECT previous, play, next, pause, stop, control_panel, playlist, rewind, forward;
};
SkinLayout g_layout;

struct Control {
    RECT* rect;
    const char* tip;
    int command;  // for the elliptic controls: the viewer's command
};

Control g_rect_controls[5] = {{&g_layout.about, "About", CMD_ABOUT},
                              {&g_layout.hide_player, "Hide Player", 0},
                              {&g_layout.minimize, "Minimize", 0},
                              {&g_layout.maximize, "Maximize", CMD_FULL_SCREEN},
                              {&g_layout.exit, "Exit", 0}};
Control g_round_controls[9] = {{&g_layout.previous, "Previous", CMD_PREV_TRACK},
                               {&g_layout.play, "Play", CMD_PLAY},
                               {&g_layout.next, "Next", CMD_NEXT_TRACK},
                               {&g_layout.pause, "Pause", CMD_PAUSE},
                               {&g_layout.stop, "Stop", CMD_STOP},
                               {&g_layout.control_panel, "Control Panel", CMD_VIEW_CONTROL_PANEL},
                               {&g_layout.playlist, "Playlist", CMD_VIEW_PLAYLIST},
                               {&g_layout.rewind, "Rewind", CMD_STEP_REVERSE},
                               {&g_layout.forward, "Forward", CMD_STEP_FORWARD}};

bool g_seek_dragging, g_volume_dragging, g_window_dragging;
POINT g_drag_last_point;

const UINT_PTR BLINK_TIMER = 1, FLASH_TIMER = 2;
RECT g_flash_rect;  // the highlighted control, until the flash timer puts the face back
int g_flash_style;
bool g_flash_pending;

const int STRIP_WIDTH = 480, STRIP_HEIGHT = 156;
// The knob sprite on the skin, inclusive corners; its centre column sits on
// the slider's position.
const int KNOB_X1 = 1, KNOB_Y1 = 176, KNOB_X2 = 13, KNOB_Y2 = 198;
const int KNOB_HALF = (KNOB_X2 - KNOB_X1) / 2;
// The slider tracks (hit-tested with right and bottom outside, the knob drawn
// from top to bottom inclusive), and the pixels the knob travels along them.
const int SEEK_LEFT = 186, SEEK_TOP = 89, SEEK_RIGHT = 419, SEEK_BOTTOM = 108, SEEK_TRAVEL = 234;
const int VOLUME_LEFT = 363, VOLUME_TOP = 51, VOLUME_RIGHT = 440, VOLUME_BOTTOM = 70, VOLUME_TRAVEL = 78;
const int VOLUME_MAX = 65535;

void fill_layout() {
    SkinLayout& l = g_layout;
    ui_rect_set(&l.about, 305, 9, 326, 28);
    ui_rect_set(&l.hide_player, 328, 9, 349, 28);
    ui_rect_set(&l.minimize, 351, 9, 372, 28);
    ui_rect_set(&l.maximize, 374, 9, 395, 28);
    ui_rect_set(&l.exit, 397, 9, 418, 28);
    ui_rect_set(&l.text, 2, 122, 382, 154);
    ui_rect_set(&l.seek, SEEK_LEFT, SEEK_TOP, SEEK_RIGHT, SEEK_BOTTOM);
    ui_rect_set(&l.volume, VOLUME_LEFT, VOLUME_TOP, VOLUME_RIGHT, VOLUME_BOTTOM);
    ui_rect_set(&l.previous, 25, 45, 51, 71);
    ui_rect_set(&l.play, 69, 41, 103, 75);
    ui_rect_set(&l.next, 121, 45, 147, 71);
    ui_rect_set(&l.pause, 164, 45, 190, 71);
    ui_rect_set(&l.stop, 207, 45, 233, 71);
    ui_rect_set(&l.control_panel, 250, 45, 276, 71);
    ui_rect_set(&l.playlist, 294, 45, 320, 71);
    ui_rect_set(&l.rewind, 48, 88, 68, 108);
    ui_rect_set(&l.forward, 103, 88, 123, 108);
}

// White over a control's face: a translucent box on a rectangular control,
// a radial glow on a round one.
void draw_highlight(const RECT& r, int style) {
    Surface* back = &g_player_back_surface;
    if (!gfx_surface_lock(back, 0)) return;
    if (style == 1)
        gfx_gradient_blend(back, r.left, r.top, r.right, r.bottom, 0xAFFFFFFF, 0xAFFFFFFF, 0xAFFFFFFF, 0xAFFFFFFF, 0);
    else
        gfx_radial_blend(back, r.left - 1, r.top - 1, r.right + 1, r.bottom + 1, 0x3FFFFFFF, 0xBFFFFFFF, 0);
    gfx_surface_unlock(back, 0);
}

bool in_ellipse(const RECT* r, POINT p) {
    HRGN region = CreateEllipticRgn(r->left, r->top, r->right, r->bottom);
    bool inside = region && PtInRegion(region, p.x, p.y);
    if (region) DeleteObject(region);
    return inside;
}

// The knob sprite blended onto the back buffer centred on column x of a
// track, its 23 rows scaled to the rows top to bottom.
void draw_knob(int x, int top, int bottom) {
    gfx_blit_blend(&g_player_back_surface, x - KNOB_HALF, top, x + KNOB_HALF, bottom, &g_skin_surface, KNOB_X1,
                   KNOB_Y1, KNOB_X2, KNOB_Y2, 0);
}

int seek_knob_offset() {
    int64_t d = media_get_duration();
    if (d == 0) return 0;
    int64_t x = media_get_position() * SEEK_TRAVEL / d;
    return static_cast<int>(x < 0 ? 0 : x > SEEK_TRAVEL ? SEEK_TRAVEL : x);
}

// The stored value is level | (level << 8): bits 0-7 and 16-23 hold the
// level's two bytes, the middle byte is the two overlapping. The knob sits at
// the level rounded to a pixel, so it comes back to the column that set it.
uint32_t volume_level() {
    uint32_t v = static_cast<uint32_t>(media_get_option(MEDIA_OPTION_VOLUME));
    return (v & 0xFF) | ((v >> 8) & 0xFF00);
}

int volume_knob_offset() { return static_cast<int>((VOLUME_TRAVEL * volume_level() + VOLUME_MAX / 2) / VOLUME_MAX); }

void store_volume(HWND player, int level) {
    media_set_option(MEDIA_OPTION_VOLUME, level | (level << 8));
    RECT r = g_layout.volume;
    ui_rect_inflate(&r, 8, 8);
    InvalidateRect(player, &r, FALSE);
    UpdateWindow(player);
}

// The file name in cyan on the text area's first line, the media type in
// green on its bottom line.
void draw_texts(HDC dc) {
    HFONT font = ui_create_font("Arial", 11, 0, 0, 0, 0, 0);
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    char text[APP_PATH_SIZE + 1] = " ";
    media_get_path(text + 1, sizeof text - 1);
    // A file opened by its short name shows the name its owner gave it.
    WCHAR real[APP_PATH_SIZE * 2] = L" ";
    bool long_name = app_long_name(text + 1, real + 1, APP_PATH_SIZE * 2 - 1);
    char* slash = strrchr(text + 1, '\\');
    char* name = text;
    if (slash) {
        *slash = ' ';
        name = slash;
    }
    RECT area = g_layout.text;
    SetTextColor(dc, RGB(0, 255, 255));
    if (long_name) {
        WCHAR* real_slash = wcsrchr(real + 1, '\\');
        if (real_slash) *real_slash = ' ';
        DrawTextW(dc, real_slash ? real_slash : real, -1, &area, DT_SINGLELINE | DT_NOPREFIX);
    } else {
        DrawTextA(dc, name, -1, &area, DT_SINGLELINE | DT_NOPREFIX);
    }
    char type[80] = " ";
    if (!media_get_info(type + 1, sizeof type - 1, nullptr)) type[0] = 0;
    SetTextColor(dc, RGB(0, 255, 0));
    DrawTextA(dc, type, -1, &area, DT_SINGLELINE | DT_NOPREFIX | DT_BOTTOM);
    SelectObject(dc, old);
    DeleteObject(font);
}

void on_paint(HWND player) {
    PAINTSTRUCT ps;
    HDC dc = app_begin_paint(player, &ps);
    Surface* back = &g_player_back_surface;
    gfx_blit_copy(back, 0, 0, STRIP_WIDTH - 1, STRIP_HEIGHT - 1, &g_skin_surface, 0, 0, STRIP_WIDTH - 1,
                  STRIP_HEIGHT - 1, GFX_OPAQUE);
    draw_knob(SEEK_LEFT + seek_knob_offset(), SEEK_TOP, SEEK_BOTTOM);
    draw_knob(VOLUME_LEFT + volume_knob_offset(), VOLUME_TOP, VOLUME_BOTTOM);
    HDC back_dc = nullptr;
    if (gfx_surface_get_dc(back, &back_dc, nullptr)) {
        draw_texts(back_dc);
        gfx_surface_release_dc(back, &back_dc);
    }
    if (g_flash_pending) draw_highlight(g_flash_rect, g_flash_style);  // a repaint keeps a flash that is on
    gfx_blit_to_dc(dc, 0, 0, STRIP_WIDTH - 1, STRIP_HEIGHT - 1, back, 0, 0, STRIP_WIDTH - 1, STRIP_HEIGHT - 1, 0);
    app_end_paint(player, &ps);
}

// The face of the flashed control comes back: the strip is painted afresh
// there, knobs and texts included.
void end_flash(HWND player) {
    KillTimer(player, FLASH_TIMER);
    if (!g_flash_pending) return;
    g_flash_pending = false;
    RECT r = {g_flash_rect.left - 1, g_flash_rect.top - 1, g_flash_rect.right + 2, g_flash_rect.bottom + 2};
    InvalidateRect(player, &r, FALSE);
}

void on_create(HWND player) {
    SetTimer(player, BLINK_TIMER, 500, nullptr);
    fill_layout();
}

void seek_to(HWND player, int x) {
    x = x < SEEK_LEFT ? SEEK_LEFT : x > SEEK_RIGHT ? SEEK_RIGHT : x;
    media_seek(media_get_duration() * (x - SEEK_LEFT) / SEEK_TRAVEL);
    RECT r = g_layout.seek;
    ui_rect_inflate(&r, 8, 8);
    InvalidateRect(player, &r, FALSE);
    UpdateWindow(player);
}

void set_volume(HWND player, int x) {
    x = x < VOLUME_LEFT ? VOLUME_LEFT : x > VOLUME_RIGHT ? VOLUME_RIGHT : x;
    store_volume(player, static_cast<int>(static_cast<int64_t>(x - VOLUME_LEFT) * VOLUME_MAX / VOLUME_TRAVEL));
}

// The rectangular controls act on the strip and the viewer's window; only
// About, Maximize and Exit are viewer commands.
void act_rect_control(HWND player, const Control& c) {
    if (c.rect == &g_layout.hide_player) ShowWindow(player, SW_HIDE);
    else if (c.rect == &g_layout.minimize) ShowWindow(g_viewer_window, SW_MINIMIZE);
    else if (c.rect == &g_layout.exit) PostMessageA(g_viewer_window, WM_CLOSE, 0, 0);
    else PostMessageA(g_viewer_window, WM_COMMAND, static_cast<WPARAM>(c.command), 0);
}

// A slider takes a press on its knob too: at either end of the track half
// the knob lies beyond it, and a press there must not drag the strip.
bool on_slider(const RECT& track, POINT p) {
    RECT r = track;
    ui_rect_inflate(&r, KNOB_HALF, 0);
    return PtInRect(&r, p) != 0;
}

void on_button_down(HWND player, POINT p) {
    g_seek_dragging = g_volume_dragging = g_window_dragging = false;
    SetCapture(player);
    GetCursorPos(&g_drag_last_point);
    if (on_slider(g_layout.seek, p)) {
        g_seek_dragging = true;
        seek_to(player, p.x);
        return;
    }
    if (on_slider(g_layout.volume, p)) {
        g_volume_dragging = true;
        set_volume(player, p.x);
        return;
    }
    for (const Control& c : g_rect_controls) {
        if (!PtInRect(c.rect, p)) continue;
        ui_flash_control(c.rect, 1);
        act_rect_control(player, c);
    }
    for (const Control& c : g_round_controls) {
        if (!in_ellipse(c.rect, p)) continue;
        ui_flash_control(c.rect, 0);
        // Posted: a command may open a modal window, which must not run
        // inside this press while the mouse is captured.
        PostMessageA(g_viewer_window, WM_COMMAND, static_cast<WPARAM>(c.command), 0);
        return;
    }
    g_window_dragging = true;
}

const char* tooltip_at(POINT p) {
    const char* tip = nullptr;
    for (const Control& c : g_rect_controls)
        if (PtInRect(c.rect, p)) tip = c.tip;
    for (const Control& c : g_round_controls)
        if (in_ellipse(c.rect, p)) tip = c.tip;
    return tip;
}

void on_mouse_move(HWND player, POINT p, WPARAM buttons) {
    bool down = (buttons & MK_LBUTTON) != 0;
    if (!down) g_seek_dragging = g_window_dragging = false;
    else if (g_seek_dragging) return seek_to(player, p.x);
    else if (g_volume_dragging) return set_volume(player, p.x);
    if (g_volume_dragging) return;
    if (g_window_dragging && down) ui_drag_window(player, &g_drag_last_point);
    SendMessageA(g_bubble_window, UI_WM_BUBBLE_TEXT, 0, reinterpret_cast<LPARAM>(tooltip_at(p)));
}

void on_button_up(HWND player) {
    g_seek_dragging = g_volume_dragging = g_window_dragging = false;
    if (GetCapture() == player) ReleaseCapture();
    GetCursorPos(&g_drag_last_point);
}

// Pause blinks while paused, Play while the engine is in its error state.
void on_timer(HWND player, UINT_PTR id) {
    if (id == FLASH_TIMER) return end_flash(player);
    if (media_get_state() == MEDIA_PAUSED) ui_flash_control(&g_layout.pause, 0);
    if (media_get_state() == MEDIA_ERROR) ui_flash_control(&g_layout.play, 0);
}

void on_size(HWND player, WPARAM kind) {
    if (kind == SIZE_MINIMIZED) {
        if (!IsIconic(g_viewer_window)) ShowWindow(g_viewer_window, SW_MINIMIZE);
        return;
    }
    if (IsIconic(g_viewer_window)) ShowWindow(g_viewer_window, SW_SHOWNORMAL);
    if (IsIconic(player)) ShowWindow(player, SW_SHOWNORMAL);
    RedrawWindow(player, nullptr, nullptr, RDW_INVALIDATE);
}

// The strip keeps the skin's size.
LRESULT on_sizing(RECT* r) { return ui_clamp_sizing(r, STRIP_WIDTH, STRIP_HEIGHT, STRIP_WIDTH, STRIP_HEIGHT); }

// Shown anew above the full-screen video (after the popup menu, say), the
// strip takes the focus once the window manager gives it: the pointer's
// confinement set up meanwhile would keep clicks from it, so it goes.
void on_activate() {
    if (ui_set_viewer_mode(g_viewer_window, VIEWER_MODE_QUERY)) ui_release_pointer();
}

void on_destroy(HWND player) {
    KillTimer(player, BLINK_TIMER);
    KillTimer(player, FLASH_TIMER);
}

POINT point_of(LPARAM lparam) {
    return POINT{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
}

// A tooltip of the strip goes with it, rather than float where it was.
void hide_tooltip() { SendMessageA(g_bubble_window, UI_WM_BUBBLE_TEXT, 0, 0); }

LRESULT CALLBACK player_body(HWND player, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE: on_create(player); return 0;
    case WM_DESTROY: on_destroy(player); break;
    case WM_ACTIVATE: if (LOWORD(wparam) != WA_INACTIVE) on_activate(); break;
    case WM_PAINT: on_paint(player); return 0;
    case WM_LBUTTONDOWN: on_button_down(player, point_of(lparam)); return 0;
    case WM_MOUSEMOVE: on_mouse_move(player, point_of(lparam), wparam); return 0;
    case WM_MOUSEWHEEL: ui_wheel_volume(GET_WHEEL_DELTA_WPARAM(wparam)); return 0;
    case WM_LBUTTONUP: on_button_up(player); return 0;
    case WM_TIMER: on_timer(player, wparam); return 0;
    case WM_SIZE: on_size(player, wparam); return 0;
    case WM_SHOWWINDOW: if (!wparam) hide_tooltip(); break;
    case WM_SIZING: return on_sizing(reinterpret_cast<RECT*>(lparam));
    case WM_CLOSE:
    case WM_KEYDOWN:
    case WM_KEYUP: SendMessageA(g_viewer_window, message, wparam, lparam); return 0;
    case WM_DROPFILES: return SendMessageA(g_viewer_window, message, wparam, lparam);
    }
    return DefWindowProcA(player, message, wparam, lparam);
}

}  // namespace

const WNDPROC ui_player_proc = app_guarded_window<player_body>;

// The highlight goes up at once and the plain face comes back 120 ms later
// from a timer, so a press or a blink never holds the user-interface thread.
int ui_flash_control(const RECT* rect, int style) {
    HWND player = g_player_window;
    if (!player || !rect) return 1;
    if (g_flash_pending) end_flash(player);
    const RECT r = *rect;
    Surface* back = &g_player_back_surface;
    gfx_blit_copy(back, r.left, r.top, r.right, r.bottom, &g_skin_surface, r.left, r.top, r.right, r.bottom,
                  GFX_OPAQUE);
    draw_highlight(r, style);
    HDC dc = GetDC(player);
    gfx_blit_to_dc(dc, r.left, r.top, r.right, r.bottom, back, r.left, r.top, r.right, r.bottom, 0);
    ReleaseDC(player, dc);
    g_flash_rect = r;
    g_flash_style = style;
    g_flash_pending = true;
    SetTimer(player, FLASH_TIMER, 120, nullptr);
    return 1;
}

int ui_wheel_volume(int wheel_delta) {
    // A notch (120) is a twentieth of the range, on the bar's own scale.
    int64_t level = volume_level() + static_cast<int64_t>(wheel_delta) * VOLUME_MAX / (20 * WHEEL_DELTA);
    store_volume(g_player_window, static_cast<int>(level < 0 ? 0 : level > VOLUME_MAX ? VOLUME_MAX : level));
    return 1;
}
