// Single-instance hand-off: a second launch with a file gives the file to the
// copy already running, through a record the user's copies share.
//
// The record is a named mapping in the session's own namespace, made with
// the default (per-user) security: only this user's copies in this session
// see it. Senders take turns through a named mutex, so two launches at the
// same moment cannot both find the slot free and overwrite each other, and
// they wake the receiver's pick-up thread, which moves the file from the
// record into a queue of this process at once, even while the window thread
// is busy opening a file; a message to the viewer window then has the window
// thread add the queued files, even while a dialog runs its own loop.
#include <string.h>

#include "../media/media.h"
#include "../playlist/playlist.h"
#include "../ui/ui.h"
#include "app.h"

namespace {

const char HANDOFF_MAPPING_NAME[] = "Local\\TavlinMediaPlayer11.Handoff";
const char HANDOFF_LOCK_NAME[] = "Local\\TavlinMediaPlayer11.HandoffLock";
const char HANDOFF_READY_NAME[] = "Local\\TavlinMediaPlayer11.HandoffReady";
const char HANDOFF_TAKE_NAME[] = "Local\\TavlinMediaPlayer11.HandoffTake";
// Owned by the one player for its whole life: the first copy started with a
// file takes it before anything else, so launches at the same moment make
// one player, not several.
const char PLAYER_CLAIM_NAME[] = "Local\\TavlinMediaPlayer11.Player";
// Set by every launch that waits to hand its file over.
const char HANDOFF_WAITING_NAME[] = "Local\\TavlinMediaPlayer11.HandoffWaiting";

// Where the mapping cannot be made, this copy stands alone.
SharedHandoff g_private_handoff;

SharedHandoff* map_record() {
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SharedHandoff),
                                        HANDOFF_MAPPING_NAME);
    void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SharedHandoff)) : nullptr;
    // The mapping lives as long as a copy holds it: the handle stays open.
    return view ? static_cast<SharedHandoff*>(view) : &g_private_handoff;
}

// Made on first use, not as the program loads: a program that links this
// code but never hands off makes no named objects.
SharedHandoff& shared_record() {
    static SharedHandoff* record = map_record();  // made once, even from two threads
    return *record;
}
const DWORD POLL_MS = 10;
const DWORD FREE_SLOT_WAIT_MS = 2000;  // then a stale pending path is overwritten
const DWORD PICKUP_WAIT_MS = 10000;
const DWORD TURN_POLL_MS = 500, TURN_WAIT_MS = 120000;

bool slot_pending() { return *reinterpret_cast<volatile char*>(shared_record().path) != 0; }

bool wait_for(bool want_pending, DWORD limit_ms) {
    for (DWORD waited = 0; slot_pending() != want_pending; waited += POLL_MS) {
        if (waited >= limit_ms) return false;
        Sleep(POLL_MS);
    }
    return true;
}

// Files taken from the record, waiting for the window thread. When the
// queue is full the record is left pending and its sender waits as before.
const int QUEUE_SIZE = 256;
const DWORD PICKUP_POLL_MS = 1000;  // a wake-up lost to a race costs this much
char g_queue[QUEUE_SIZE][PLIST_PATH_SIZE];
int g_queue_first, g_queue_count;
SRWLOCK g_queue_lock = SRWLOCK_INIT;

// Two copies started without a file both run as receivers: they take the
// record in turns, so neither reads a path the other has already taken.
HANDLE take_lock() {
    static HANDLE lock = CreateMutexA(nullptr, FALSE, HANDOFF_TAKE_NAME);
    return lock;
}

// Moves a pending path from the record into the queue. True when the record
// was taken (a broken one is cleared too, without a queue entry).
bool take_record() {
    if (!slot_pending()) return false;
    HANDLE lock = take_lock();
    DWORD turn = lock ? WaitForSingleObject(lock, 1000) : WAIT_FAILED;
    if (lock && turn != WAIT_OBJECT_0 && turn != WAIT_ABANDONED) return false;
    AcquireSRWLockExclusive(&g_queue_lock);
    bool taken = slot_pending() && g_queue_count < QUEUE_SIZE;
    if (taken) {
        MemoryBarrier();
        // The record is written by other processes and is trusted only as far
        // as a terminator inside its 260 bytes.
        char* out = g_queue[(g_queue_first + g_queue_count) % QUEUE_SIZE];
        if (app_handoff_read_record(const_cast<const char*>(shared_record().path), sizeof shared_record().path, out,
                                    PLIST_PATH_SIZE))
            g_queue_count++;
        MemoryBarrier();
        *reinterpret_cast<volatile char*>(shared_record().path) = 0;
    }
    ReleaseSRWLockExclusive(&g_queue_lock);
    if (lock) ReleaseMutex(lock);
    return taken;
}

