// Application shell: entry, command line, shortcuts, single-instance hand-off
// and the message loop.
#pragma once
#include <windows.h>

#include "title.h"

#define APP_PATH_SIZE 260  // path buffers: 259 characters and the terminator

extern HINSTANCE g_instance;

// Copies text into a caller's buffer of size bytes when all of it fits, with
// its terminator; otherwise leaves the buffer empty and returns 0. Text is
// never cut short: a shortened path would name another file.
static inline int app_copy_text(char* out, size_t size, const char* text) {
    if (!out || size == 0) return 0;
    size_t n = 0;
    while (text[n] && n < size) n++;
    if (n >= size) {
        out[0] = 0;
        return 0;
    }
    for (size_t i = 0; i <= n; i++) out[i] = text[i];
    return 1;
}

// The record every running copy of the program sees. Layout is fixed: other
// copies of the same executable read it at these offsets.
struct SharedHandoff {
    volatile LONG instance_count;  // +1 per completed start-up, never lowered
    unsigned int reserved;
    char path[260];  // a handed-over file; first byte 0 = nothing pending
};
static_assert(sizeof(SharedHandoff) == 268, "hand-off record layout");

SharedHandoff* app_shared_handoff();
// Copies the path a record holds into out: 1 only for a non-empty path whose
// terminator lies inside the record's record_size bytes and that fits out.
int app_handoff_read_record(const char* record, size_t record_size, char* out, size_t out_size);

// The media file or folder a command line names, into path_out of size bytes
// (empty when none exists); 0 only for an empty command line, and
// APP_PATH_UNOPENABLE_NAME when the file named is there but has no path the
// program can open. The code page's text is taken as the system's UTF-16 is.
int app_parse_command_line(const char* command_line, char* path_out, size_t size);
int app_parse_wide_command_line(const wchar_t* command_line, char* path_out, size_t size);
int app_file_exists(const char* path);
int app_folder_exists(const char* path);
// The target of a shortcut into target_out of size bytes; 0 (and the buffer
// untouched) when it cannot be read or does not fit.
int app_resolve_shortcut(char* target_out, size_t size, const char* shortcut_path);

// A path as the system gives it (UTF-16) into out, size bytes, as a name the
// program's ANSI calls open: the path itself when the code page has every
// one of its characters, else its short (8.3) name. APP_PATH_UNOPENABLE_NAME:
// the file is there, but the system has no name for it that the program can
// open (neither is there: short names are off on its drive).
#define APP_PATH_UNOPENABLE_NAME (-1)
#define APP_PATH_NONE 0  // nothing by that name, or no room
#define APP_PATH_ANSI 1
#define APP_PATH_SHORT 2
int app_ansi_path(const WCHAR* wide, char* out, size_t size);
// The calls app_ansi_path makes, replaced only by tests: the short-name
// look-up, the code page in use and the conversion from UTF-16 into it
// (GetShortPathNameW, GetACP and WideCharToMultiByte in the program).
extern DWORD(WINAPI* app_short_path_lookup)(LPCWSTR, LPWSTR, DWORD);
extern UINT(WINAPI* app_code_page)();
extern int(WINAPI* app_wide_to_ansi)(UINT, DWORD, LPCWCH, int, LPSTR, int, LPCCH, LPBOOL);
// The real name of a path that holds a short-name component, into out of
// count characters; 0 for a path without one (it is shown as it is).
int app_long_name(const char* path, WCHAR* out, size_t count);
// The same for showing a name on every paint: looked up once a path.
int app_shown_name(const char* path, WCHAR* out, size_t count);

// The one player: the first copy started with a file claims it. 1 when this
// copy holds the claim (taken now or before).
int app_claim_player();
// A launch with a file, until the player is ready to take it: whether this
// copy claimed the player, hands the file over, or (the player never became
// ready within the limit) runs alone.
#define APP_ROLE_PLAYER 1
#define APP_ROLE_HAND_OVER 2
#define APP_ROLE_ALONE 3
int app_wait_for_player(DWORD limit_ms);
// The player's own file is the first of a burst: it plays at once, or, while
// other launches wait to hand theirs over, once their files have come and
// the first in the folder's order can be chosen.
void app_handoff_first_burst();
// Sending side: hands path to the running copy; 1 when the running copy took
// it, 0 when it did not (the path is then taken back from the record).
int app_handoff_send(const char* path);
// Receiving side: the pick-up thread moves handed-over files into a queue as
// they come (0 when it could not start); the window thread adds the queued
// files to the playlist after every dispatched message: 1 when it added any.
int app_handoff_start_pickup();
int app_handoff_receive();

// One pass of the message loop for msg: translate, dispatch, take a handed-over
// file, all under a fault guard. Returns 0 when a fault was swallowed.
int app_dispatch_message(MSG* msg);
void app_message_loop();
