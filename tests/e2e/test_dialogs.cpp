// Snapshots with the C key, the Control Panel's smoothing bar and the About
// box, each checked as a user finds them: files on disk and the screen.
#include "viewer_steps.h"

namespace {

void remove_snapshots() {
    for (const std::string& f : e2e_snapshot_files()) DeleteFileA(f.c_str());
    RemoveDirectoryA("c:\\pic");
}

// A snapshot file's size and two of its pixels, as the system reads it.
bool read_snapshot(const std::string& path, int* w, int* h, COLORREF* top, COLORREF* bottom) {
    HBITMAP b = static_cast<HBITMAP>(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    if (!b) return false;
    BITMAP info;
    GetObjectA(b, sizeof info, &info);
    *w = info.bmWidth;
    *h = info.bmHeight;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, b);
    *top = GetPixel(dc, *w / 2, 5);
    *bottom = GetPixel(dc, *w / 2, *h - 10);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(b);
    return true;
}

// Pixels of a column across the band's lower edge that are neither its blue
// nor the red below: how far the edge is smeared.
int smeared(HWND viewer) {
    int w, h, n = 0;
    std::vector<uint32_t> shot = e2e_capture_client(viewer, &w, &h);
    for (int y = 5; y < 60 && y < h; y++) {
        uint32_t p = shot[y * w + w / 2];
        n += !is_red(p) && !is_blue(p);
    }
    return n;
}

}  // namespace

TEST(Snapshot, TheKeyWritesTheFrameOnScreenPausedOrNot) {
    remove_snapshots();  // the folder is made when missing
    E2eProgram program;
    HWND viewer = start_playing(&program, clip("banded.avi"), 1);
    ASSERT_TRUE(viewer);
    ASSERT_TRUE(e2e_wait_until([&] {
        click(viewer, 30, 30);
        return GetForegroundWindow() == viewer;
    }, 10000));
    ASSERT_TRUE(e2e_key("c"));
    ASSERT_TRUE(e2e_wait_until([&] { return e2e_snapshot_files().size() == 1; }, 5000));
    int w = 0, h = 0;
    COLORREF top = 0, bottom = 0;
    ASSERT_TRUE(read_snapshot(e2e_snapshot_files()[0], &w, &h, &top, &bottom));
    EXPECT_EQ(w, 320);  // exactly the video, nothing beyond it
    EXPECT_EQ(h, 240);
    EXPECT_TRUE(is_blue(GetRValue(top) << 16 | GetGValue(top) << 8 | GetBValue(top))) << std::hex << top;
    EXPECT_TRUE(is_red(GetRValue(bottom) << 16 | GetGValue(bottom) << 8 | GetBValue(bottom))) << std::hex << bottom;
    ASSERT_TRUE(e2e_key("c"));
    EXPECT_TRUE(e2e_wait_until([&] { return e2e_snapshot_files().size() == 2; }, 5000)) << "a second C, a second file";

    PostMessageA(viewer, WM_COMMAND, 40003, 0);  // paused, a snapshot keeps it paused
    ASSERT_TRUE(e2e_wait_until([&] { return clock_holds(viewer); }, 5000));
    ASSERT_TRUE(e2e_key("c"));
    EXPECT_TRUE(e2e_wait_until([&] { return e2e_snapshot_files().size() == 3; }, 5000));
    EXPECT_TRUE(clock_holds(viewer)) << "the snapshot resumed playback";
    close_player(&program, viewer);
}

TEST(ControlPanel, TheBarSetsSmoothingAtOnceAndCancelKeepsIt) {
    E2eProgram program;
    HWND viewer = start_playing(&program, clip("banded.avi"), 0);
    ASSERT_TRUE(viewer);
    hide_player(&program, viewer);
    PostMessageA(viewer, WM_COMMAND, 40021, 0);
    HWND panel = e2e_wait_window(program.pid, "#32770", "Controls | " TITLE, 10000);
    ASSERT_TRUE(panel);
    SetWindowPos(panel, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);  // off the video
    HWND bar = GetDlgItem(panel, 1005);
    EXPECT_EQ(SendMessageA(bar, SBM_GETPOS, 0, 0), 100);
    auto scroll = [&](int code) { PostMessageA(panel, WM_HSCROLL, code, reinterpret_cast<LPARAM>(bar)); };
    // Level 0 leaves the band's edge sharp; 200 smears it, at once.
    scroll(SB_LEFT);
    int sharp = 99;
    EXPECT_TRUE(e2e_wait_until([&] { return (sharp = smeared(viewer)) <= 3; }, 3000)) << sharp;
    scroll(SB_RIGHT);
    EXPECT_TRUE(e2e_wait_until([&] { return smeared(viewer) >= sharp + 3; }, 8000)) << smeared(viewer);
    EXPECT_EQ(SendMessageA(bar, SBM_GETPOS, 0, 0), 191);  // the thumb's last place; the level is 200
    // The arrows, clicked for real: right sets 192 from the bar's 191, left then reads 191 again.
    RECT r;
    GetClientRect(bar, &r);
    click(bar, r.right - 4, r.bottom / 2);
    Sleep(300);
    EXPECT_EQ(SendMessageA(bar, SBM_GETPOS, 0, 0), 191);
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
