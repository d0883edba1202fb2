// User interface: windows, skin and the services the dialogs share.
#pragma once
#include <windows.h>

#include "../app/app.h"
#include "../gfx/gfx.h"
#include "../resources/resource.h"
#include "art.h"

#define UI_TITLE APP_TITLE
#define UI_VIEWER_CLASS "tavlin_viewer"
#define UI_PLAYER_CLASS "tavlin_player"
#define UI_BUBBLE_CLASS "tavlin_bubble"

#define UI_WM_BUBBLE_TEXT (WM_APP + 1)
#define UI_WM_BUBBLE_SHOW (WM_APP + 2)
#define UI_WM_HANDOFF (WM_APP + 50)  // to the viewer: a second launch left a file in the record

#define UI_CMD_PLAY CMD_PLAY
#define UI_DIALOG_PLAYLIST IDD_PLAYLIST

#define VIEWER_MODE_QUERY 0
#define VIEWER_MODE_FULLSCREEN 1
#define VIEWER_MODE_WINDOWED 2

#define UI_VIEWER_TIMER 16
#define UI_RELEASE_TIMER 17  // once, after the popup menu in full screen
#define UI_NEXT_TRACK_TIMER 18  // once, the next track after a very short one
#define UI_KEY_REPEAT_TIMER 19  // while a key is held

extern HWND g_viewer_window, g_player_window, g_bubble_window, g_control_panel_window;
extern Surface g_logo_surface, g_skin_surface, g_player_back_surface;

// The display's scale a window is on: its DPI / 96, the system's DPI where
// the platform cannot tell a window's (and for no window).
double ui_scale_of(HWND window);
// The scales the windows are drawn at: the viewer's (its logo, the dialogs,
// every font ui_create_font makes) and the strip's (its skin, text and tooltips).
extern double g_ui_scale, g_strip_scale;
// The skin (and the strip's back buffer), or the logo, drawn anew at a scale.
int ui_set_strip_scale(double scale);
int ui_set_viewer_scale(double scale);

int ui_load_skin();
int ui_create_windows(int ignored);
int ui_set_viewer_mode(HWND window, int mode);
int ui_center_window(HWND window, HWND reference);
// Puts a visible strip back above the viewer (after a mode switch, a click, a message box).
void ui_raise_strip();
void ui_release_pointer();
int ui_set_client_size(HWND window, int client_width, int client_height);
int ui_set_window_alpha(HWND window, int alpha);
// A font the caller owns and deletes; size in pixels at 96 DPI, scaled by
// g_ui_scale, unless size_in_points.
HFONT ui_create_font(const char* face, int size, int bold, int italic, int underline, int strike_out,
                     int size_in_points);
// A plain or bold font of size pixels at 96 DPI, at the given scale.
HFONT ui_create_scaled_font(const char* face, int size, int bold, double scale);

// The title clock: "<title> | h:mm:ss / h:mm:ss" from two media times.
void ui_format_title(char* out, size_t size, int64_t position, int64_t duration);

// Effects on a surface: a shadow strength per mille, offset and softness; a
// recursive blur of the channels in mask (1 red, 2 green, 4 blue, 8 T); and
// nearly transparent pixels made fully transparent.
int ui_drop_shadow(Surface* s, int strength, int offset, int softness);
int ui_soft_blur(Surface* s, int amount, int mask);
int ui_clear_faint_pixels(Surface* s);

// The Control Panel (modeless, its handle returned) and the About box (modal).
HWND ui_create_control_panel(HWND owner);
int ui_run_about(HWND owner);

// Plays the playlist entry the user chose, as the viewer does: the entry is
// tried again even when it failed before. 0 when the list holds no such entry.
int ui_play_entry(int index);

// The window procedures, each its body under the fault guard.
extern const WNDPROC ui_viewer_proc, ui_player_proc, ui_bubble_proc;
extern const DLGPROC ui_progress_dialog_proc;

// The import's progress bubble (dialog 111), while one is open.
extern HWND g_progress_window;

// A control of the strip (its rectangle in skin units) highlighted for
// 120 ms: style 1 rectangular, 0 round.
int ui_flash_control(const RECT* rect, int style);

// A window dragged by the pointer: moved by the pointer's movement since
// *last, keeping its size and z-order; *last becomes the pointer's position.
int ui_drag_window(HWND window, POINT* last);
// The mouse wheel over the viewer or the strip: a notch moves the volume by a twentieth.
int ui_wheel_volume(int wheel_delta);
// WM_SIZING: the proposed outer rectangle held between the smallest and the
// largest size by moving its right and bottom edges. Returns TRUE.
#define UI_SIZE_ANY 0x7FFFFFFF
LRESULT ui_clamp_sizing(RECT* proposed, int min_width, int min_height, int max_width, int max_height);

// Rectangles written under a fault guard: null when rect cannot be written.
RECT* ui_rect_set(RECT* rect, int x1, int y1, int x2, int y2);
RECT* ui_rect_inflate(RECT* rect, int dx, int dy);

// Fading a window in and out by its opacity, counted in ms by the caller's
// elapsed and period.
#define BUBBLE_FADE_TIMER 0x1113
int ui_fade_start(HWND window, UINT_PTR timer_id, int* elapsed, int* period, int alpha);
int ui_fade_tick(HWND window, UINT_PTR timer_id, int* elapsed, int* period, int alpha_on, int alpha_off);
int ui_fade_show(HWND window, int* elapsed, int alpha);
int ui_fade_hide(HWND window, int* elapsed, int alpha);
int ui_fade_stop(HWND window, UINT_PTR timer_id);
