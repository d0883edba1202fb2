// Steps the viewer and strip tests share: the test clips, the title clock,
// pixels of the screen, and the program's windows driven as a user would.
#pragma once
#include <stdio.h>
#include <stdlib.h>

#include "program_steps.h"

inline std::string quoted(const std::string& path) { return "\"" + path + "\""; }

// A name of this run's own, by which the build machine's process list tells
// the program started with a file of that name from any other.
inline std::string unique_name(const char* stem) {
    return std::string(stem) + "-" + std::to_string(GetTickCount()) + "-" + std::to_string(GetCurrentProcessId());
}

// The playing position the title shows, in seconds; -1 when it shows none.
inline int title_seconds(HWND viewer) {
    std::string t = e2e_text(viewer);
    size_t bar = t.find(" | ");
    int h, m, s;
    if (bar == std::string::npos || sscanf(t.c_str() + bar + 3, "%d:%d:%d", &h, &m, &s) != 3) return -1;
    return h * 3600 + m * 60 + s;
}

// The title stays as it is for a second: the clock stands still.
inline bool clock_holds(HWND viewer) {
    std::string before = e2e_text(viewer);
    Sleep(1000);
    return e2e_text(viewer) == before && title_seconds(viewer) >= 0;
}

inline bool clock_runs(HWND viewer, int timeout_ms) {
    int start = title_seconds(viewer);
    return e2e_wait_until([&] { return title_seconds(viewer) > start; }, timeout_ms);
}

// One pixel of the viewer's client area as the screen shows it.
inline uint32_t pixel(HWND viewer, int x, int y) {
    int w, h;
    std::vector<uint32_t> shot = e2e_capture_client(viewer, &w, &h);
    if (x < 0 || y < 0 || x >= w || y >= h) return 0xFFFFFFFF;
    return shot[y * w + x];
}

inline int red(uint32_t p) { return (p >> 16) & 255; }
inline int green(uint32_t p) { return (p >> 8) & 255; }
inline int blue(uint32_t p) { return p & 255; }
inline bool is_red(uint32_t p) { return p != 0xFFFFFFFF && red(p) > 180 && green(p) < 70 && blue(p) < 70; }
inline bool is_green(uint32_t p) { return p != 0xFFFFFFFF && green(p) > 90 && red(p) < 70 && blue(p) < 70; }
inline bool is_blue(uint32_t p) { return p != 0xFFFFFFFF && blue(p) > 180 && red(p) < 70 && green(p) < 70; }
inline bool is_black(uint32_t p) { return p != 0xFFFFFFFF && red(p) < 16 && green(p) < 16 && blue(p) < 16; }

// The colour at the top middle of the video, clear of the control strip.
template <class Colour>
bool top_shows(HWND viewer, Colour colour, int timeout_ms) {
    return e2e_wait_until([&] {
        RECT c;
        GetClientRect(viewer, &c);
        return colour(pixel(viewer, c.right / 2, 40));
    }, timeout_ms);
}

// Stop, and the title without its clock.
inline bool stop_playing(HWND viewer) {
    PostMessageA(viewer, WM_COMMAND, 40004, 0);
    return e2e_wait_until([&] { return e2e_text(viewer) == TITLE; }, 10000);
}

