// Drives the running player from a script, as its menu and keys would:
//   send_command <id>          a command of the viewer's menu
//   send_command key <code>    a key pressed in the viewer
//   send_command close <title> Cancel in the dialog of that title
//   send_command counts        "handles gdi-objects title" of the player
// Used by tools/bench and tools/soak.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
    HWND viewer = FindWindowA("tavlin_viewer", nullptr);
    if (argc < 2 || !viewer) return 1;
    if (!strcmp(argv[1], "key") && argc > 2) {
        PostMessageA(viewer, WM_KEYDOWN, static_cast<WPARAM>(atoi(argv[2])), 0);
    } else if (!strcmp(argv[1], "close") && argc > 2) {
        HWND dialog = FindWindowA("#32770", argv[2]);
        if (dialog) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    } else if (!strcmp(argv[1], "counts")) {
        char title[256] = "";
        GetWindowTextA(viewer, title, sizeof title);
        DWORD pid = 0, handles = 0, gdi = 0;
        GetWindowThreadProcessId(viewer, &pid);
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
        if (process) {
            GetProcessHandleCount(process, &handles);
            gdi = GetGuiResources(process, GR_GDIOBJECTS);
            CloseHandle(process);
        }
        printf("%lu %lu %s\n", static_cast<unsigned long>(handles), static_cast<unsigned long>(gdi), title);
    } else {
        PostMessageA(viewer, WM_COMMAND, static_cast<WPARAM>(atoi(argv[1])), 0);
    }
    return 0;
}
