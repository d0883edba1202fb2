// The player window: the skinned control strip. It holds no playback logic:
// presses become the viewer's commands, and the sliders call the engine.
#include <string.h>
#include <wchar.h>

#include "../app/fault_guard.h"
#include "../media/media.h"
#include "../media/radio_parse.h"
#include "../playlist/playlist.h"
#include "access.h"
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

// The strip's size and everything on it in skin units, the 96-DPI picture's
// pixels; the window's pixels are those at g_strip_scale.
const int STRIP_WIDTH = UI_SKIN_WIDTH, STRIP_HEIGHT = UI_FACE_HEIGHT;
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

int px(int v) { return ui_px(v, g_strip_scale); }

// Skin units to the window's pixels: a rectangle whose right and bottom are
// outside it, and one given by inclusive corners.
RECT pixels_of(const RECT& r) { return RECT{px(r.left), px(r.top), px(r.right), px(r.bottom)}; }
RECT pixel_corners_of(const RECT& r) { return RECT{px(r.left), px(r.top), px(r.right + 1) - 1, px(r.bottom + 1) - 1}; }

// White over a control's face (inclusive corners in skin units): a
// translucent box on a rectangular control, a radial glow on a round one.
void draw_highlight(const RECT& skin_rect, int style) {
    Surface* back = &g_player_back_surface;
    if (!gfx_surface_lock(back, 0)) return;
    RECT r = pixel_corners_of(skin_rect);
    if (style == 1) {
        gfx_gradient_blend(back, r.left, r.top, r.right, r.bottom, 0xAFFFFFFF, 0xAFFFFFFF, 0xAFFFFFFF, 0xAFFFFFFF, 0);
    } else {
        RECT grown = {skin_rect.left - 1, skin_rect.top - 1, skin_rect.right + 1, skin_rect.bottom + 1};
        r = pixel_corners_of(grown);
        gfx_radial_blend(back, r.left, r.top, r.right, r.bottom, 0x3FFFFFFF, 0xBFFFFFFF, 0);
    }
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
    RECT to = pixel_corners_of(RECT{x - KNOB_HALF, top, x + KNOB_HALF, bottom});
    RECT from = pixel_corners_of(RECT{KNOB_X1, KNOB_Y1, KNOB_X2, KNOB_Y2});
    gfx_blit_blend(&g_player_back_surface, to.left, to.top, to.right, to.bottom, &g_skin_surface, from.left,
                   from.top, from.right, from.bottom, 0);
}

// A part of the strip (skin units, right and bottom outside) painted afresh.
void invalidate(HWND player, const RECT& skin_rect) {
    RECT r = pixels_of(skin_rect);
    InvalidateRect(player, &r, FALSE);
}

// A station has no length: its knob rests at the start.
int seek_knob_offset() {
    int64_t d = media_get_duration();
    if (d <= 0 || media_is_live()) return 0;
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
    NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, player, OBJID_CLIENT, UI_STRIP_VOLUME);
    RECT r = g_layout.volume;
    ui_rect_inflate(&r, 8, 8);
    invalidate(player, r);
    UpdateWindow(player);
}

// Text into out (count characters, one per byte at most). What a station
// sends is taken as UTF-8 when it reads as such, as most stations send it;
// the rest is the code page's.
void widen(const char* text, bool from_station, WCHAR* out, size_t count) {
    UINT page = from_station && plist_is_utf8_beyond_ascii(text) && plist_is_utf8(text) ? CP_UTF8 : CP_ACP;
    if (!MultiByteToWideChar(page, 0, text, -1, out, static_cast<int>(count))) out[0] = 0;
}