// The Control Panel opened from the viewer, moved to the screen's corner, clear of the video's middle.
inline HWND open_controls(E2eProgram* program, HWND viewer) {
    PostMessageA(viewer, WM_COMMAND, 40021, 0);
    HWND panel = e2e_wait_window(program->pid, "#32770", "Controls | " TITLE, 10000);
    if (panel) SetWindowPos(panel, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    return panel;
}

inline void hide_player(E2eProgram* program, HWND viewer) {
    HWND player = e2e_find_window(program->pid, "tavlin_player");
    if (player && IsWindowVisible(player)) PostMessageA(viewer, WM_COMMAND, 40008, 0);
    EXPECT_TRUE(e2e_wait_until([&] { return !IsWindowVisible(player); }, 5000));
}

// Full screen as the X server has it: the viewer's X window covers the display.
inline bool x_full_screen(HWND viewer) {
    RECT x;
    int dw, dh;
    return e2e_x_geometry(viewer, &x) && e2e_display_size(&dw, &dh) && x.left == 0 && x.top == 0 &&
           x.right == dw && x.bottom == dh;
}

// Windowed at the given outer size, centred on the screen.
inline bool is_windowed_at(HWND viewer, int width, int height) {
    RECT r;
    GetWindowRect(viewer, &r);
    int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    return (GetWindowLongA(viewer, GWL_STYLE) & WS_CAPTION) == WS_CAPTION && r.right - r.left == width &&
           r.bottom - r.top == height && abs(r.left - (cx - width) / 2) <= 1 && abs(r.top - (cy - height) / 2) <= 1;
}

// A second launch hands its file to the running copy, which appends it.
inline void hand_over(const std::string& path) {
    E2eProgram second;
    ASSERT_TRUE(e2e_start(&second, quoted(path)));
    EXPECT_TRUE(e2e_wait_exit(&second, 15000, nullptr));
    e2e_stop(&second);
}

// Starts the player on a file; null unless its title clock comes to show at least `seconds`.
inline HWND start_playing(E2eProgram* program, const std::string& path, int seconds) {
    HWND viewer = start_player(program, quoted(path));
    if (viewer && !e2e_wait_until([&] { return title_seconds(viewer) >= seconds; }, 15000)) {
        ADD_FAILURE() << "no title clock: " << e2e_text(viewer);
        return nullptr;
    }
    return viewer;
}

// A real click (of the left button, or the one given) at client coordinates of a window.
inline void click(HWND window, int x, int y, int button = 1) {
    e2e_pointer(window, x, y, "click " + std::to_string(button));
}

// Centres of the strip's controls, in its client coordinates, and a click on one.
namespace strip {
const POINT PLAY = {86, 58}, PAUSE = {177, 58}, STOP = {220, 58}, NEXT = {134, 58}, PREVIOUS = {38, 58};
const POINT REWIND = {58, 98}, FORWARD = {113, 98}, HIDE = {338, 18}, EXIT = {407, 18};
const int SEEK_BAR_LEFT = 186, SEEK_BAR_ROW = 98;
}  // namespace strip
inline void press(HWND player, POINT at) { click(player, at.x, at.y); }

// The file name field of an Open or Save dialog: a combo box, or an edit in the older layout.
inline HWND file_name_field(HWND dialog) {
    HWND name = GetDlgItem(dialog, 0x47C);
    return name ? name : GetDlgItem(dialog, 0x480);
}

// "Open Files..." asked of the viewer: the dialog, and its file name field, or null.
inline HWND open_files_name_field(E2eProgram* program, HWND viewer, HWND* dialog) {
    PostMessageA(viewer, WM_COMMAND, 40001, 0);
    *dialog = e2e_wait_window(program->pid, "#32770", "Open", 10000);
    return *dialog ? file_name_field(*dialog) : nullptr;
}

// The red clip with its blue band, fitted into the viewer's client area of
// w x h, wider than 4:3: red in the middle, black bars at the sides, the band
// along the top.
inline void expect_banded_fitted(HWND viewer, int* w, int* h) {
    RECT c;
    GetClientRect(viewer, &c);
    *w = c.right, *h = c.bottom;
    ASSERT_GT(*w, *h) << "a wide window, so the 4:3 video leaves bars at the sides";
    EXPECT_TRUE(e2e_wait_until([&] { return is_red(pixel(viewer, *w / 2, *h / 2)); }, 5000));
    EXPECT_TRUE(is_black(pixel(viewer, 3, *h / 2)));
    EXPECT_TRUE(is_blue(pixel(viewer, *w / 2, 3)));
}
