// The viewer window: the video or the logo, the title clock, and the command
// centre every transport action passes through.
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <unordered_set>

#include "../app/fault_guard.h"
#include "../media/media.h"
#include "../media/radio_parse.h"
#include "../playlist/playlist.h"
#include "access.h"
#include "ui.h"

namespace {

bool g_menu_open;
POINT g_drag_point;  // pointer position at the previous step of a window drag
// The files that failed since the list was last built anew: each is reported
// once, and the list then goes past it without a word until the user chooses
// it again. When every entry has failed, playback stops. Kept by the path in
// lower case, so a step through a long list of failures stays quick.
std::unordered_set<std::string> g_failed_paths;
uint32_t g_failed_generation;  // the list's build these paths belong to
bool g_told_restart;  // the user knows nothing plays while a decoder does not answer
bool g_show_failure;  // "PLAYBACK ERROR" stays in the viewer until a file opens
bool g_box_open;      // one of the viewer's message boxes is waiting for an answer

const int64_t STEP_100NS = 50000000;  // five seconds
// A playback that ended this soon after it started is followed by the next
// only once this time has passed since its start: a list of clips shorter
// than a second would otherwise spend most of a core opening files.
const DWORD SHORTEST_TRACK_MS = 1500;
DWORD g_started_at;        // when the current playback started
uint32_t g_waiting_serial;  // the ended playback whose next track waits for the timer
bool g_next_waits;          // that timer runs: the short track's last frame stays on screen

// Hands the playlist's current entry to the engine. With no current entry there
// is nothing to open, and the engine keeps what it had.
void play_current_entry(HWND viewer) {
    char path[PLIST_PATH_SIZE];
    if (plist_get_current(path, sizeof path) < 0 || !path[0]) return;
    media_stop();
    media_set_window(viewer);
    media_set_path(path);
    media_play();
}

std::unordered_set<std::string>& failed_paths() {
    if (g_failed_generation != plist_generation()) {
        g_failed_paths.clear();
        g_failed_generation = plist_generation();
    }
    return g_failed_paths;
}

std::string failure_key(const char* path) {
    std::string key(path);
    if (!key.empty()) CharLowerBuffA(&key[0], static_cast<DWORD>(key.size()));
    return key;
}

bool has_failed(const char* path) { return failed_paths().count(failure_key(path)) != 0; }

// False when the file had failed before.
bool remember_failure(const char* path) { return failed_paths().insert(failure_key(path)).second; }

void forget_failure(const char* path) { failed_paths().erase(failure_key(path)); }

// The first entry, stepping from the current one and wrapping, that has not
// failed (the current one last); -1 when every entry has.
int next_playable(int step) {
    int n = plist_count(), current = plist_get_current(nullptr, 0);
    for (int i = 1; i <= n; i++) {
        int index = ((current + step * i) % n + n) % n;
        char path[PLIST_PATH_SIZE];
        if (plist_get(path, sizeof path, index) && !has_failed(path)) return index;
    }
    return -1;
}

// The user chose the entry: it is tried again, even after a failure.
void play_chosen_entry(HWND viewer, int index) {
    char path[PLIST_PATH_SIZE];
    plist_select(index, false);
    if (plist_get_current(path, sizeof path) >= 0) forget_failure(path);
    play_current_entry(viewer);
}

// The title clock, and the strip's seek knob on every tick while playing (a
// short clip moves it several pixels a tick). Paused or stopped, nothing is
// redrawn until the clock changes.
void show_clock(HWND viewer) {
    char title[128] = UI_TITLE, shown[128] = "";
    int64_t position = media_get_position();
    if (position != 0)
        ui_format_title(title, sizeof title, position, media_is_live() ? APP_LIVE_LENGTH : media_get_duration());
    GetWindowTextA(viewer, shown, sizeof shown);
    bool changed = strcmp(title, shown) != 0;
    if (changed) SetWindowTextA(viewer, title);
    if (changed || media_get_state() == MEDIA_PLAYING) InvalidateRect(g_player_window, nullptr, FALSE);
}

int play_or_pause() { return media_get_state() == MEDIA_PLAYING ? CMD_PAUSE : CMD_PLAY; }

// The media keys are polled, so they act whatever program is in front. A
// key counts when it is down now or went down since the last poll, so a
// held key repeats with the timer.
const int POLLED_KEYS[4] = {VK_MEDIA_PLAY_PAUSE, VK_MEDIA_STOP, VK_MEDIA_PREV_TRACK, VK_MEDIA_NEXT_TRACK};
bool g_key_held_over[4];  // down when our window came to the front: not ours until released

// Presses made while another window had the focus (another program, or a
// dialog, message box or menu of ours) are not taken for the viewer's keys.
void forget_keys() {
    for (int i = 0; i < 4; i++) g_key_held_over[i] = (GetAsyncKeyState(POLLED_KEYS[i]) & 0x8000) != 0;
}

void poll_keys(HWND viewer) {
    if (g_box_open) {
        forget_keys();
        return;
    }
    for (int i = 0; i < 4; i++) {
        SHORT k = GetAsyncKeyState(POLLED_KEYS[i]);
        bool pressed = k != 0;
        if (g_key_held_over[i]) {
            g_key_held_over[i] = (k & 0x8000) != 0;
            pressed = false;
        }
        if (!pressed) continue;
        static const int commands[] = {0, CMD_STOP, CMD_PREV_TRACK, CMD_NEXT_TRACK};
        SendMessageA(viewer, WM_COMMAND, commands[i] ? commands[i] : play_or_pause(), 0);
    }
}

// Left, Right, Space and Return come from the key messages of the viewer and
// the strip: each press acts once, however quick the presses. Held, a key
// acts again every 250 ms; the system's faster repeat is not taken.
const int MESSAGE_KEYS[4] = {VK_LEFT, VK_RIGHT, VK_SPACE, VK_RETURN};
const DWORD KEY_REPEAT_MS = 250;
bool g_key_down[4];
DWORD g_key_acted_at[4];

int message_key_index(WPARAM key) {
    for (int i = 0; i < 4; i++)
        if (MESSAGE_KEYS[i] == static_cast<int>(key)) return i;
    return -1;
}

void act_on_key(HWND viewer, int i) {
    static const int commands[] = {CMD_STEP_REVERSE, CMD_STEP_FORWARD, 0, CMD_FULL_SCREEN};
    g_key_acted_at[i] = GetTickCount();
    SendMessageA(viewer, WM_COMMAND, commands[i] ? commands[i] : play_or_pause(), 0);
}

bool ours_in_front(HWND viewer) {
    HWND front = GetForegroundWindow();
    return front && (front == viewer || front == g_player_window);
}

void press_key(HWND viewer, WPARAM key, LPARAM flags) {
    int i = message_key_index(key);
    if (i < 0 || (flags & (1 << 30))) return;  // bit 30: the system's repeat of a held key
    g_key_down[i] = true;
    act_on_key(viewer, i);
    SetTimer(viewer, UI_KEY_REPEAT_TIMER, 40, nullptr);
}

void release_key(WPARAM key) {
    int i = message_key_index(key);
    if (i >= 0) g_key_down[i] = false;
}

// A key still held acts again once its time has come; a key let go, or
// held while another window came to the front, is done with.
void repeat_held_keys(HWND viewer) {
    bool any = false;
    for (int i = 0; i < 4; i++) {
        if (!g_key_down[i]) continue;
        if (!(GetAsyncKeyState(MESSAGE_KEYS[i]) & 0x8000) || !ours_in_front(viewer) || g_box_open) {
            g_key_down[i] = false;
            continue;
        }
        any = true;
        if (GetTickCount() - g_key_acted_at[i] >= KEY_REPEAT_MS) act_on_key(viewer, i);
    }
    if (!any) KillTimer(viewer, UI_KEY_REPEAT_TIMER);
}

bool full_screen(HWND viewer) { return ui_set_viewer_mode(viewer, VIEWER_MODE_QUERY) != 0; }

void erase_background(HWND viewer, HDC dc) {
    int state = media_get_state();
    if (state != MEDIA_PLAYING && state != MEDIA_PAUSED) return;
    RECT video;
    media_fill_black(viewer, dc, media_get_video_rect(&video) ? &video : nullptr);
}

// In full screen the pointer hides unless something it may be needed for is shown.
// Over the client area only; elsewhere the system sets the cursor (false).
bool set_cursor(HWND viewer, UINT hit) {
    if (hit != HTCLIENT) return false;
    bool hide = full_screen(viewer) && !g_menu_open && !IsWindowVisible(g_player_window) &&
                !(g_playlist_window && IsWindowVisible(g_playlist_window)) &&
                !(g_control_panel_window && IsWindowVisible(g_control_panel_window));
    SetCursor(hide ? nullptr : LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));  // IDC_ARROW
    return true;
}

