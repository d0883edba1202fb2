// Playback controller: the user-interface thread's side of the media engine.
// It opens a file by starting the media thread and turns every user action
// into a request that the thread takes; it never touches the decoding chain.
#include <string.h>

#include "../app/app.h"
#include "media_state.h"

PlaybackState g_playback;

namespace {

const DWORD LOADING_LIMIT_MS = 10000;

void post_event(WPARAM code) {
    if (g_playback.window) PostMessageA(g_playback.window, WM_MEDIA_EVENT, code, g_playback.serial);
}

void blank_window() {
    if (!IsWindow(g_playback.window)) return;
    RECT r;
    HDC dc = GetDC(g_playback.window);
    GetClientRect(g_playback.window, &r);
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    ReleaseDC(g_playback.window, dc);
    InvalidateRect(g_playback.window, nullptr, TRUE);
}

bool thread_ended() {
    return !g_playback.thread || WaitForSingleObject(g_playback.thread, 0) == WAIT_OBJECT_0;
}

bool state_is_final() {
    int s = g_playback.state;
    return s == MEDIA_ERROR || s == MEDIA_STOPPED;
}

// Polls the slot for at most 300 ms, then writes the request anyway.
void write_request(int32_t request) {
    for (int i = 0; i < 30 && g_playback.request != REQ_NONE; i++) Sleep(10);
    g_playback.request = request;
}

// Waits until the thread has taken the request, or can no longer take it.
void wait_taken(int32_t request) {
    while (g_playback.request == request && !thread_ended()) {
        int s = g_playback.state;
        if (s == MEDIA_STOPPED || s == MEDIA_ERROR) break;
        Sleep(10);
    }
}

// The previous media thread has not ended: nothing new is opened while it
// may still be using the shared media objects.
// Set when a stop gave up on the media thread; cleared once it has ended.
bool g_stuck;

int refuse_open() {
    media_clear_error();
    media_append_error("The previous file is still being closed.\n");
    media_draw_status(g_playback.window, "PLAYBACK ERROR");
    post_event(MEDIA_EVENT_OPEN_FAILED);
    return 0;
}

}  // namespace

namespace {
struct SharedLock {
    CRITICAL_SECTION section;
    SharedLock() { InitializeCriticalSection(&section); }
};
SharedLock g_shared_lock;
struct Locked {
    Locked() { EnterCriticalSection(&g_shared_lock.section); }
    ~Locked() { LeaveCriticalSection(&g_shared_lock.section); }
};
}  // namespace

void media_append_error(const char* line) {
    Locked hold;
    size_t have = strlen(g_playback.error_text), add = strlen(line);
    if (have + add >= sizeof g_playback.error_text) return;
    memcpy(g_playback.error_text + have, line, add + 1);
}

void media_clear_error() {
    Locked hold;
    g_playback.error_text[0] = 0;
}

void media_set_type_name(const char* name) {
    Locked hold;
    lstrcpynA(g_playback.type_name, name, sizeof g_playback.type_name);
}

void media_store_video_rect(const RECT& r) {
    Locked hold;
    g_playback.video_rect = r;
}

int media_init() {
    if (g_playback.thread) media_stop();
    g_playback.window = nullptr;
    media_set_type_name("");
    g_playback.state = MEDIA_STOPPED;
    g_playback.smoothing_level = 100;
    // Full volume, the knob at its right end: what the user sees is what plays.
    g_playback.volume = MEDIA_VOLUME_FULL;
    return 1;
}

int media_set_window(HWND viewer) {
    if (g_playback.state == MEDIA_PLAYING) {
        int64_t position = g_playback.position;
        media_stop();
        g_playback.window = viewer;
        media_play();
        media_seek(position);
    } else {
        media_stop();
        g_playback.window = viewer;
    }
    blank_window();
    return 1;
}

int media_set_path(const char* path) {
    media_stop();
    if (!path || strlen(path) > 259) path = "";  // never cut into a different file
    strcpy(g_playback.path, path);
    return 1;
}

int media_get_path(char* out, size_t size) {
    g_playback.path[259] = 0;
    return app_copy_text(out, size, g_playback.path);
}

