// Sends one command of the viewer's menu to the running player, as its menu
// would: send_command <id>. Used by tools/bench to pause the real program.
#include <windows.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    HWND viewer = FindWindowA("tavlin_viewer", nullptr);
    if (argc < 2 || !viewer) return 1;
    PostMessageA(viewer, WM_COMMAND, static_cast<WPARAM>(atoi(argv[1])), 0);
    return 0;
}