// A station's two lines: its name (the list's for it, else its own while it
// plays, else its address) and the song now playing, or the media type while
// it names none. False when the engine's path is no station's.
const size_t LINE_SIZE = APP_PATH_SIZE + 1;
bool live_lines(WCHAR* station, WCHAR* song) {
    char path[APP_PATH_SIZE], name[LINE_SIZE], title[LINE_SIZE], listed[PLIST_TITLE_SIZE];
    media_get_path(path, sizeof path);
    if (!media_is_url(path)) return false;
    media_get_stream_info(name, sizeof name, title, sizeof title);
    if (plist_title_of(path, listed, sizeof listed) && listed[0]) widen(listed, false, station, LINE_SIZE);
    else if (name[0]) widen(name, true, station, LINE_SIZE);
    else widen(path, false, station, LINE_SIZE);
    if (title[0]) widen(title, true, song, LINE_SIZE);
    else if (media_get_info(title, sizeof title, nullptr)) widen(title, false, song, LINE_SIZE);
    else song[0] = 0;
    return true;
}

// The file name in cyan on the text area's first line, the media type in
// green on its bottom line; for a station, its name and the song playing.
void draw_texts(HDC dc) {
    HFONT font = ui_create_scaled_font("Arial", 11, 0, g_strip_scale);
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    RECT area = pixels_of(g_layout.text);
    WCHAR station[LINE_SIZE + 1] = L" ", song[LINE_SIZE + 1] = L" ";
    char text[APP_PATH_SIZE + 1] = " ";
    WCHAR real[APP_PATH_SIZE * 2] = L" ";
    if (live_lines(station + 1, song + 1)) {
        SetTextColor(dc, RGB(0, 255, 255));
        DrawTextW(dc, station, -1, &area, DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
        SetTextColor(dc, RGB(0, 255, 0));
        DrawTextW(dc, song, -1, &area, DT_SINGLELINE | DT_NOPREFIX | DT_BOTTOM | DT_END_ELLIPSIS);
    } else {
        media_get_path(text + 1, sizeof text - 1);
        // A file opened by its short name shows the name its owner gave it.
        bool long_name = app_shown_name(text + 1, real + 1, APP_PATH_SIZE * 2 - 1);
        char* slash = strrchr(text + 1, '\\');
        char* name = text;
        if (slash) {
            *slash = ' ';
            name = slash;
        }
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
    }
    SelectObject(dc, old);
    DeleteObject(font);
}

void draw_focus_mark(HWND player);

void on_paint(HWND player) {
    PAINTSTRUCT ps;
    HDC dc = app_begin_paint(player, &ps);
    Surface* back = &g_player_back_surface;
    const int w = px(STRIP_WIDTH), h = px(STRIP_HEIGHT);
    gfx_blit_copy(back, 0, 0, w - 1, h - 1, &g_skin_surface, 0, 0, w - 1, h - 1, GFX_OPAQUE);
    draw_knob(SEEK_LEFT + seek_knob_offset(), SEEK_TOP, SEEK_BOTTOM);
    draw_knob(VOLUME_LEFT + volume_knob_offset(), VOLUME_TOP, VOLUME_BOTTOM);
    HDC back_dc = nullptr;
    if (gfx_surface_get_dc(back, &back_dc, nullptr)) {
        draw_texts(back_dc);
        gfx_surface_release_dc(back, &back_dc);
    }
    draw_focus_mark(player);
    if (g_flash_pending) draw_highlight(g_flash_rect, g_flash_style);  // a repaint keeps a flash that is on
    gfx_blit_to_dc(dc, 0, 0, w - 1, h - 1, back, 0, 0, w - 1, h - 1, 0);
    app_end_paint(player, &ps);
}

// The face of the flashed control comes back: the strip is painted afresh
// there, knobs and texts included.
void end_flash(HWND player) {
    KillTimer(player, FLASH_TIMER);
    if (!g_flash_pending) return;
    g_flash_pending = false;
    invalidate(player, RECT{g_flash_rect.left - 1, g_flash_rect.top - 1, g_flash_rect.right + 2, g_flash_rect.bottom + 2});
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
    invalidate(player, r);
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

// The strip's children as assistive technology numbers them, from 1: the
// fourteen buttons in the layout table's order, the sliders, the text area.
const Control* button(int child) {
    if (child >= 1 && child <= 5) return &g_rect_controls[child - 1];
    if (child >= 6 && child <= UI_STRIP_BUTTONS) return &g_round_controls[child - 6];
    return nullptr;
}

const RECT* child_rect(int child) {
    if (const Control* c = button(child)) return c->rect;
    if (child == UI_STRIP_SEEK) return &g_layout.seek;
    if (child == UI_STRIP_VOLUME) return &g_layout.volume;
    if (child == UI_STRIP_TEXT) return &g_layout.text;
    return nullptr;
}

// The button under a point in skin units, 0 for none.
int button_at(POINT p) {
    for (int child = 1; child <= UI_STRIP_BUTTONS; child++) {
        const RECT* r = child_rect(child);
        if (child <= 5 ? PtInRect(r, p) != 0 : in_ellipse(r, p)) return child;
    }
    return 0;
}

// A button pressed, by the pointer, the keyboard or a reader alike.
void press_button(HWND player, int child) {
    const Control* c = button(child);
    if (!c) return;
    NotifyWinEvent(EVENT_OBJECT_INVOKED, player, OBJID_CLIENT, child);
    if (child <= 5) {
        ui_flash_control(c->rect, 1);
        act_rect_control(player, *c);
        return;
    }
    ui_flash_control(c->rect, 0);
    // Posted: a command may open a modal window, which must not run
    // inside this press while the mouse is captured.
    PostMessageA(g_viewer_window, WM_COMMAND, static_cast<WPARAM>(c->command), 0);
}

int g_focus;  // the child with the keyboard's focus mark, 0 for none

void set_focus(HWND player, int child) {
    if (child == g_focus) return;
    const int both[2] = {g_focus, child};
    for (int old_or_new : both)
        if (const RECT* r = child_rect(old_or_new)) {
            RECT grown = *r;
            ui_rect_inflate(&grown, 5, 5);
            invalidate(player, grown);
        }
    g_focus = child;
    if (child) NotifyWinEvent(EVENT_OBJECT_FOCUS, player, OBJID_CLIENT, child);
}

// The focus mark: a yellow frame inside a black one around the control,
// clear on any part of the face, two and one skin pixels wide.
void draw_focus_mark(HWND player) {
    const RECT* r = child_rect(g_focus);
    if (!r || GetFocus() != player) return;
    Surface* back = &g_player_back_surface;
    if (!gfx_surface_lock(back, 0)) return;
    RECT outer = {r->left - 4, r->top - 4, r->right + 3, r->bottom + 3};
    const RECT rings[2] = {pixel_corners_of(outer), pixel_corners_of(RECT{outer.left + 1, outer.top + 1,
                                                                            outer.right - 1, outer.bottom - 1})};
    const uint32_t colours[2] = {0xFF000000, 0xFFFFE000};
    const int widths[2] = {px(1) > 0 ? px(1) : 1, px(2) > 0 ? px(2) : 1};
    for (int i = 0; i < 2; i++) {
        const RECT& q = rings[i];
        int w = widths[i];
        gfx_fill_copy(back, q.left, q.top, q.right, q.top + w - 1, colours[i], 0);
        gfx_fill_copy(back, q.left, q.bottom - w + 1, q.right, q.bottom, colours[i], 0);
        gfx_fill_copy(back, q.left, q.top, q.left + w - 1, q.bottom, colours[i], 0);
        gfx_fill_copy(back, q.right - w + 1, q.top, q.right, q.bottom, colours[i], 0);
    }
    gfx_surface_unlock(back, 0);
}

// The text area as it is drawn, as one line: the file's name, then its
// type; a station's name, then its song.
void text_area_name(WCHAR* out, size_t count) {
    out[0] = 0;
    WCHAR station[LINE_SIZE], song[LINE_SIZE];
    if (live_lines(station, song)) {
        lstrcpynW(out, station, static_cast<int>(count));
        if (song[0] && wcslen(out) + 3 < count) {
            wcscat(out, L", ");
            wcsncat(out, song, count - wcslen(out) - 1);
        }
        return;
    }
    char path[APP_PATH_SIZE];
    media_get_path(path, sizeof path);
    if (!path[0]) return;
    WCHAR real[APP_PATH_SIZE * 2];
    const WCHAR* name = real;
    if (app_shown_name(path, real, APP_PATH_SIZE * 2)) {
        const WCHAR* slash = wcsrchr(real, '\\');
        name = slash ? slash + 1 : real;
    } else {
        const char* slash = strrchr(path, '\\');
        if (!MultiByteToWideChar(CP_ACP, 0, slash ? slash + 1 : path, -1, real, APP_PATH_SIZE * 2)) real[0] = 0;
    }
    lstrcpynW(out, name, static_cast<int>(count));
    char type[80];
    WCHAR wide_type[80];
    if (media_get_info(type, sizeof type, nullptr) && type[0] &&
        MultiByteToWideChar(CP_ACP, 0, type, -1, wide_type, 80) && wcslen(out) + 3 < count) {
        wcscat(out, L", ");
        wcsncat(out, wide_type, count - wcslen(out) - 1);
    }
}

// What a reader was last told of the text area and the seek bar.
WCHAR g_told_name[280];
DWORD g_seek_told_at;

// A new file in the text area, and the seek bar's motion at most once a
// second while playing, told to whoever listens.
void tell_changes(HWND player) {
    WCHAR name[280];
    text_area_name(name, 280);
    if (wcscmp(name, g_told_name) != 0) {
        lstrcpynW(g_told_name, name, 280);
        NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, player, OBJID_CLIENT, UI_STRIP_TEXT);
    }
    DWORD now = GetTickCount();
    if (media_get_state() == MEDIA_PLAYING && now - g_seek_told_at >= 1000) {
        g_seek_told_at = now;
        NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, player, OBJID_CLIENT, UI_STRIP_SEEK);
    }
}