void drag_window(HWND viewer, WPARAM buttons) {
    if (!(buttons & MK_LBUTTON) || IsZoomed(viewer) || full_screen(viewer)) return;
    ui_drag_window(viewer, &g_drag_point);
}

// The logo centred on black, never enlarged, 15 pixels (at 96 DPI) short of the limiting side.
void draw_logo(HWND viewer, HDC dc) {
    RECT client;
    GetClientRect(viewer, &client);
    int cw = client.right, ch = client.bottom, margin = ui_px(15, g_ui_scale);
    int w = g_logo_surface.width, h = g_logo_surface.height;
    HDC logo_dc = nullptr;
    RECT logo = {0, 0, 0, 0};
    // The viewer's DC is its own and keeps its modes between paints.
    int saved = SaveDC(dc);
    if (w > 0 && h > 0 && gfx_surface_get_dc(&g_logo_surface, &logo_dc, nullptr)) {
        double aspect = static_cast<double>(w) / h;
        int dw, dh;
        if (static_cast<double>(h) / (ch + 1) < static_cast<double>(w) / (cw + 1)) {
            dw = cw - margin < w ? cw - margin : w;
            dh = static_cast<int>(dw / aspect);
        } else {
            dh = ch - margin < h ? ch - margin : h;
            dw = static_cast<int>(dh * aspect);
        }
        int x = (cw - dw + 1) / 2, y = (ch - dh + 1) / 2;
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchBlt(dc, x, y, dw, dh, logo_dc, 0, 0, w, h, SRCCOPY);
        gfx_surface_release_dc(&g_logo_surface, &logo_dc);
        logo = {x, y, x + dw, y + dh};
    }
    media_fill_black(viewer, dc, &logo);
    RestoreDC(dc, saved);
}

