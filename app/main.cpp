// Process entry: start-up and shut-down order.
#include <objbase.h>

#include "../gfx/gfx.h"
#include "../media/media.h"
#include "../playlist/playlist.h"
#include "../ui/ui.h"
#include "app.h"
#include "command_line_parse.h"
#include "fault_guard.h"

namespace {

// How long a launch with a file waits for the player another launch claimed
// to be ready, before it runs as a player of its own rather than lose the file.
const DWORD PLAYER_READY_LIMIT_MS = 30000;

struct StartArgs {
    HINSTANCE instance;
    const wchar_t* command_line;  // its arguments, as the system has them
    int show_command;
};

void run_program(void* context) {
    StartArgs* a = static_cast<StartArgs*>(context);
    char path[APP_PATH_SIZE] = {};
    bool file_given = false;

    g_instance = a->instance;
    gfx_startup(0);
    media_init();
    plist_reset();
    media_set_option(MEDIA_OPTION_ASPECT, 1);

    // A file, or a folder whose files are imported as a drop's are. One
    // this program cannot open by any name is told once there is a window.
    int parsed = app_parse_wide_command_line(a->command_line, path, sizeof path);
    auto running = [] { return app_shared_handoff()->instance_count > 0 && FindWindowA(UI_VIEWER_CLASS, nullptr); };
    if (parsed == APP_PATH_UNOPENABLE_NAME) {
        plist_count_unopenable_name();
        // Beside a running copy there is nothing to hand over: told, and gone.
        if (running()) {
            plist_tell_not_added_to(nullptr);
            return;
        }
    }
    bool file_named = parsed == 1 && (app_file_exists(path) || app_folder_exists(path));
    if (!file_named) app_claim_player();  // without a file, the one player only when there is none
    if (file_named && app_wait_for_player(PLAYER_READY_LIMIT_MS) == APP_ROLE_HAND_OVER) {
        // A launch whose file was not taken still leaves: a copy of its own
        // beside a slow running one would take the next launches' files.
        app_handoff_send(path);
        return;
    }
    if (file_named) {
        char entry[PLIST_PATH_SIZE];
        lstrcpynA(entry, path, sizeof entry);
        plist_add_path(entry);
        plist_progress_hide();
        file_given = true;
    }

    // The windows' accessible objects are called from other processes
    // through this thread's apartment.
    CoInitialize(nullptr);
    // Without its windows this copy could take no file: it ends, uncounted.
    if (!ui_load_skin() || !ui_create_windows(0)) return;
    media_set_window(g_viewer_window);
    ShowWindow(g_viewer_window, a->show_command);
    ShowWindow(g_player_window, a->show_command);
    SendMessageA(g_bubble_window, UI_WM_BUBBLE_TEXT, 0, 0);
    app_handoff_start_pickup();
    InterlockedIncrement(&app_shared_handoff()->instance_count);
    // From here other launches hand their files over: the burst starts now.
    if (file_given) app_handoff_first_burst();
    plist_tell_not_added();  // what the command line's file left out, now that there is a window to say it over

    app_message_loop();
    InterlockedDecrement(&app_shared_handoff()->instance_count);  // no longer the running copy
    media_stop();
    gfx_shutdown(0);
}

}  // namespace

// The command line is read in UTF-16: the code page's copy of it has lost
// the names it has no characters for.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show_command) {
    StartArgs args = {instance, app_command_line_arguments(GetCommandLineW()), show_command};
    app_run_guarded(run_program, &args);
    return 0;
}