// A focused slider moved from the keyboard: the volume by twentieths, the
// position by five seconds; Home and End to either end.
void step_slider(HWND player, int child, WPARAM key) {
    if (child == UI_STRIP_VOLUME) {
        int64_t twentieths = (static_cast<int64_t>(volume_level()) * 20 + VOLUME_MAX / 2) / VOLUME_MAX;
        twentieths = key == VK_HOME ? 0 : key == VK_END ? 20 : twentieths + (key == VK_RIGHT ? 1 : -1);
        twentieths = twentieths < 0 ? 0 : twentieths > 20 ? 20 : twentieths;
        store_volume(player, static_cast<int>(twentieths * VOLUME_MAX / 20));
        return;
    }
    int64_t length = media_get_duration();
    if (length <= 0) return;
    int64_t at = media_get_position() + (key == VK_RIGHT ? 1 : -1) * 50000000LL;
    if (key == VK_HOME) at = 0;
    if (key == VK_END) at = length;
    media_seek(at < 0 ? 0 : at > length ? length : at);
    invalidate(player, g_layout.seek);
    NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, player, OBJID_CLIENT, UI_STRIP_SEEK);
}

// Tab and Shift+Tab walk the controls; past either end the focus goes back
// to the viewer.
void move_focus(HWND player, bool back) {
    int next = g_focus ? g_focus + (back ? -1 : 1) : back ? UI_STRIP_CHILDREN : 1;
    if (next < 1 || next > UI_STRIP_CHILDREN) {
        set_focus(player, 0);
        SetForegroundWindow(g_viewer_window);
        SetFocus(g_viewer_window);
        return;
    }
    set_focus(player, next);
}