// Idle: the logo, or "PLAYBACK ERROR" after a failure; between a very short
// track and the next, its last frame. Playing: the media thread draws the
// frame, asked to draw it again.
// What the viewer shows as text, beside its title, for assistive technology.
void status_text(WCHAR* out, size_t count) {
    char status[128];
    if (!media_shown_status(status, sizeof status) ||
        !MultiByteToWideChar(CP_ACP, 0, status, -1, out, static_cast<int>(count)))
        out[0] = 0;
}

void on_paint(HWND viewer) {
    PAINTSTRUCT ps;
    HDC dc = app_begin_paint(viewer, &ps);
    bool idle = !media_is_active();
    if (idle && !g_show_failure && !g_next_waits) {
        media_forget_status();
        draw_logo(viewer, dc);
    }
    app_end_paint(viewer, &ps);
    if (idle && g_show_failure) media_draw_status(viewer, "PLAYBACK ERROR");
    if (!idle) media_redraw();
}

void on_size(HWND viewer, WPARAM kind) {
    if (kind == SIZE_MINIMIZED) {
        ShowWindow(g_player_window, SW_HIDE);
        InvalidateRect(viewer, nullptr, TRUE);
        return;
    }
    if (kind == SIZE_MAXIMIZED) ui_set_viewer_mode(viewer, VIEWER_MODE_FULLSCREEN);
    else ShowWindow(g_player_window, SW_SHOW);
    if (IsIconic(viewer)) ShowWindow(viewer, SW_SHOWNORMAL);
    if (IsIconic(g_player_window)) ShowWindow(g_player_window, SW_SHOWNORMAL);
    InvalidateRect(viewer, nullptr, TRUE);
}

void on_drop(HWND viewer, HDROP drop) {
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    plist_reset();
    for (UINT i = 0; i < count; i++) {
        WCHAR path[PLIST_PATH_SIZE];
        // A name that does not fit the buffer is skipped, never cut short;
        // taken in UTF-16, so no character of it is lost to the code page.
        if (DragQueryFileW(drop, i, nullptr, 0) > PLIST_PATH_MAX) continue;
        if (DragQueryFileW(drop, i, path, PLIST_PATH_SIZE)) plist_add_wide_path(path);
    }
    DragFinish(drop);
    play_chosen_entry(viewer, 0);
    SendMessageA(g_playlist_window, PLIST_WM_REFRESH, 0, 0);
    plist_progress_hide();
}

