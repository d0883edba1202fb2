// Snapshots with the C key, the Control Panel's smoothing bar and the About
// box, each checked as a user finds them: files on disk, the bar and the screen.
#include "viewer_steps.h"

namespace {

void remove_snapshots() {
    for (const std::string& f : e2e_snapshot_files()) DeleteFileA(f.c_str());
    RemoveDirectoryA("c:\\pic");
}

}  // namespace

// What a snapshot holds, and that it keeps a pause, the engine's snapshot
// test and the stress test check; here the real key and the files it makes.
TEST(Snapshot, TheKeyWritesAFileEachTimeIntoAFolderMadeForThem) {
    remove_snapshots();
    E2eProgram program;
    HWND viewer = start_playing(&program, clip("banded.avi"), 1);
    ASSERT_TRUE(viewer);
    ASSERT_TRUE(e2e_wait_until([&] {
        click(viewer, 30, 30);
        return GetForegroundWindow() == viewer;
    }, 10000));
    for (size_t files = 1; files <= 2; files++) {
        ASSERT_TRUE(e2e_key("c"));
        EXPECT_TRUE(e2e_wait_until([&] { return e2e_snapshot_files().size() == files; }, 5000)) << files;
    }
    close_player(&program, viewer);
}

// What the bar's levels do to the picture the renderer test sees; here the
// bar's own places, its arrows clicked for real, and Cancel keeping the level.
TEST(ControlPanel, TheBarsPlacesFollowTheLevelAndCancelKeepsIt) {
    E2eProgram program;
    HWND viewer = start_playing(&program, clip("banded.avi"), 0);
    ASSERT_TRUE(viewer);
    hide_player(&program, viewer);
    PostMessageA(viewer, WM_COMMAND, 40021, 0);
    HWND panel = e2e_wait_window(program.pid, "#32770", "Controls | " TITLE, 10000);
    ASSERT_TRUE(panel);
    SetWindowPos(panel, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);  // nothing of the player's over it
    HWND bar = GetDlgItem(panel, 1005);
    EXPECT_EQ(SendMessageA(bar, SBM_GETPOS, 0, 0), 100);
    PostMessageA(panel, WM_HSCROLL, SB_RIGHT, reinterpret_cast<LPARAM>(bar));
    // The thumb's last place is 191 for the level of 200.
    EXPECT_TRUE(e2e_wait_until([&] { return SendMessageA(bar, SBM_GETPOS, 0, 0) == 191; }, 3000));
    // Right sets 192 from the bar's 191, shown at 191 still; left then sets 190.
    RECT r;
    GetClientRect(bar, &r);
    click(bar, r.right - 4, r.bottom / 2);
    click(bar, 4, r.bottom / 2);
    EXPECT_TRUE(e2e_wait_until([&] { return SendMessageA(bar, SBM_GETPOS, 0, 0) == 190; }, 3000));
    e2e_press(panel, IDCANCEL);
    EXPECT_TRUE(e2e_wait_until([&] { return !IsWindow(panel); }, 3000));
    PostMessageA(viewer, WM_COMMAND, 40021, 0);
    panel = e2e_wait_window(program.pid, "#32770", "Controls | " TITLE, 10000);
    ASSERT_TRUE(panel);
    EXPECT_EQ(SendMessageA(GetDlgItem(panel, 1005), SBM_GETPOS, 0, 0), 190) << "Cancel kept the level";
    close_player(&program, viewer);
}

TEST(About, CreditsRiseOverTheLogoAndStartFromTheBottomEachTime) {
    E2eProgram program;
    HWND viewer = start_player(&program, "");
    ASSERT_TRUE(viewer);
    // Opened, and given half a second to be on the screen (a dozen frames).
    auto open_about = [&] {
        PostMessageA(viewer, WM_COMMAND, 40005, 0);
        HWND window = e2e_wait_window(program.pid, "#32770", "About " TITLE, 10000);
        if (window) e2e_wait_until([&] { return IsWindowVisible(window) != 0; }, 3000), Sleep(500);
        return window;
    };
    // Bright text in the band where the credits are fully shown.
    auto text_seen = [](HWND about) {
        int w, h, n = 0;
        std::vector<uint32_t> shot = e2e_capture_client(about, &w, &h);
        for (int y = 170; y < 238 && y < h; y++)
            for (int x = 0; x < w; x++) n += red(shot[y * w + x]) > 200 && blue(shot[y * w + x]) > 200;
        return n;
    };
    HWND about = open_about();
    ASSERT_TRUE(about);
    EXPECT_TRUE(e2e_wait_until([&] { return text_seen(about) == 0; }, 1000)) << "the text starts below the window";
    RECT c;
    GetClientRect(about, &c);
    EXPECT_EQ(c.right, 320);
    EXPECT_EQ(c.bottom, 270);
    EXPECT_TRUE(e2e_wait_until([&] { return text_seen(about) > 20; }, 5000));
    int w, h;
    std::vector<uint32_t> a = e2e_capture_client(about, &w, &h);
    Sleep(200);
    std::vector<uint32_t> b = e2e_capture_client(about, &w, &h);
    int differ = 0, above = 0;
    for (int i = 0; i < w * h; i++) {
        if (a[i] == b[i]) continue;
        differ++;
        if (i / w < 101) above++;
    }
    EXPECT_EQ(above, 0) << "changed above the credits band";
    EXPECT_GT(differ, 0) << "the credits stood still";

    ASSERT_TRUE(e2e_wait_until([&] { return GetForegroundWindow() == about; }, 3000));
    ASSERT_TRUE(e2e_key("Escape"));
    EXPECT_TRUE(e2e_wait_until([&] { return !IsWindow(about); }, 3000));
    about = open_about();
    ASSERT_TRUE(about);
    // Once painted, the new window shows no text there yet: it starts again from the bottom.
    EXPECT_TRUE(e2e_wait_until([&] { return text_seen(about) == 0; }, 1000));
    e2e_press(about, IDCANCEL);
    close_player(&program, viewer);
}
