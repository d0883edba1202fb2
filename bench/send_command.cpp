// Drives the running player from a script, as its menu and keys would:
//   send_command <id>          a command of the viewer's menu
//   send_command key <code>    a key pressed in the viewer
//   send_command close <title> Cancel in the dialog of that title
//   send_command counts        "handles gdi-objects title" of the player; a
//                              count the system does not give is "-"
// Used by tools/bench and tools/soak.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "handle_count.h"

int main(int argc, char** argv) {
    HWND viewer = FindWindowA("tavlin_viewer", nullptr);
    if (argc < 2 || !viewer) return 1;
    if (!strcmp(argv[1], "key") && argc > 2) {
        PostMessageA(viewer, WM_KEYDOWN, static_cast<WPARAM>(atoi(argv[2])), 0);
    } else if (!strcmp(argv[1], "close") && argc > 2) {
        HWND dialog = FindWindowA("#32770", argv[2]);
        if (dialog) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    } else if (!strcmp(argv[1], "counts")) {
        char title[256] = "", handles[16] = "-", gdi[16] = "-";
        GetWindowTextA(viewer, title, sizeof title);
        DWORD pid = 0;
        GetWindowThreadProcessId(viewer, &pid);
        unsigned long count = 0;
        if (handle_count(pid, &count)) snprintf(handles, sizeof handles, "%lu", count);
        // A program with windows holds GDI objects: none means the platform
        // does not count them (Wine does not).
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
        if (process && (count = GetGuiResources(process, GR_GDIOBJECTS)) != 0)
            snprintf(gdi, sizeof gdi, "%lu", count);
        if (process) CloseHandle(process);
        printf("%s %s %s\n", handles, gdi, title);
    } else {
        PostMessageA(viewer, WM_COMMAND, static_cast<WPARAM>(atoi(argv[1])), 0);
    }
    return 0;
}
