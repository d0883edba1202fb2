// The media thread: plays one file from open to end, answering the requests
// the controller leaves in the shared record, and ends itself.
#include <string.h>

#include "../app/fault_guard.h"
#include "media_state.h"
#include "radio_parse.h"
#include "radio_source.h"

namespace {

struct ThreadRun {
    bool completed;   // reached its end without taking the failure path
    uint32_t serial;  // the playback this thread serves
};

int64_t clamp_target(int64_t target) { return media_clamp_target(target, g_playback.duration); }

void post_event(WPARAM code, uint32_t serial) {
    if (g_media.window) PostMessageA(g_media.window, WM_MEDIA_EVENT, code, serial);
}

void read_times() {
    int64_t value;
    STREAM_TIME duration = 0;
    if (g_media.mm_stream->GetDuration(&duration) != S_OK) return;
    g_playback.duration = duration;
    if (media_stream_time(&value) == S_OK) g_playback.position = value;
}

// A seek while paused shows the frame at the new position and stays paused:
// the stream runs just long enough to decode it.
void seek_paused(int64_t target) {
    media_stream_seek(target);
    media_stream_run(true);
    // The first completion after a seek may still hold the old picture: wait
    // (a second at most) for a frame decoded at the new place.
    // A newer request (another step, Play, Stop) ends the wait: that frame
    // would be seen only for a moment. A snapshot waits for it.
    int64_t shown = g_media.frames_presented;
    for (int i = 0; i < 10 && g_media.frames_presented == shown; i++) {
        int32_t waiting = g_playback.request;
        if (waiting != REQ_NONE && waiting != REQ_SNAPSHOT) break;
        if (media_present_frame(true) != 0) break;
    }
    media_stream_run(false);
    g_playback.position = target;
}

void take_snapshot() {
    if (media_snapshot_hook) media_snapshot_hook();
    media_take_snapshot();
}

// While paused nothing is decoded; the frame is drawn again only when the
// window may have lost it, and seeks are answered in place.
void hold_pause() {
    for (;;) {
        // Looked at, not taken: the request that ends the pause is the main
        // loop's. Those answered here are cleared only if the slot still
        // holds them (a stop placed meanwhile stays).
        int32_t request = g_playback.request;
        // A seek placed just as the pause was taken is a paused one too.
        if (request == REQ_SEEK_PAUSED || request == REQ_SEEK) {
            // Taken before the target is read: the window may still move the
            // target of a seek it sees waiting.
            if (g_playback.request.compare_exchange_strong(request, REQ_NONE)) {
                g_playback.position = clamp_target(g_playback.seek_target);
                seek_paused(g_playback.position);
            }
            continue;
        }
        // Taken, then written: the window waits for the taking alone, and a
        // slow disk holds only this thread. The pause goes on.
        if (request == REQ_SNAPSHOT) {
            if (g_playback.request.compare_exchange_strong(request, REQ_NONE)) take_snapshot();
            continue;
        }
        if (request != REQ_NONE) return;
        if (g_playback.redraw.exchange(0)) media_present_frame(false);
        Sleep(20);
    }
}

// A pause taken before the first frame reached the window would hold a
// black picture: that frame is shown first, waited for a second at most.
void show_first_frame() {
    for (int i = 0; i < 10 && g_playback.has_video && !g_playback.shown_any; i++)
        if (media_present_frame(true) != 0) break;
}

// The length the file's header claims, read on this thread as it opens.
int64_t declared_length(const char* path) {
    uint8_t head[4096];
    DWORD got = 0;
    HANDLE f = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return 0;
    if (!ReadFile(f, head, sizeof head, &got, nullptr)) got = 0;
    CloseHandle(f);
    return media_declared_length(head, got);
}

// One pass over a network stream: while the connection is made again the
// window says so; a connection given up fails the playback (1), a finite
// file played out ends it (2); otherwise the pass is an audio file's.
int present_network() {
    int connection = media_network_state();
    if (connection == MEDIA_NET_FAILED) return 1;
    if (media_network_played_out()) return 2;
    if (connection != MEDIA_NET_RECONNECTING) return media_present_frame(true);
    char status[64];
    media_network_status(status, sizeof status);
    media_draw_status(g_media.window, status);
    Sleep(60);
    return 0;
}

void run_body(void* context) {
    ThreadRun* run = static_cast<ThreadRun*>(context);
    run->completed = false;
    if (media_opening_hook) media_opening_hook();
    media_teardown();
    if (media_setup_devices() || media_open_stream() || media_setup_video()) return;
    const bool network = media_is_url(g_media.path);
    const int64_t declared = network ? 0 : declared_length(g_media.path);
    g_playback.position = 0;
    read_times();
    media_set_type_name(network ? "Streaming Audio" : media_type_name(g_media.path, g_playback.has_video != 0));
    if (FAILED(media_stream_run(true))) return;
    media_apply_volume();
    WPARAM exit_code = MEDIA_EVENT_FAILED;
    int32_t opening_play = REQ_PLAY;  // the controller's, while it waited for the start
    g_playback.request.compare_exchange_strong(opening_play, REQ_NONE);
    post_event(MEDIA_EVENT_STARTED, run->serial);

    for (int32_t pass_count = 0;; pass_count++) {
        g_playback.state = MEDIA_PLAYING;
        // Taken in one step: a request placed while this one is answered waits
        // in the slot for the next pass.
        int32_t request = g_playback.request.exchange(REQ_NONE);
        if (media_request_hook) media_request_hook(request);
        if (request == REQ_STOP) {
            exit_code = MEDIA_EVENT_STOPPED;
            break;
        }
        switch (request) {
        case REQ_PLAY: media_stream_run(true); break;
        case REQ_PAUSE:
            show_first_frame();
            g_playback.state = MEDIA_PAUSED;
            break;
        case REQ_SEEK:
            g_playback.position = clamp_target(g_playback.seek_target);
            media_stream_seek(g_playback.position);
            media_stream_run(true);
            break;
        case REQ_SEEK_PAUSED:
            g_playback.position = clamp_target(g_playback.seek_target);
            seek_paused(g_playback.position);
            g_playback.state = MEDIA_PAUSED;
            break;
        case REQ_SNAPSHOT: take_snapshot(); break;
        default: break;
        }
        if (g_playback.state == MEDIA_PAUSED) {
            media_stream_run(false);
            // The Play that ends the pause is taken at once, the state first,
            // so the window need not wait out the resume and a seek it places
            // meanwhile is one for a playing file. A Pause changes nothing.
            for (int32_t ending = REQ_PAUSE; ending == REQ_PAUSE;) {
                hold_pause();
                ending = g_playback.request;
                if (ending == REQ_PLAY) g_playback.state = MEDIA_PLAYING;
                if (ending == REQ_PLAY || ending == REQ_PAUSE)
                    if (!g_playback.request.compare_exchange_strong(ending, REQ_NONE)) ending = REQ_NONE;
            }
            media_stream_seek(g_playback.position);
            media_stream_run(true);
            g_playback.state = MEDIA_PLAYING;
        }
        media_apply_volume();
        int shown = network ? present_network() : media_present_frame(true);
        if (shown == 1) break;
        if (shown == 2) {
            exit_code = MEDIA_EVENT_END;
            break;
        }
        read_times();
        if (pass_count % 15 == 0) SetThreadExecutionState(ES_DISPLAY_REQUIRED);
    }

    // A station given up keeps its reason for the user.
    char network_failure[256] = "";
    if (network && exit_code == MEDIA_EVENT_FAILED) media_network_failure(network_failure, sizeof network_failure);
    int64_t length = g_playback.duration > declared ? g_playback.duration.load() : declared;
    if (exit_code == MEDIA_EVENT_END && !media_ended_as_played(g_playback.shown_any != 0, g_playback.has_video != 0,
                                                               g_media.frames_decoded, g_playback.position, length))
        exit_code = MEDIA_EVENT_FAILED;
    g_playback.request = REQ_NONE;
    g_playback.state = MEDIA_STOPPING;
    media_stream_run(false);
    g_playback.position = 0;
    media_stream_seek(0);
    g_playback.position = 0;
    media_teardown();
    g_playback.state = MEDIA_STOPPED;
    media_clear_error();
    if (network_failure[0]) media_append_error(network_failure);
    // At an end the viewer repaints when it takes the event: after a very
    // short clip it keeps the last frame until the next one opens.
    if (g_media.window && (exit_code != MEDIA_EVENT_END || !g_playback.notify))
        InvalidateRect(g_media.window, nullptr, TRUE);
    media_set_type_name("");
    if (g_playback.notify) post_event(exit_code, run->serial);
    run->completed = true;
}

}  // namespace