// Moved or exposed: the frame is drawn again, also while paused.
void repaint_video(HWND viewer) {
    InvalidateRect(viewer, nullptr, TRUE);
    media_redraw();
}

void repaint_all(HWND viewer) {
    InvalidateRect(viewer, nullptr, FALSE);
    InvalidateRect(g_player_window, nullptr, FALSE);
}

void play_entry(HWND viewer, int index) {
    plist_select(index, false);
    play_current_entry(viewer);
    SendMessageA(g_playlist_window, PLIST_WM_REPAINT, 0, 0);
}

// Next and previous go past the files that failed; when all of them have,
// the user's step tries the neighbouring entry again.
void step_track(HWND viewer, int step) {
    int index = next_playable(step);
    if (index < 0 && plist_count() > 0) {
        play_chosen_entry(viewer, plist_select(step, true));
        SendMessageA(g_playlist_window, PLIST_WM_REPAINT, 0, 0);
    } else if (index >= 0) {
        play_entry(viewer, index);
    }
}

// The viewer's message boxes hold the strip, the playlist window and the keys
// too: a Play there would retry the file being reported and stack a second
// report over this one.
int ask_user(HWND viewer, const char* text, const char* caption, UINT type) {
    HWND others[2] = {g_player_window, g_playlist_window};
    bool enabled[2];
    for (int i = 0; i < 2; i++) enabled[i] = others[i] && !EnableWindow(others[i], FALSE);
    bool was_open = g_box_open;
    g_box_open = true;
    int answer = MessageBoxA(viewer, text, caption, type);
    g_box_open = was_open;
    for (int i = 0; i < 2; i++)
        if (enabled[i]) EnableWindow(others[i], TRUE);
    return answer;
}

void report_open_failure(HWND viewer, const char* path) {
    char report[1024] = "", text[1400];
    media_get_error(report, sizeof report);
    snprintf(text, sizeof text, "%s\n\n%s", path, report);
    ask_user(viewer, text, "Media Engine Error", MB_OK);
}

// A file that cannot be opened is reported and the user asked whether to go
// on, the first time only; any failure then moves on to the next file that
// has not failed, or stops when there is none. While a decoder that never
// answered holds on, nothing can open: that is said once, the files refused
// meanwhile are not marked as failed, and the list rests.
void on_failure(HWND viewer, WPARAM code) {
    char path[APP_PATH_SIZE] = "";
    media_get_path(path, sizeof path);
    bool stuck = media_is_stuck() != 0;
    if (!stuck) g_told_restart = false;
    // A station given up after its reconnections fails as a file that will not open does.
    bool opening_failed = code == MEDIA_EVENT_OPEN_FAILED || media_is_url(path);
    bool ask = !media_open_refused() && remember_failure(path) && opening_failed;
    g_show_failure = true;
    repaint_all(viewer);
    if (stuck) {
        if (!g_told_restart) report_open_failure(viewer, path);
        g_told_restart = true;
        return;
    }
    uint32_t serial = media_get_serial();
    if (ask) report_open_failure(viewer, path);
    if (next_playable(1) < 0) return;
    if (ask && ask_user(viewer, "Proceed to the next file in the playlist?", "Proceed?", MB_YESNO) != IDYES)
        return;
    // The user may have started another file while a box was open.
    if (media_get_serial() != serial) return;
    int next = next_playable(1);
    if (next >= 0) play_entry(viewer, next);
}

// A decoder that did not answer has let go after all (a slow machine, not
// a hang): the list goes on from the file it held up, as if nothing had
// happened.
void resume_after_stuck_decoder(HWND viewer) {
    if (!g_told_restart || media_is_stuck() || g_box_open) return;
    g_told_restart = false;
    char path[PLIST_PATH_SIZE];
    if (plist_get_current(path, sizeof path) < 0) return;
    if (!has_failed(path)) play_current_entry(viewer);
    else if (next_playable(1) >= 0) play_entry(viewer, next_playable(1));
    SendMessageA(g_playlist_window, PLIST_WM_REPAINT, 0, 0);
}

