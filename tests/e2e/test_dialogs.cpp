// Snapshots with the C key and the About box, each checked as a user finds
// them: files on disk and the screen. (The Control Panel's bar is the GDI
// renderer test's.)
#include "viewer_steps.h"

// What a snapshot holds, and that it keeps a pause, the engine's snapshot
// test and the stress test check; here the real key and the files it makes.
TEST(Snapshot, TheKeyWritesAFileEachTimeIntoAFolderMadeForThem) {
    e2e_remove_snapshots();
    RemoveDirectoryA("c:\\pic");
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
    int w;
    std::vector<uint32_t> a = e2e_capture_client(about, &w);
    Sleep(200);
    std::vector<uint32_t> b = e2e_capture_client(about);
    int differ = 0, above = 0;
    for (size_t i = 0; i < a.size() && a.size() == b.size(); i++)
        if (a[i] != b[i]) differ++, above += static_cast<int>(i) / w < 101;
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
