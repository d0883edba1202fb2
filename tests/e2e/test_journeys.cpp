// Journeys a user takes through full screen, the popup menu, error boxes and
// back, with real keys and clicks, checked as the X server stacks the windows.
#include "viewer_steps.h"

namespace {

using namespace strip;

bool windowed(HWND viewer) {
    RECT x;
    int dw, dh;
    return (GetWindowLongA(viewer, GWL_STYLE) & WS_CAPTION) == WS_CAPTION && e2e_x_geometry(viewer, &x) &&
           e2e_display_size(&dw, &dh) && x.right - x.left < dw;
}

// Whether any popup menu of the program is on the screen.
bool menu_shown(DWORD pid) {
    for (HWND menu : e2e_windows(pid, "#32768"))
        if (IsWindowVisible(menu)) return true;
    return false;
}

// What a lost click may have reached, for the log of a failed run.
std::string what_is_under_pointer() {
    std::string where = e2e_unix_output("xdotool getmouselocation --shell", 10000);
    size_t at = where.find("WINDOW=");
    std::string id = at == std::string::npos ? "" : where.substr(at + 7, where.find('\n', at) - at - 7);
    char name[64] = "";
    HWND front = GetForegroundWindow();
    GetClassNameA(front, name, sizeof name);
    return where + (id.empty() ? "" : e2e_unix_output("xprop -id " + id + " WM_NAME WM_CLASS _NET_WM_STATE", 10000)) +
           "foreground: " + name + " \"" + e2e_text(front) + "\"\n" +
           e2e_unix_output("xwininfo -root -children | head -12", 10000);
}

// Return in the viewer, as a user enters full screen; the strip shows above the video.
void enter_full_screen(HWND viewer, HWND player) {
    // A user clicks again when the first click gave the window no focus,
    // and presses Return again when it was not taken.
    bool focused = false, full = false;
    for (int attempt = 0; attempt < 3 && !focused; attempt++) {
        click(viewer, 30, 30);
        focused = e2e_wait_until([&] { return GetForegroundWindow() == viewer && e2e_x_focus_on(viewer); }, 5000);
    }
    ASSERT_TRUE(focused) << "the viewer never took the focus";
    for (int attempt = 0; attempt < 2 && !full; attempt++) {
        ASSERT_TRUE(e2e_key("Return"));
        full = e2e_wait_until([&] { return x_full_screen(viewer); }, 8000);
    }
    ASSERT_TRUE(full);
    EXPECT_TRUE(e2e_wait_until([&] { return e2e_x_pointer_over(player, PAUSE); }, 5000))
        << "the strip is hidden behind the full-screen video";
}

}  // namespace

TEST(Journey, FullScreenThePopupMenuAndEscapeLeaveEveryClickWorking) {
    E2eProgram program;
    HWND viewer = start_playing(&program, clip("steps.avi"), 0);
    ASSERT_TRUE(viewer);
    HWND player = e2e_find_window(program.pid, "tavlin_player");
    ASSERT_TRUE(player);
    enter_full_screen(viewer, player);

    // The popup menu over the video, dismissed with Escape; a second Escape leaves full screen.
    int dw = 0, dh = 0;
    ASSERT_TRUE(e2e_display_size(&dw, &dh));
    // The first right click opens the menu, with the focus still on the strip.
    click(viewer, dw / 2, 40, 3);
    ASSERT_TRUE(e2e_wait_until([&] { return menu_shown(program.pid); }, 5000))
        << "no popup menu; under the pointer:\n" << what_is_under_pointer();
    ASSERT_TRUE(e2e_key("Escape"));
    ASSERT_TRUE(e2e_wait_until([&] { return !menu_shown(program.pid); }, 5000));
    // Still in full screen the strip acts: its Pause and Play take clicks,
    // once the strip has the focus back from the menu.
    EXPECT_TRUE(e2e_wait_until([&] { return e2e_x_focus_on(player); }, 5000)) << "the strip never took the focus";
    press(player, PAUSE);
    EXPECT_TRUE(e2e_wait_until([&] { return clock_holds(viewer); }, 5000))
        << "the click did not reach the strip: " << e2e_text(viewer);
    press(player, PLAY);
    EXPECT_TRUE(clock_runs(viewer, 5000));
    ASSERT_TRUE(e2e_key("Escape"));
    ASSERT_TRUE(e2e_wait_until([&] { return windowed(viewer); }, 10000));

    // The strip is what lies under the pointer, and a press on its seek bar
    // takes the clock back to the start.
    EXPECT_TRUE(e2e_wait_until([&] { return e2e_x_pointer_over(player, PAUSE); }, 5000))
        << "another window lies over the strip";
    ASSERT_TRUE(e2e_wait_until([&] { return title_seconds(viewer) >= 3; }, 15000));
    click(player, SEEK_BAR_LEFT + 1, SEEK_BAR_ROW);
    EXPECT_TRUE(e2e_wait_until([&] { return title_seconds(viewer) <= 1; }, 5000)) << e2e_text(viewer);
    EXPECT_TRUE(clock_runs(viewer, 5000));
    close_player(&program, viewer);
}

TEST(Journey, AnErrorBoxInFullScreenLeavesTheStripOnTopAndActing) {
    E2eProgram program;
    std::string dir = e2e_scratch_dir("error-in-full-screen");
    std::string list = e2e_make_file(dir + "\\list.m3u", clip("banded.avi") + "\r\n" + clip("text.avi") + "\r\n");
    HWND viewer = start_playing(&program, list, 0);
    ASSERT_TRUE(viewer);
    HWND player = e2e_find_window(program.pid, "tavlin_player");
    ASSERT_TRUE(player);
    enter_full_screen(viewer, player);

    // The second entry cannot be played: the error box and the question, answered.
    ASSERT_TRUE(answer_box(&program, "Media Engine Error", IDOK));
    ASSERT_TRUE(answer_box(&program, "Proceed?", IDNO));
    EXPECT_TRUE(e2e_wait_until([&] { return x_full_screen(viewer) && e2e_x_pointer_over(player, PAUSE); }, 5000))
        << "the strip went behind the video";

    // Back to the window: the strip is on top and its buttons act.
    ASSERT_TRUE(e2e_key("Escape"));
    ASSERT_TRUE(e2e_wait_until([&] { return windowed(viewer); }, 10000));
    EXPECT_TRUE(e2e_wait_until([&] { return e2e_x_pointer_over(player, PAUSE); }, 5000))
        << "the strip is under the video";
    press(player, PREVIOUS);
    EXPECT_TRUE(top_shows(viewer, is_red, 10000));
    EXPECT_TRUE(clock_runs(viewer, 5000));
    close_player(&program, viewer);
}