void follow_with_next(HWND viewer, uint32_t serial) {
    DWORD played = GetTickCount() - g_started_at;
    if (played >= SHORTEST_TRACK_MS) {
        InvalidateRect(viewer, nullptr, TRUE);
        PostMessageA(viewer, WM_COMMAND, CMD_NEXT_TRACK, 0);
        return;
    }
    g_waiting_serial = serial;
    g_next_waits = SetTimer(viewer, UI_NEXT_TRACK_TIMER, SHORTEST_TRACK_MS - played, nullptr) != 0;
    if (g_next_waits) return;
    InvalidateRect(viewer, nullptr, TRUE);
    PostMessageA(viewer, WM_COMMAND, CMD_NEXT_TRACK, 0);
}

void stop_waiting_for_next(HWND viewer) {
    KillTimer(viewer, UI_NEXT_TRACK_TIMER);
    if (g_next_waits) InvalidateRect(viewer, nullptr, FALSE);  // the logo again, unless a file opens
    g_next_waits = false;
}

// Nothing else was started meanwhile: the list goes on.
void next_after_wait(HWND viewer) {
    stop_waiting_for_next(viewer);
    if (g_waiting_serial == media_get_serial() && !media_is_active())
        SendMessageA(viewer, WM_COMMAND, CMD_NEXT_TRACK, 0);
}

void on_media_event(HWND viewer, WPARAM code, LPARAM serial) {
    if (static_cast<uint32_t>(serial) != media_get_serial()) return;  // a playback since replaced
    switch (code) {
    case MEDIA_EVENT_OPENING:
        g_show_failure = false;
        stop_waiting_for_next(viewer);  // another file opens: the wait is over
        break;
    case MEDIA_EVENT_STARTED: g_started_at = GetTickCount(); break;
    case MEDIA_EVENT_END: follow_with_next(viewer, static_cast<uint32_t>(serial)); break;
    case MEDIA_EVENT_OPEN_FAILED:
    case MEDIA_EVENT_FAILED: on_failure(viewer, code); return;
    case MEDIA_EVENT_STREAM_INFO: InvalidateRect(g_player_window, nullptr, FALSE); return;  // the strip's texts
    }
    if (code <= MEDIA_EVENT_STOPPED) repaint_all(viewer);
}

int open_files(HWND viewer) {
    if (!plist_open_dialog(viewer, false)) return 0;
    play_chosen_entry(viewer, plist_get_current(nullptr, 0));
    SendMessageA(g_playlist_window, PLIST_WM_REFRESH, 0, 0);
    return 1;
}

// Play resumes or reopens the engine's file while it exists; otherwise it
// starts the playlist's current entry, asking for files when the list is empty.
int on_play(HWND viewer) {
    char path[APP_PATH_SIZE];
    media_get_path(path, sizeof path);
    if (app_file_exists(path)) {
        forget_failure(path);
        media_play();
    } else {
        if (plist_count() == 0 && !plist_open_dialog(viewer, false)) return 0;
        play_chosen_entry(viewer, plist_get_current(nullptr, 0));
    }
    SendMessageA(g_playlist_window, PLIST_WM_REPAINT, 0, 0);
    return 1;
}

void toggle_option(int option) { media_set_option(option, !media_get_option(option)); }

int on_command(HWND viewer, int id) {
    switch (id) {
    case CMD_OPEN_FILES:
        return open_files(viewer);
    case CMD_ADD_FILES:
        if (plist_count() == 0) return open_files(viewer);
        plist_open_dialog(viewer, true);
        SendMessageA(g_playlist_window, PLIST_WM_REFRESH, 0, 0);
        break;
    case CMD_VIEW_CONTROL_PANEL:
        g_control_panel_window = ui_create_control_panel(viewer);
        break;
    case CMD_VIEW_PLAYLIST:
        g_playlist_window = plist_create_window(viewer);
        break;
    case CMD_PLAY: return on_play(viewer);
    case CMD_PAUSE: media_pause(); break;
    case CMD_STOP:
        stop_waiting_for_next(viewer);  // a Stop between two short tracks ends the list's run
        media_stop();
        break;
    case CMD_STEP_FORWARD: media_seek(media_get_position() + STEP_100NS); break;
    case CMD_STEP_REVERSE: media_seek(media_get_position() - STEP_100NS); break;
    case CMD_PREV_TRACK: step_track(viewer, -1); break;
    case CMD_NEXT_TRACK: step_track(viewer, 1); break;
    case CMD_SHOW_PLAYER:
        ShowWindow(g_player_window, IsWindowVisible(g_player_window) ? SW_HIDE : SW_SHOW);
        break;
    case CMD_FULL_SCREEN:
        ui_set_viewer_mode(viewer, full_screen(viewer) ? VIEWER_MODE_WINDOWED : VIEWER_MODE_FULLSCREEN);
        break;
    case CMD_USE_ASPECT: toggle_option(MEDIA_OPTION_ASPECT); break;
    case CMD_REMOVE_BORDERS: toggle_option(MEDIA_OPTION_BORDERS); break;
    case CMD_ABOUT: ui_run_about(viewer); break;
    case CMD_EXIT: SendMessageA(viewer, WM_CLOSE, 0, 0); break;
    default: break;
    }
    return 1;
}

