#include <algorithm>

#include "viewer_steps.h"

TEST(Startup, ShowsTheViewerWithTheLogoAndExitsOnlyWhenConfirmed) {
    E2eProgram program;
    HWND viewer = start_player(&program, "");
    ASSERT_TRUE(viewer);
    EXPECT_EQ(e2e_text(viewer), TITLE);
    EXPECT_TRUE(e2e_wait_until([&] { return IsWindowVisible(viewer) != 0; }, 5000));
    HWND player = e2e_find_window(program.pid, "tavlin_player");
    EXPECT_TRUE(player && IsWindowVisible(player));
    hide_player(&program, viewer);  // it is centred over the viewer

    // The idle viewer shows the logo centred on black, never enlarged, with at
    // least 15 pixels of the limiting side left free.
    RECT client;
    GetClientRect(viewer, &client);
    int w = client.right, h = client.bottom;
    ASSERT_GT(w, 40);
    bool width_limits = 240.0 / (h + 1) < 320.0 / (w + 1);
    int dw = width_limits ? std::min(w - 15, 320) : static_cast<int>(std::min(h - 15, 240) * 320.0 / 240);
    int dh = width_limits ? static_cast<int>(dw * 240.0 / 320) : std::min(h - 15, 240);
    int x = (w - dw + 1) / 2, y = (h - dh + 1) / 2;
    std::vector<uint32_t> shot;
    auto at = [&](int px, int py) { return shot[py * w + px]; };
    // The emblem's white play triangle sits on the centre line, above the middle.
    auto triangle_seen = [&] {
        for (int py = y; py < y + dh / 2; py++)
            for (int px = x + dw / 2 - 5; px < x + dw / 2 + 5; px++)
                if ((at(px, py) & 0xF0F0F0) == 0xF0F0F0) return true;
        return false;
    };
    // Wine may bring the painted window to the screen in parts, and a paint
    // for the window's size before its last may still show: wait for the
    // whole logo where this size puts it.
    auto logo_drawn = [&] {
        int sw, sh;
        shot = e2e_capture_client(viewer, &sw, &sh);
        return sw == w && sh == h && at(x - 2, h / 2) == 0 && at(x + dw + 1, h / 2) == 0 && at(w / 2, y - 2) == 0 &&
               at(w / 2, y + dh + 1) == 0 && at(x + 4, y + 4) != 0 && triangle_seen();
    };
    EXPECT_TRUE(e2e_wait_until(logo_drawn, 5000));
    e2e_save_bmp("idle-viewer.bmp", shot, w, h);
    EXPECT_EQ(at(x - 2, h / 2), 0u) << "left of the logo is black";
    EXPECT_EQ(at(x + dw + 1, h / 2), 0u) << "right of the logo is black";
    EXPECT_EQ(at(w / 2, y - 2), 0u) << "above the logo is black";
    EXPECT_EQ(at(w / 2, y + dh + 1), 0u) << "below the logo is black";
    // The logo's background is dark blue: blue is its strongest channel.
    uint32_t inside = at(x + 4, y + 4);
    EXPECT_GT(inside & 0xFF, (inside >> 16) & 0xFF) << std::hex << inside;

    // The question asked before it ends ("No" the strip's Exit takes); "Yes"
    // ends it with exit code 0.
    PostMessageA(viewer, WM_CLOSE, 0, 0);
    std::string text;
    EXPECT_TRUE(answer_box(&program, EXIT_BOX, IDNO, &text));
    EXPECT_EQ(text, "Do you wish to exit Tavlin Media Player?");
    close_player(&program, viewer);
}

// A copy that cannot make its windows (here it is given no display to put
// them on) ends at once, and the next launch with a file becomes the running
// copy and plays it instead of handing the file to a copy nobody can see.
TEST(Startup, ACopyWithoutWindowsEndsAndTheNextLaunchPlays) {
    std::string red = clip("red.avi");
    // The desktop must exist first: the first program to need one starts it,
    // and on the blind copy's display it could not.
    HWND desktop = GetDesktopWindow();
    ASSERT_TRUE(desktop && IsWindow(desktop));
    // Started from the build machine's side: the display is part of its
    // environment there, which the copy's window system reads.
    int code = e2e_run_unix("DISPLAY=:4242 $WINE '" + e2e_unix_path(e2e_program_path()) + "' '" + red +
                                "' >/dev/null 2>&1",
                            20000);
    EXPECT_EQ(code, 0) << "a copy without windows did not end by itself";
    E2eProgram next;
    HWND viewer = start_player(&next, ::quoted(red));
    ASSERT_TRUE(viewer) << "a viewer of another copy: " << FindWindowA("tavlin_viewer", nullptr)
                        << (e2e_wait_exit(&next, 0, nullptr) ? "; this launch ended" : "; this launch still runs");
    // Playing: the title carries the clock.
    EXPECT_TRUE(e2e_wait_until([&] { return e2e_text(viewer).rfind(TITLE " | ", 0) == 0; }, 15000)) << e2e_text(viewer);
    close_player(&next, viewer);
}