bool pop_queued(char* out, size_t size) {
    AcquireSRWLockExclusive(&g_queue_lock);
    bool any = g_queue_count > 0;
    if (any) {
        lstrcpynA(out, g_queue[g_queue_first], static_cast<int>(size));
        g_queue_first = (g_queue_first + 1) % QUEUE_SIZE;
        g_queue_count--;
    }
    ReleaseSRWLockExclusive(&g_queue_lock);
    return any;
}

HANDLE claim_object() {
    static HANDLE claim = CreateMutexA(nullptr, FALSE, PLAYER_CLAIM_NAME);
    return claim;
}

volatile LONG g_claimed;

bool try_claim() {
    if (g_claimed) return true;
    HANDLE claim = claim_object();
    DWORD taken = claim ? WaitForSingleObject(claim, 0) : WAIT_FAILED;
    if (taken == WAIT_OBJECT_0 || taken == WAIT_ABANDONED) InterlockedExchange(&g_claimed, 1);
    return g_claimed != 0;
}

bool player_ready() { return shared_record().instance_count > 0 && FindWindowA(UI_VIEWER_CLASS, nullptr); }

// Hand-offs that come this close together are one selection in the shell:
// their files are added in the order a folder lists them. (Launched at
// once, programs reach their hand-off a second or more apart on a busy
// machine.) A player started by such a selection waits this long with no
// new file before it plays the first of them.
const DWORD BURST_GAP_MS = 2000, BURST_SETTLE_MS = 700;
int g_burst_first = -1;  // the burst's first entry in the list; -1 before any
DWORD g_burst_at;        // when its last file came
bool g_play_when_settled;

bool g_starting_burst;   // the burst began with the player's own file

// A file of the burst that started the player that comes before the one
// playing: the first in order is played instead, as if it had come first.
void play_first_of_starting_burst() {
    char first[PLIST_PATH_SIZE], playing[APP_PATH_SIZE];
    if (!plist_get(first, sizeof first, g_burst_first)) return;
    media_get_path(playing, sizeof playing);
    if (lstrcmpiA(first, playing) != 0) ui_play_entry(g_burst_first);
}

// Adds a handed-over file; true when the usual "Play" follows it.
bool add_to_burst(char* path) {
    DWORD now = GetTickCount();
    int count = plist_count();
    if (g_burst_first < 0 || g_burst_first > count || now - g_burst_at > BURST_GAP_MS) {
        g_burst_first = count;
        g_starting_burst = false;
    }
    g_burst_at = now;
    plist_add_path(path);
    plist_order_naturally(g_burst_first, plist_count());
    if (!g_starting_burst) return true;
    if (!g_play_when_settled) play_first_of_starting_burst();
    return false;
}

void play_settled_burst() {
    if (!g_play_when_settled || GetTickCount() - g_burst_at < BURST_SETTLE_MS) return;
    g_play_when_settled = false;
    plist_select(g_burst_first, false);
    PostMessageA(g_playlist_window, PLIST_WM_REFRESH, 0, 0);
    PostMessageA(g_viewer_window, WM_COMMAND, UI_CMD_PLAY, 0);
}

DWORD WINAPI pickup_thread(void* ready) {
    for (;;) {
        WaitForSingleObject(ready, PICKUP_POLL_MS);
        try_claim();  // a player that stood beside the one that claimed it takes over when that one ends
        if (take_record()) PostMessageA(g_viewer_window, UI_WM_HANDOFF, 0, 0);
    }
}

}  // namespace

SharedHandoff* app_shared_handoff() { return &shared_record(); }

int app_handoff_start_pickup() {
    HANDLE ready = CreateEventA(nullptr, FALSE, FALSE, HANDOFF_READY_NAME);
    HANDLE thread = ready ? CreateThread(nullptr, 0, pickup_thread, ready, 0, nullptr) : nullptr;
    if (!thread) {
        if (ready) CloseHandle(ready);
        return 0;  // the window thread still takes files between its messages
    }
    CloseHandle(thread);  // it runs as long as the process
    return 1;
}