int media_play() {
    // A thread that ended by itself (end of media, a failure) takes no more
    // requests: "Play" then opens the file afresh instead of asking it.
    if (g_playback.thread && !thread_ended()) {
        // A thread a stop gave up on takes no request: the file is refused.
        if (g_stuck) return refuse_open();
        write_request(REQ_PLAY);
        return 1;
    }
    media_stop();
    g_playback.serial++;
    post_event(MEDIA_EVENT_OPENING);
    if (g_playback.thread) return refuse_open();
    // The user-interface thread waits only as long as the opening takes,
    // polling finely, so a track change shows its first frame at once.
    for (int attempt = 0;;) {
        g_playback.notify = 0;
        media_draw_status(g_playback.window, "Connecting to DirectSHOW");
        if (g_playback.thread && !media_stop() && g_playback.thread) return refuse_open();
        media_clear_error();
        media_set_type_name("Unknown Type");
        g_playback.request = REQ_NONE;
        g_playback.state = MEDIA_STOPPED;
        g_playback.thread = CreateThread(nullptr, 0, media_thread_proc, nullptr, 0, nullptr);
        // A thread that has not yet begun would read as a failed attempt:
        // give it until it has set its first state or ended.
        for (int i = 0; i < 500 && g_playback.state == MEDIA_STOPPED && !thread_ended(); i++) Sleep(10);
        media_draw_status(g_playback.window, "Loading via DirectSHOW");
        // A decoder that hangs while opening must not freeze the window: each
        // attempt waits 10 s at most, and a thread still loading then is stopped.
        bool gave_up = false;
        for (DWORD start = GetTickCount(); !state_is_final() && g_playback.state != MEDIA_PLAYING;) {
            if (GetTickCount() - start > LOADING_LIMIT_MS) {
                gave_up = true;
                media_stop();
                break;
            }
            g_playback.request = REQ_PLAY;
            Sleep(10);
        }
        if (g_playback.window) InvalidateRect(g_playback.window, nullptr, FALSE);
        if (!gave_up && !state_is_final()) {
            g_playback.notify = 1;
            return 1;
        }
        if (++attempt >= 2) break;
        media_draw_status(g_playback.window, "Retrying in 0.5 seconds...");
        Sleep(500);
    }
    media_draw_status(g_playback.window, "PLAYBACK ERROR");
    media_set_type_name("");
    media_append_error(app_file_exists(g_playback.path) ? "The specified file cannot be played.\n"
                                                        : "The specified file does not exist.\n");
    post_event(MEDIA_EVENT_OPEN_FAILED);
    return 0;
}

int media_pause() {
    if (!g_playback.thread) return 0;
    write_request(REQ_PAUSE);
    return 1;
}

int media_seek(int64_t target) {
    if (!g_playback.thread) return 0;
    for (int i = 0; i < 30 && g_playback.request != REQ_NONE; i++) Sleep(10);
    g_playback.seek_target = target;
    int32_t request = g_playback.state == MEDIA_PAUSED ? REQ_SEEK_PAUSED : REQ_SEEK;
    g_playback.request = request;
    wait_taken(request);
    return 1;
}

int media_stop() {
    if (!g_playback.thread) return 0;
    write_request(REQ_STOP);
    for (int i = 0; i < 60 && !state_is_final(); i++) {
        g_playback.request = REQ_STOP;
        Sleep(10);
    }
    // The next playback must not meet this one's objects: the handle goes
    // only with the thread. One that does not end is kept, and no new media
    // thread starts while it lives.
    // A thread already found stuck is not waited for again at every stop.
    if (WaitForSingleObject(g_playback.thread, g_stuck ? 0 : 10000) != WAIT_OBJECT_0) {
        g_stuck = true;
        return 0;
    }
    g_stuck = false;
    media_set_type_name("");
    CloseHandle(g_playback.thread);
    g_playback.thread = nullptr;
    if (g_playback.window) InvalidateRect(g_playback.window, nullptr, FALSE);
    return g_playback.state != MEDIA_ERROR ? 1 : 0;
}

int media_snapshot() {
    if (!g_playback.thread || !g_playback.has_video) return 0;
    g_playback.request = REQ_SNAPSHOT;
    wait_taken(REQ_SNAPSHOT);
    return 1;
}

int media_get_state() { return g_playback.state; }

int media_is_active() { return g_playback.thread && !state_is_final() ? 1 : 0; }

int64_t media_get_position() { return g_playback.position; }

int64_t media_get_duration() { return g_playback.duration; }

int media_get_info(char* type_out, size_t type_size, int* has_video_out) {
    if (!g_playback.thread) return 0;
    if (type_out) {
        Locked hold;
        app_copy_text(type_out, type_size, g_playback.type_name);
    }
    if (has_video_out) *has_video_out = g_playback.has_video ? 1 : 0;
    return g_playback.state;
}

int media_get_error(char* out, size_t size) {
    Locked hold;
    int length = static_cast<int>(strlen(g_playback.error_text));
    if (length < 5) return 0;
    if (out) app_copy_text(out, size, g_playback.error_text);
    return length;
}

int media_get_video_rect(RECT* out) {
    if (!g_playback.thread || !g_playback.has_video) return 0;
    Locked hold;
    *out = g_playback.video_rect;
    return 1;
}

int media_get_option(int index) {
    switch (index) {
    case MEDIA_OPTION_VOLUME: return g_playback.volume;
    case MEDIA_OPTION_ASPECT: return g_playback.use_aspect ? 1 : 0;
    case MEDIA_OPTION_BORDERS: return g_playback.remove_borders;
    case MEDIA_OPTION_SMOOTHING: return g_playback.smoothing_level;
    default: return 1;
    }
}

int media_set_option(int index, int value) {
    switch (index) {
    case MEDIA_OPTION_VOLUME:
        g_playback.volume = value;
        break;
    case MEDIA_OPTION_ASPECT: g_playback.use_aspect = value != 0; break;
    case MEDIA_OPTION_BORDERS: g_playback.remove_borders = value != 0; break;
    case MEDIA_OPTION_SMOOTHING: g_playback.smoothing_level = value; break;
    default: return 1;
    }
    if (index == MEDIA_OPTION_ASPECT || index == MEDIA_OPTION_BORDERS) blank_window();
    if (index != MEDIA_OPTION_VOLUME) media_redraw();
    return 1;
}

uint32_t media_get_serial() { return g_playback.serial; }

void media_redraw() { g_playback.redraw = 1; }