// The texts and the rectangle the user-interface thread reads are changed
// under a small lock, as plain copies between fixed buffers that cannot
// fault: no fault can leave the lock held.
namespace {
SRWLOCK g_shared_lock = SRWLOCK_INIT;
}  // namespace

void media_append_error(const char* line) {
    size_t add = strlen(line);
    AcquireSRWLockExclusive(&g_shared_lock);
    size_t have = strlen(g_playback.error_text);
    if (have + add < sizeof g_playback.error_text) memcpy(g_playback.error_text + have, line, add + 1);
    ReleaseSRWLockExclusive(&g_shared_lock);
}

void media_clear_error() {
    AcquireSRWLockExclusive(&g_shared_lock);
    g_playback.error_text[0] = 0;
    ReleaseSRWLockExclusive(&g_shared_lock);
}

void media_set_type_name(const char* name) {
    size_t n = strnlen(name, sizeof g_playback.type_name - 1);
    AcquireSRWLockExclusive(&g_shared_lock);
    memcpy(g_playback.type_name, name, n);
    g_playback.type_name[n] = 0;
    ReleaseSRWLockExclusive(&g_shared_lock);
}

void media_store_video_rect(const RECT& r) {
    AcquireSRWLockExclusive(&g_shared_lock);
    g_playback.video_rect = r;
    ReleaseSRWLockExclusive(&g_shared_lock);
}