void on_popup_menu(HWND viewer) {
    HMENU menu = LoadMenuA(g_instance, MAKEINTRESOURCEA(IDM_VIEWER));
    if (!menu) return;
    POINT p;
    GetCursorPos(&p);
    g_menu_open = true;
    int id = TrackPopupMenu(GetSubMenu(menu, 0), TPM_RETURNCMD, p.x, p.y, 0, viewer, nullptr);
    g_menu_open = false;
    DestroyMenu(menu);
    ui_raise_strip();  // the click that opened the menu raised the viewer over it
    // In full screen the strip goes in front at once, not when the window
    // manager gets to it: with the full-screen video in front the platform
    // confines the pointer again at the next move and the click that follows
    // is lost. Any confinement left by the menu is dropped now and once more
    // when the focus has settled.
    if (full_screen(viewer)) {
        if (IsWindowVisible(g_player_window)) SetForegroundWindow(g_player_window);
        ui_release_pointer();
        SetTimer(viewer, UI_RELEASE_TIMER, 150, nullptr);
    }
    SendMessageA(viewer, WM_COMMAND, id, 0);
}

void on_init_menu(HMENU menu, HWND viewer) {
    auto check = [menu](UINT id, bool on) { CheckMenuItem(menu, id, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED)); };
    check(CMD_FULL_SCREEN, full_screen(viewer));
    check(CMD_SHOW_PLAYER, IsWindowVisible(g_player_window) != 0);
    check(CMD_USE_ASPECT, media_get_option(MEDIA_OPTION_ASPECT) != 0);
    check(CMD_REMOVE_BORDERS, media_get_option(MEDIA_OPTION_BORDERS) != 0);
}

void on_create(HWND viewer) {
    SetTimer(viewer, UI_VIEWER_TIMER, 250, nullptr);
    forget_keys();  // presses from before we started are not ours
}

void on_timer(HWND viewer, WPARAM id) {
    if (id == UI_RELEASE_TIMER) {
        KillTimer(viewer, UI_RELEASE_TIMER);
        if (full_screen(viewer)) ui_release_pointer();
        return;
    }
    if (id == UI_KEY_REPEAT_TIMER) {
        repeat_held_keys(viewer);
        return;
    }
    if (id == UI_NEXT_TRACK_TIMER) {
        next_after_wait(viewer);
        return;
    }
    if (id == UI_VIEWER_TIMER) {
        show_clock(viewer);
        resume_after_stuck_decoder(viewer);
    }
    poll_keys(viewer);
}

// Back in front (a click, a closed message box or dialog): keys pressed
// elsewhere are not ours, and the strip comes back above the video. Taken
// from the strip itself, the strip is still above; showing it anew would
// take the focus back to it and close a popup menu the click opens.
void on_activate(HWND previous) {
    forget_keys();
    if (previous != g_player_window) ui_raise_strip();
}

void on_key_down(HWND viewer, WPARAM key, LPARAM flags) {
    if (key == VK_TAB) {
        ui_strip_enter(GetKeyState(VK_SHIFT) < 0);  // the keyboard's way to the strip's controls
        return;
    }
    press_key(viewer, key, flags);
    if (key == 'C') media_snapshot();
    if (key == VK_ESCAPE && full_screen(viewer)) ui_set_viewer_mode(viewer, VIEWER_MODE_WINDOWED);
}