// The keys of the focus mark; the others, and all of them without a mark,
// go to the viewer as they always did. True when taken here.
bool on_focus_key(HWND player, UINT message, WPARAM key, LPARAM flags) {
    bool down = message == WM_KEYDOWN;
    if (key == VK_TAB) {
        if (down) move_focus(player, GetKeyState(VK_SHIFT) < 0);
        return true;
    }
    if (!g_focus) return false;
    bool slider = g_focus == UI_STRIP_SEEK || g_focus == UI_STRIP_VOLUME;
    switch (key) {
    case VK_SPACE:
    case VK_RETURN:
        if (down && !(flags & (1 << 30))) press_button(player, g_focus);  // held down, it presses once
        return true;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_HOME:
    case VK_END:
        if (!slider) return false;
        if (down) step_slider(player, g_focus, key);
        return true;
    }
    return false;
}

void on_key(HWND player, UINT message, WPARAM key, LPARAM flags) {
    if (!on_focus_key(player, message, key, flags)) SendMessageA(g_viewer_window, message, key, flags);
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
    int child = button_at(p);
    press_button(player, child);
    if (child > 5) return;  // the round ones; a press on the others may go on to drag the strip
    g_window_dragging = true;
}

const char* tooltip_at(POINT p) {
    const Control* c = button(button_at(p));
    return c ? c->tip : nullptr;
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
    tell_changes(player);
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
LRESULT on_sizing(RECT* r) {
    const int w = px(STRIP_WIDTH), h = px(STRIP_HEIGHT);
    return ui_clamp_sizing(r, w, h, w, h);
}

// Moved to a display of another scale: the skin is drawn at it, and the
// strip takes the place the system suggests at the skin's size there.
void on_dpi_changed(HWND player, WPARAM dpi, const RECT* suggested) {
    double scale = LOWORD(dpi) / 96.0;
    if (scale != g_strip_scale) ui_set_strip_scale(scale);
    RECT r;
    GetWindowRect(player, &r);
    if (suggested) r = *suggested;
    SetWindowPos(player, nullptr, r.left, r.top, px(STRIP_WIDTH), px(STRIP_HEIGHT), SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(player, nullptr, FALSE);
}

// Shown anew above the full-screen video (after the popup menu, say), the
// strip takes the focus once the window manager gives it: the pointer's
// confinement set up meanwhile would keep clicks from it, so it goes.
void on_activate(HWND player, WPARAM state) {
    // Another program's window in front: the focus mark goes with the
    // focus, which the system does not always take away with a message.
    if (LOWORD(state) == WA_INACTIVE) return set_focus(player, 0);
    if (ui_set_viewer_mode(g_viewer_window, VIEWER_MODE_QUERY)) ui_release_pointer();
}

void on_destroy(HWND player) {
    KillTimer(player, BLINK_TIMER);
    KillTimer(player, FLASH_TIMER);
}

// A pointer position in skin units, where the controls are tested.
POINT point_of(LPARAM lparam) {
    return POINT{ui_unit(static_cast<short>(LOWORD(lparam)), g_strip_scale),
                 ui_unit(static_cast<short>(HIWORD(lparam)), g_strip_scale)};
}

// A tooltip of the strip goes with it, rather than float where it was.
void hide_tooltip() { SendMessageA(g_bubble_window, UI_WM_BUBBLE_TEXT, 0, 0); }

LRESULT CALLBACK player_body(HWND player, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE: on_create(player); return 0;
    case WM_DESTROY: on_destroy(player); break;
    case WM_ACTIVATE: on_activate(player, wparam); break;
    case WM_PAINT: on_paint(player); return 0;
    case WM_LBUTTONDOWN: on_button_down(player, point_of(lparam)); return 0;
    case WM_MOUSEMOVE: on_mouse_move(player, point_of(lparam), wparam); return 0;
    case WM_MOUSEWHEEL: ui_wheel_volume(GET_WHEEL_DELTA_WPARAM(wparam)); return 0;
    case WM_LBUTTONUP: on_button_up(player); return 0;
    case WM_TIMER: on_timer(player, wparam); return 0;
    case WM_SIZE: on_size(player, wparam); return 0;
    case WM_SHOWWINDOW: if (!wparam) hide_tooltip(); break;
    case WM_SIZING: return on_sizing(reinterpret_cast<RECT*>(lparam));
    case WM_DPICHANGED: on_dpi_changed(player, wparam, reinterpret_cast<const RECT*>(lparam)); return 0;
    case WM_CLOSE: SendMessageA(g_viewer_window, message, wparam, lparam); return 0;
    case WM_KEYDOWN:
    case WM_KEYUP: on_key(player, message, wparam, lparam); return 0;
    case WM_KILLFOCUS: set_focus(player, 0); return 0;
    case WM_GETOBJECT: return ui_strip_get_object(player, wparam, lparam);
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
    const RECT r = *rect, p = pixel_corners_of(r);
    Surface* back = &g_player_back_surface;
    gfx_blit_copy(back, p.left, p.top, p.right, p.bottom, &g_skin_surface, p.left, p.top, p.right, p.bottom,
                  GFX_OPAQUE);
    draw_highlight(r, style);
    HDC dc = GetDC(player);
    gfx_blit_to_dc(dc, p.left, p.top, p.right, p.bottom, back, p.left, p.top, p.right, p.bottom, 0);
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

bool ui_strip_child(int child, UiStripChild* out) {
    const RECT* r = child_rect(child);
    if (!r || !out) return false;
    out->rect = pixels_of(*r);
    out->name[0] = out->value[0] = 0;
    if (const Control* c = button(child)) {
        MultiByteToWideChar(CP_ACP, 0, c->tip, -1, out->name, 280);
    } else if (child == UI_STRIP_SEEK) {
        lstrcpynW(out->name, L"Seek bar", 280);
        if (media_is_live()) {
            // A station's time as the title clock shows it, after the program's name.
            char clock[128];
            ui_format_title(clock, sizeof clock, media_get_position(), APP_LIVE_LENGTH);
            const char* time = strstr(clock, "| ");
            MultiByteToWideChar(CP_ACP, 0, time ? time + 2 : clock, -1, out->value, 64);
        } else {
            ui_position_text(media_get_position(), media_get_duration(), out->value, 64);
        }
    } else if (child == UI_STRIP_VOLUME) {
        lstrcpynW(out->name, L"Volume bar", 280);
        ui_percent_text(static_cast<int>((volume_level() * 100 + VOLUME_MAX / 2) / VOLUME_MAX), out->value, 64);
    } else {
        text_area_name(out->name, 280);
    }
    return true;
}

int ui_strip_child_at(POINT client) {
    POINT p = {ui_unit(client.x, g_strip_scale), ui_unit(client.y, g_strip_scale)};
    if (on_slider(g_layout.seek, p)) return UI_STRIP_SEEK;
    if (on_slider(g_layout.volume, p)) return UI_STRIP_VOLUME;
    if (int child = button_at(p)) return child;
    return PtInRect(&g_layout.text, p) ? UI_STRIP_TEXT : 0;
}

int ui_strip_focus() { return g_focus; }

void ui_strip_set_focus(int child) {
    if (g_player_window) set_focus(g_player_window, child >= 0 && child <= UI_STRIP_CHILDREN ? child : 0);
}

bool ui_strip_press(int child) {
    if (!button(child) || !g_player_window) return false;
    press_button(g_player_window, child);
    return true;
}

bool ui_strip_set_value(int child, const WCHAR* value) {
    if (!g_player_window) return false;
    if (child == UI_STRIP_VOLUME) {
        int percent = ui_parse_percent(value);
        if (percent < 0) return false;
        store_volume(g_player_window, (percent * VOLUME_MAX + 50) / 100);
        return true;
    }
    long long seconds = child == UI_STRIP_SEEK ? ui_parse_clock(value) : -1;
    int64_t length = media_get_duration();
    if (seconds < 0 || length <= 0) return false;
    int64_t at = seconds * 10000000LL;
    media_seek(at > length ? length : at);
    invalidate(g_player_window, g_layout.seek);
    return true;
}

int ui_strip_enter(bool from_the_end) {
    HWND player = g_player_window;
    if (!player || !IsWindowVisible(player)) return 0;
    SetForegroundWindow(player);
    SetFocus(player);
    set_focus(player, from_the_end ? UI_STRIP_CHILDREN : 1);
    return 1;
}
