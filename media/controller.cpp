// Playback controller: the user-interface thread's side of the media engine.
// It opens a file by starting the media thread and turns every user action
// into a request that the thread takes; it never touches the decoding chain.
#include <string.h>

#include "../app/app.h"
#include "media_state.h"
#include "radio_parse.h"

PlaybackState g_playback;

namespace {

const DWORD LOADING_LIMIT_MS = 10000;
// A station is given its connection and first-sound limits, and then some.
const DWORD NETWORK_LOADING_LIMIT_MS = 20000;
// The longest the window waits on the media thread, as a stop does.
const DWORD ANSWER_LIMIT_MS = 10000;
const DWORD SLOT_WAIT_MS = 300;  // a busy slot delays a request this long at most

// Set when the media thread did not answer within its limit (a stop gave up,
// a request was never taken); cleared once it has ended.
bool g_stuck;
bool g_refused;  // the last open was refused for a stuck thread, not for its file

const char* const RESTART_LINE =
    "The previous file's decoder has stopped answering: nothing can play until it does, or until Tavlin Media Player is restarted.\n";

void post_event(WPARAM code) {
    if (g_playback.window) PostMessageA(g_playback.window, WM_MEDIA_EVENT, code, g_playback.serial);
}

void blank_window() {
    if (!IsWindow(g_playback.window)) return;
    HDC dc = GetDC(g_playback.window);
    media_fill_black(g_playback.window, dc, nullptr);
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

bool slot_freed() {
    for (DWORD start = GetTickCount(); g_playback.request != REQ_NONE; Sleep(10))
        if (GetTickCount() - start > SLOT_WAIT_MS) return false;
    return true;
}

// A request goes only into a free slot, so none pending is lost; false when
// the slot stayed busy and the request was not made. A stop is the one
// request that replaces a pending one.
bool place_request(int32_t request) {
    if (request == REQ_STOP) {
        g_playback.request = REQ_STOP;
        return true;
    }
    if (!slot_freed()) return false;
    int32_t free_slot = REQ_NONE;
    return g_playback.request.compare_exchange_strong(free_slot, request);
}

// Waits, within the limit, until the thread has taken the request or can no
// longer take it. One still untaken is withdrawn: false. A thread that let
// the limit pass is stuck.
bool wait_taken(int32_t request) {
    for (DWORD start = GetTickCount(); g_playback.request == request && !thread_ended() && !state_is_final();
         Sleep(10))
        if (GetTickCount() - start > ANSWER_LIMIT_MS) {
            g_stuck = true;
            break;
        }
    int32_t untaken = request;
    return !g_playback.request.compare_exchange_strong(untaken, REQ_NONE);
}

// A media thread that never answered still holds the decoding chain:
// nothing new can open until the program starts again. The report says so;
// the file itself is not at fault.
int refuse_open() {
    media_clear_error();
    media_append_error(RESTART_LINE);
    g_refused = true;
    media_draw_status(g_playback.window, "PLAYBACK ERROR");
    post_event(MEDIA_EVENT_OPEN_FAILED);
    return 0;
}

// The thread ended by itself (an end, a failure) or is ending: it takes no
// more requests, and one left in the slot would wait there for nobody.
bool thread_answers() {
    if (!g_playback.thread || g_stuck) return false;
    if (!thread_ended() && !state_is_final() && g_playback.state != MEDIA_STOPPING) return true;
    g_playback.request = REQ_NONE;
    return false;
}

}  // namespace

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
        return place_request(REQ_PLAY) ? 1 : 0;
    }
    media_stop();
    g_refused = false;
    g_playback.serial++;
    post_event(MEDIA_EVENT_OPENING);
    if (g_playback.thread) return refuse_open();
    // The user-interface thread waits only as long as the opening takes,
    // polling finely, so a track change shows its first frame at once.
    for (int attempt = 0;;) {
        g_playback.notify = 0;
        media_draw_status(g_playback.window, "Connecting to DirectSHOW");
        if (g_playback.thread && !media_stop() && g_playback.thread) break;
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
        // Started is playing, or paused by a Pause taken before the first
        // frame: offering Play then would undo the user's Pause.
        auto started = [] { return g_playback.state == MEDIA_PLAYING || g_playback.state == MEDIA_PAUSED; };
        const DWORD limit = media_is_url(g_playback.path) ? NETWORK_LOADING_LIMIT_MS : LOADING_LIMIT_MS;
        for (DWORD start = GetTickCount(); !state_is_final() && !started();) {
            if (GetTickCount() - start > limit) {
                gave_up = true;
                media_stop();
                break;
            }
            // Into a free slot only, without waiting: the loading thread
            // takes none, and the state is looked at every 10 ms.
            int32_t free_slot = REQ_NONE;
            g_playback.request.compare_exchange_strong(free_slot, REQ_PLAY);
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
    // This file's own opening never came back: the thread it left holds on.
    if (g_stuck) media_append_error(RESTART_LINE);
    if (media_is_url(g_playback.path)) media_append_error("The specified stream cannot be played.\n");
    else
        media_append_error(app_file_exists(g_playback.path) ? "The specified file cannot be played.\n"
                                                            : "The specified file does not exist.\n");
    post_event(MEDIA_EVENT_OPEN_FAILED);
    return 0;
}

int media_pause() {
    if (!thread_answers()) return 0;
    return place_request(REQ_PAUSE) ? 1 : 0;
}

// A seek is placed, not waited for: the clock shows its target at once (see
// media_get_position), and a seek still waiting in the slot is given the
// newest target instead of a place of its own, so quick steps never hold
// the window while the thread decodes. The target is written before the
// slot is looked at, and the thread takes the request before reading it.
int media_seek(int64_t target) {
    if (!thread_answers() || media_is_live()) return 0;  // a station has no place to go to
    g_playback.seek_target = target;
    int32_t waiting = g_playback.request;
    if (waiting == REQ_SEEK || waiting == REQ_SEEK_PAUSED) return 1;
    // Paused or not is read once the slot is free: the thread changes the
    // state before it takes the request that changes it.
    if (!slot_freed()) return 0;
    return place_request(g_playback.state == MEDIA_PAUSED ? REQ_SEEK_PAUSED : REQ_SEEK) ? 1 : 0;
}

int media_stop() {
    if (!g_playback.thread) return 0;
    place_request(REQ_STOP);
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
    if (!g_playback.has_video || !thread_answers()) return 0;
    return place_request(REQ_SNAPSHOT) && wait_taken(REQ_SNAPSHOT) ? 1 : 0;
}

int media_get_state() { return g_playback.state; }

int media_is_active() { return g_playback.thread && !state_is_final() ? 1 : 0; }

// A seek still waiting in the slot is where the player is as far as the
// user knows: a second step goes on from it.
int64_t media_get_position() {
    int32_t request = g_playback.request;
    if (request == REQ_SEEK || request == REQ_SEEK_PAUSED)
        return media_clamp_target(g_playback.seek_target, g_playback.duration);
    return g_playback.position;
}

int64_t media_get_duration() { return g_playback.duration; }

int media_get_info(char* type_out, size_t type_size, int* has_video_out) {
    if (!g_playback.thread) return 0;
    if (type_out) {
        char type[sizeof g_playback.type_name];
        media_copy_type_name(type);
        app_copy_text(type_out, type_size, type);
    }
    if (has_video_out) *has_video_out = g_playback.has_video ? 1 : 0;
    return g_playback.state;
}

int media_get_error(char* out, size_t size) {
    char error[sizeof g_playback.error_text];
    media_copy_error(error);
    int length = static_cast<int>(strlen(error));
    if (length < 5) return 0;
    if (out) app_copy_text(out, size, error);
    return length;
}

int media_get_video_rect(RECT* out) {
    if (!g_playback.thread || !g_playback.has_video) return 0;
    *out = media_copy_video_rect();
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

int media_is_stuck() { return g_stuck && g_playback.thread && !thread_ended() ? 1 : 0; }

int media_open_refused() { return g_refused ? 1 : 0; }

void media_redraw() { g_playback.redraw = 1; }
