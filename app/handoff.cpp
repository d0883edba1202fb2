// Single-instance hand-off: a second launch with a file gives the file to the
// copy already running, through a record every copy of the executable shares.
//
// Senders take turns through a named mutex, so two launches at the same moment
// cannot both find the slot free and overwrite each other, and they wake the
// receiver with a posted message so that twenty files pass in well under the
// wait limits.
#include <string.h>

#include "../playlist/playlist.h"
#include "../ui/ui.h"
#include "app.h"

SharedHandoff g_shared_handoff __attribute__((section(".shared"), shared)) = {};

namespace {

const char HANDOFF_LOCK_NAME[] = "tavlin_handoff_lock";
const DWORD POLL_MS = 10;
const DWORD FREE_SLOT_WAIT_MS = 2000;  // then a stale pending path is overwritten
const DWORD PICKUP_WAIT_MS = 10000;

bool slot_pending() { return *reinterpret_cast<volatile char*>(g_shared_handoff.path) != 0; }

bool wait_for(bool want_pending, DWORD limit_ms) {
    for (DWORD waited = 0; slot_pending() != want_pending; waited += POLL_MS) {
        if (waited >= limit_ms) return false;
        Sleep(POLL_MS);
    }
    return true;
}

}  // namespace

SharedHandoff* app_shared_handoff() { return &g_shared_handoff; }

int app_handoff_read_record(const char* record, size_t record_size, char* out, size_t out_size) {
    if (!out || out_size == 0) return 0;
    out[0] = 0;
    const char* end = static_cast<const char*>(memchr(record, 0, record_size));
    if (!end || end == record) return 0;
    size_t length = static_cast<size_t>(end - record);
    if (length >= out_size) return 0;
    memcpy(out, record, length + 1);
    return 1;
}

int app_handoff_send(const char* path) {
    size_t length = strlen(path);
    if (length == 0 || length >= sizeof g_shared_handoff.path) return 0;

    HANDLE lock = CreateMutexA(nullptr, FALSE, HANDOFF_LOCK_NAME);
    DWORD taken = lock ? WaitForSingleObject(lock, FREE_SLOT_WAIT_MS + PICKUP_WAIT_MS) : WAIT_FAILED;
    if (lock && taken != WAIT_OBJECT_0 && taken != WAIT_ABANDONED) {
        // Another sender has held the turn for the whole wait: the running copy
        // is not taking files. Leave without writing over the pending one.
        CloseHandle(lock);
        return 0;
    }

    wait_for(false, FREE_SLOT_WAIT_MS);
    // The first byte is written last, so the receiver never sees a partial path.
    char* slot = g_shared_handoff.path;
    memcpy(slot + 1, path + 1, length);
    MemoryBarrier();
    *reinterpret_cast<volatile char*>(slot) = path[0];
    MemoryBarrier();

    HWND running = FindWindowA(UI_VIEWER_CLASS, nullptr);
    if (running) PostMessageA(running, WM_NULL, 0, 0);
    wait_for(false, PICKUP_WAIT_MS);

    if (lock) {
        ReleaseMutex(lock);
        CloseHandle(lock);
    }
    return 0;
}

int app_handoff_receive() {
    if (!slot_pending()) return 0;
    MemoryBarrier();
    // Work on a copy: the record is written by other processes and is trusted
    // only as far as a terminator inside its 260 bytes.
    char path[PLIST_PATH_SIZE];
    bool whole = app_handoff_read_record(const_cast<const char*>(g_shared_handoff.path), sizeof g_shared_handoff.path,
                                         path, sizeof path) != 0;
    MemoryBarrier();
    *reinterpret_cast<volatile char*>(g_shared_handoff.path) = 0;
    if (!whole) return 0;

    plist_add_path(path);
    PostMessageA(g_playlist_window, PLIST_WM_REFRESH, 0, 0);
    PostMessageA(g_viewer_window, WM_COMMAND, UI_CMD_PLAY, 0);
    plist_progress_hide();
    return 1;
}
