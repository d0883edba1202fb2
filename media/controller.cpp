// Playback controller. No decoding chain is attached yet: the controller keeps
// the path, the window and the options, and nothing ever plays.
#include <string.h>

#include "media.h"

namespace {

struct PlaybackState {
    HWND window;
    char path[260];
    volatile LONG state;
    int volume;
    int use_aspect;
    int remove_borders;
    int smoothing_level;
};

PlaybackState g_playback;

void blank_window() {
    if (!IsWindow(g_playback.window)) return;
    RECT r;
    HDC dc = GetDC(g_playback.window);
    GetClientRect(g_playback.window, &r);
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    ReleaseDC(g_playback.window, dc);
    InvalidateRect(g_playback.window, nullptr, TRUE);
}

}  // namespace

int media_init() {
    g_playback.window = nullptr;
    g_playback.state = MEDIA_STOPPED;
    return 1;
}

int media_set_window(HWND viewer) {
    g_playback.window = viewer;
    blank_window();
    return 1;
}

int media_set_path(const char* path) {
    lstrcpynA(g_playback.path, path ? path : "", sizeof g_playback.path);
    return 1;
}

int media_get_path(char* out) {
    g_playback.path[259] = 0;
    strcpy(out, g_playback.path);
    return 1;
}

int media_play() { return 0; }
int media_pause() { return 0; }
int media_seek(int64_t) { return 0; }
int media_stop() { return 0; }
int media_snapshot() { return 0; }
int media_get_state() { return g_playback.state; }
int media_is_active() { return 0; }
int64_t media_get_position() { return 0; }
int64_t media_get_duration() { return 0; }
int media_get_info(char*, int*) { return 0; }
int media_get_error(char*) { return 0; }
int media_get_video_rect(RECT*) { return 0; }

int media_get_option(int index) {
    switch (index) {
    case 0: return g_playback.volume;
    case 1: return g_playback.use_aspect ? 1 : 0;
    case 2: return g_playback.remove_borders;
    case 3: return g_playback.smoothing_level;
    default: return 1;
    }
}

int media_set_option(int index, int value) {
    switch (index) {
    case 0: g_playback.volume = value; break;
    case 1: g_playback.use_aspect = value != 0; break;
    case 2: g_playback.remove_borders = value != 0; break;
    case 3: g_playback.smoothing_level = value; break;
    default: return 1;
    }
    if (index == 1 || index == 2) blank_window();
    return 1;
}