LRESULT on_sizing(RECT* r) {
    const int least = ui_px(120, g_ui_scale);
    return ui_clamp_sizing(r, least, least, UI_SIZE_ANY, UI_SIZE_ANY);
}

// Moved to a display of another scale: the logo and the texts are drawn at
// it, and a windowed viewer takes the place and size the system suggests.
void on_dpi_changed(HWND viewer, WPARAM dpi, const RECT* suggested) {
    ui_set_viewer_scale(LOWORD(dpi) / 96.0);
    if (suggested && !full_screen(viewer))
        SetWindowPos(viewer, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(viewer, nullptr, TRUE);
}

void on_button_down(HWND viewer) {
    if (!full_screen(viewer)) ui_raise_strip();  // the window manager has just raised the viewer
    SetCapture(viewer);
    GetCursorPos(&g_drag_point);
}

void on_button_up(HWND viewer) {
    ReleaseCapture();
    if (full_screen(viewer)) SendMessageA(viewer, WM_COMMAND, CMD_SHOW_PLAYER, 0);
}

void on_close(HWND viewer) {
    if (ask_user(viewer, "Do you wish to exit Tavlin Media Player?", "Exit Tavlin Media Player", MB_YESNO) != IDYES)
        return;
    DestroyWindow(g_player_window);
    DestroyWindow(viewer);
}

void on_destroy(HWND viewer) {
    media_stop();
    KillTimer(viewer, UI_VIEWER_TIMER);
    PostQuitMessage(0);
}

LRESULT CALLBACK viewer_body(HWND viewer, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE: on_create(viewer); return 0;
    case WM_TIMER: on_timer(viewer, wparam); return 0;
    case WM_KEYDOWN: on_key_down(viewer, wparam, lparam); return 0;
    case WM_KEYUP: release_key(wparam); return 0;
    case WM_GETOBJECT: return ui_plain_get_object(viewer, wparam, lparam, status_text, nullptr);
    case WM_PAINT: on_paint(viewer); return 0;
    case WM_ERASEBKGND: erase_background(viewer, reinterpret_cast<HDC>(wparam)); return 0;
    case WM_SIZE: on_size(viewer, wparam); return 0;
    case WM_MOVE: repaint_video(viewer); return 0;
    case WM_STYLECHANGED: InvalidateRect(viewer, nullptr, FALSE); return 0;
    case WM_SIZING: return on_sizing(reinterpret_cast<RECT*>(lparam));
    case WM_DPICHANGED: on_dpi_changed(viewer, wparam, reinterpret_cast<const RECT*>(lparam)); return 0;
    case WM_SETCURSOR: if (set_cursor(viewer, LOWORD(lparam))) return TRUE; break;
    case WM_LBUTTONDOWN: on_button_down(viewer); return 0;
    case WM_MOUSEMOVE: drag_window(viewer, wparam); return 0;
    case WM_MOUSEWHEEL: ui_wheel_volume(GET_WHEEL_DELTA_WPARAM(wparam)); return 0;
    case WM_LBUTTONUP: on_button_up(viewer); return 0;
    case WM_COMMAND: return on_command(viewer, LOWORD(wparam));
    case WM_INITMENUPOPUP: on_init_menu(reinterpret_cast<HMENU>(wparam), viewer); return 0;
    case WM_RBUTTONUP: on_popup_menu(viewer); return 0;
    case WM_LBUTTONDBLCLK: SendMessageA(viewer, WM_COMMAND, CMD_FULL_SCREEN, 0); return 0;
    case WM_DROPFILES: on_drop(viewer, reinterpret_cast<HDROP>(wparam)); return 0;
    case WM_MEDIA_EVENT: on_media_event(viewer, wparam, lparam); return 0;
    case UI_WM_HANDOFF: app_handoff_receive(); return 0;
    case WM_ACTIVATE: if (LOWORD(wparam) != WA_INACTIVE) on_activate(reinterpret_cast<HWND>(lparam)); break;
    case WM_CLOSE: on_close(viewer); return 0;
    case WM_DESTROY: on_destroy(viewer); return 0;
    }
    return DefWindowProcA(viewer, message, wparam, lparam);
}

}  // namespace

const WNDPROC ui_viewer_proc = app_guarded_window<viewer_body>;

int ui_play_entry(int index) {
    if (index < 0 || index >= plist_count()) return 0;
    play_chosen_entry(g_viewer_window, index);
    return 1;
}
