// Application shell: entry, command line, shortcuts, single-instance hand-off
// and the message loop.
#pragma once
#include <windows.h>

#define APP_TITLE "Tavlin Media Player 1.1"
#define APP_PATH_SIZE 260  // path buffers: 259 characters and the terminator

extern HINSTANCE g_instance;

// The record every running copy of the program sees. Layout is fixed: other
// copies of the same executable read it at these offsets.
struct SharedHandoff {
    volatile LONG instance_count;  // +1 per completed start-up, never lowered
    unsigned int reserved;
    char path[260];  // a handed-over file; first byte 0 = nothing pending
};
static_assert(sizeof(SharedHandoff) == 268, "hand-off record layout");

SharedHandoff* app_shared_handoff();

int app_parse_command_line(const char* command_line, char* path_out);
int app_file_exists(const char* path);
int app_resolve_shortcut(char* target_out, const char* shortcut_path);

// Sending side: hands path to the running copy; returns 0 (the exit code).
int app_handoff_send(const char* path);
// Receiving side, run after every dispatched message: 1 when a file was taken.
int app_handoff_receive();

// One pass of the message loop for msg: translate, dispatch, take a handed-over
// file, all under a fault guard. Returns 0 when a fault was swallowed.
int app_dispatch_message(MSG* msg);
void app_message_loop();