void media_copy_type_name(char (&out)[sizeof g_playback.type_name]) {
    AcquireSRWLockShared(&g_shared_lock);
    memcpy(out, g_playback.type_name, sizeof out);
    ReleaseSRWLockShared(&g_shared_lock);
}

void media_copy_error(char (&out)[sizeof g_playback.error_text]) {
    AcquireSRWLockShared(&g_shared_lock);
    memcpy(out, g_playback.error_text, sizeof out);
    ReleaseSRWLockShared(&g_shared_lock);
}

RECT media_copy_video_rect() {
    AcquireSRWLockShared(&g_shared_lock);
    RECT r = g_playback.video_rect;
    ReleaseSRWLockShared(&g_shared_lock);
    return r;
}

// A stream that ran out played when something of it was shown or heard and
// it ran for a second at least, or to within a second of its length: the
// longer of the stream's and the one the file's header claims, since a file
// cut short reports only what is left of it. A video must also have shown
// more than one frame. Taken for an end, a list of a broken file alone would
// open it again and again; a genuine clip, however short, starts over.
bool media_ended_as_played(bool shown_any, bool video, int64_t frames, int64_t reached, int64_t length) {
    const int64_t second = 10000000;
    if (!shown_any || (video && frames < 2)) return false;
    return reached >= second || length - reached <= second;
}

// An AVI file declares its length in its main header (the time of a frame
// in microseconds, and the count of frames): read from the file's first
// bytes; 0 for any other file.
int64_t media_declared_length(const uint8_t* head, size_t size) {
    auto word = [head](size_t at) {
        return static_cast<uint32_t>(head[at]) | static_cast<uint32_t>(head[at + 1]) << 8 |
               static_cast<uint32_t>(head[at + 2]) << 16 | static_cast<uint32_t>(head[at + 3]) << 24;
    };
    if (size < 12 || memcmp(head, "RIFF", 4) != 0 || memcmp(head + 8, "AVI ", 4) != 0) return 0;
    for (size_t at = 12; at + 28 <= size; at++) {
        if (memcmp(head + at, "avih", 4) != 0) continue;
        uint64_t microseconds = static_cast<uint64_t>(word(at + 8)) * word(at + 24);
        const uint64_t year = 31536000ull * 1000000;  // past any real clip; keeps the sum in range
        return static_cast<int64_t>((microseconds < year ? microseconds : year) * 10);
    }
    return 0;
}

void (*media_opening_hook)() = nullptr;
void (*media_seek_hook)() = nullptr;
void (*media_request_hook)(int32_t) = nullptr;
void (*media_snapshot_hook)() = nullptr;

DWORD WINAPI media_thread_proc(LPVOID) {
    g_media.window = g_playback.window;
    memcpy(g_media.path, g_playback.path, sizeof g_media.path);
    g_media.path[sizeof g_media.path - 1] = 0;
    g_playback.state = MEDIA_LOADING;
    media_clear_error();
    g_playback.duration = 0;
    g_playback.position = 0;
    g_playback.shown_any = 0;
    g_media.frames_decoded = 0;
    g_media.last_dest = RECT{0, 0, 0, 0};
    ThreadRun run = {false, g_playback.serial};
    if (!app_run_guarded_whole(run_body, &run) || !run.completed) {
        g_playback.state = MEDIA_ERROR;
        media_teardown();
        media_set_type_name("");
        if (g_playback.notify) post_event(MEDIA_EVENT_FAILED, run.serial);
        if (g_media.window) InvalidateRect(g_media.window, nullptr, TRUE);
    }
    return 0;
}