int app_handoff_send(const char* path) {
    size_t length = strlen(path);
    if (length == 0 || length >= sizeof shared_record().path) return 0;

    // Senders queue for their turn as long as the running copy is there: a
    // long queue (a hundred launches at once) moves slowly but loses nothing.
    HANDLE lock = CreateMutexA(nullptr, FALSE, HANDOFF_LOCK_NAME);
    DWORD taken = WAIT_FAILED;
    for (DWORD waited = 0; lock; waited += TURN_POLL_MS) {
        taken = WaitForSingleObject(lock, TURN_POLL_MS);
        if (taken != WAIT_TIMEOUT || waited >= TURN_WAIT_MS || !FindWindowA(UI_VIEWER_CLASS, nullptr)) break;
    }
    if (lock && taken != WAIT_OBJECT_0 && taken != WAIT_ABANDONED) {
        CloseHandle(lock);
        return 0;  // the running copy is gone or takes no files: not delivered
    }

    wait_for(false, FREE_SLOT_WAIT_MS);
    // The first byte is written last, so the receiver never sees a partial path.
    char* slot = shared_record().path;
    memcpy(slot + 1, path + 1, length);
    MemoryBarrier();
    *reinterpret_cast<volatile char*>(slot) = path[0];
    MemoryBarrier();

    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, HANDOFF_READY_NAME);
    if (ready) {
        SetEvent(ready);
        CloseHandle(ready);
    }
    HWND running = FindWindowA(UI_VIEWER_CLASS, nullptr);
    if (running) PostMessageA(running, UI_WM_HANDOFF, 0, 0);
    bool delivered = wait_for(false, PICKUP_WAIT_MS);
    // Not taken: the path is taken back, so the next sender never writes
    // over it and this launch knows its file did not arrive.
    if (!delivered && strncmp(const_cast<const char*>(slot), path, sizeof shared_record().path) == 0)
        *reinterpret_cast<volatile char*>(slot) = 0;

    if (lock) {
        ReleaseMutex(lock);
        CloseHandle(lock);
    }
    return delivered ? 1 : 0;
}

int app_claim_player() { return try_claim() ? 1 : 0; }

int app_wait_for_player(DWORD limit_ms) {
    HANDLE waiting = nullptr;  // made only while a player starting up is waited for
    int role = APP_ROLE_ALONE;
    for (DWORD start = GetTickCount(); GetTickCount() - start <= limit_ms; Sleep(20)) {
        if (try_claim()) {
            role = APP_ROLE_PLAYER;
            break;
        }
        if (player_ready()) {
            role = APP_ROLE_HAND_OVER;
            break;
        }
        if (!waiting && (waiting = CreateEventA(nullptr, FALSE, FALSE, HANDOFF_WAITING_NAME))) SetEvent(waiting);
    }
    if (waiting) CloseHandle(waiting);
    return role;
}

void app_handoff_first_burst() {
    g_burst_first = 0;
    g_burst_at = GetTickCount();
    g_starting_burst = true;
    HANDLE waiting = CreateEventA(nullptr, FALSE, FALSE, HANDOFF_WAITING_NAME);
    // No other launch waits: nothing to order, and the file plays at once.
    g_play_when_settled = waiting && WaitForSingleObject(waiting, 0) == WAIT_OBJECT_0;
    if (waiting) CloseHandle(waiting);
    if (!g_play_when_settled) PostMessageA(g_viewer_window, WM_COMMAND, UI_CMD_PLAY, 0);
}

int app_handoff_receive() {
    play_settled_burst();
    take_record();
    // One file at a time off the queue: a message box raised while adding
    // one runs a loop that may come back here for the next.
    char path[PLIST_PATH_SIZE];
    int added = 0;
    bool play = false;
    while (pop_queued(path, sizeof path)) {
        play = add_to_burst(path) || play;
        added++;
    }
    if (!added) return 0;
    PostMessageA(g_playlist_window, PLIST_WM_REFRESH, 0, 0);
    if (play) PostMessageA(g_viewer_window, WM_COMMAND, UI_CMD_PLAY, 0);
    plist_progress_hide();
    return 1;
}
