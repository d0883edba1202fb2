// The control strip driven with real pointer input, checked on the screen.
#include <map>
#include <set>

#include "viewer_steps.h"

namespace {

using namespace strip;

// A user's drag from client point `at` by (dx, dy): the pointer moves once the
// press has been taken (the window holds the mouse), and is let go once the
// window's top-left corner is at (x, y), or after a while.
bool drag_lands(HWND window, POINT at, int dx, int dy, int x, int y) {
    e2e_pointer(window, at.x, at.y, "mousedown 1");
    e2e_wait_until([&] {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndCapture == window;
    }, 3000);
    e2e_pointer(window, at.x + dx, at.y + dy);  // the window is still where the press found it
    bool landed = e2e_wait_until([&] {
        RECT r;
        GetWindowRect(window, &r);
        return r.left == x && r.top == y;
    }, 3000);
    e2e_run_unix("xdotool mouseup 1", 10000);
    return landed;
}

// The centre column of the dark knob on a row of the strip where only the
// knob is dark (the light face above the groove), or -1.
int knob_centre(HWND player, int row, int from, int to) {
    int w, h, sum = 0, n = 0;
    std::vector<uint32_t> shot = e2e_capture_client(player, &w, &h);
    for (int x = from; x <= to && row < h && x < w; x++) {
        uint32_t p = shot[row * w + x];
        if (red(p) + green(p) + blue(p) < 240) sum += x, n++;
    }
    return n ? sum / n : -1;
}
int seek_knob(HWND player) { return knob_centre(player, 90, 170, 440); }
int volume_knob(HWND player) { return knob_centre(player, 53, 345, 450); }

class Strip : public ::testing::Test {
protected:
    E2eProgram program;
    HWND viewer = nullptr, player = nullptr;
    void start(const char* clip_name, int seconds) {
        viewer = start_playing(&program, clip(clip_name), seconds);
        ASSERT_TRUE(viewer);
        player = e2e_find_window(program.pid, "tavlin_player");
        ASSERT_TRUE(player && e2e_wait_until([&] { return IsWindowVisible(player) != 0; }, 5000));
    }
};

}  // namespace

TEST_F(Strip, TheTransportRowDrivesPlayback) {
    start("steps.avi", 1);
    RECT v, p;
    GetWindowRect(viewer, &v);
    GetWindowRect(player, &p);
    EXPECT_GE(p.top, v.bottom - 1) << "the strip sits below the video, not over it";
    press(player, PAUSE);
    EXPECT_TRUE(e2e_wait_until([&] { return clock_holds(viewer); }, 5000));
    int paused_at = title_seconds(viewer);
    press(player, FORWARD);
    EXPECT_TRUE(e2e_wait_until([&] { return title_seconds(viewer) == paused_at + 5; }, 5000)) << e2e_text(viewer);
    press(player, REWIND);
    EXPECT_TRUE(e2e_wait_until([&] { return title_seconds(viewer) == paused_at; }, 5000)) << e2e_text(viewer);

    // Play and Previous are clicked in the journeys.
    hand_over(clip("red.avi"));
    press(player, NEXT);
    EXPECT_TRUE(top_shows(viewer, is_red, 15000));
    press(player, STOP);
    EXPECT_TRUE(e2e_wait_until([&] { return e2e_text(viewer) == TITLE; }, 5000)) << e2e_text(viewer);
    close_player(&program, viewer);
}

TEST_F(Strip, SlidersFollowPlaybackAndThePointer) {
    start("steps.avi", 1);  // 12 s: the seek knob travels about 20 pixels a second
    e2e_run_unix("xdotool mousemove 0 0", 10000);  // no tooltip over the strip
    // The knob is redrawn on the viewer's 250 ms tick, so it takes several
    // places while the title clock shows one and the same second.
    std::map<int, std::set<int>> places;  // title second -> knob columns seen
    bool moves = e2e_wait_until([&] {
        int second = title_seconds(viewer), knob = seek_knob(player);
        if (second < 0 || knob < 0 || title_seconds(viewer) != second) return false;
        places[second].insert(knob);
        return places[second].size() >= 3;
    }, 8000);
    EXPECT_TRUE(moves) << "the seek knob moves only when the clock changes";

    press(player, PAUSE);
    ASSERT_TRUE(e2e_wait_until([&] { return clock_holds(viewer); }, 5000));
    click(player, 303, SEEK_BAR_ROW);  // the middle of the seek bar: half of 12 s
    EXPECT_TRUE(e2e_wait_until([&] { return title_seconds(viewer) == 6; }, 3000)) << e2e_text(viewer);
    EXPECT_TRUE(e2e_wait_until([&] { return abs(seek_knob(player) - 303) <= 2; }, 2000)) << seek_knob(player);
    click(player, SEEK_BAR_LEFT, SEEK_BAR_ROW);  // the left end: 0
    EXPECT_TRUE(e2e_wait_until([&] { return title_seconds(viewer) <= 0; }, 3000)) << e2e_text(viewer);
    EXPECT_TRUE(e2e_wait_until([&] { return abs(seek_knob(player) - 186) <= 2; }, 2000)) << seek_knob(player);

    // The volume knob's centre comes under the pointer wherever the bar is
    // pressed, the last column (76 of 78 steps) included.
    EXPECT_LE(abs(volume_knob(player) - (363 + 78)), 1) << "not at full but at " << volume_knob(player);
    for (int x : {363, 371, 388, 401, 416, 429, 439}) {
        click(player, x, 60);
        EXPECT_TRUE(e2e_wait_until([&] { return abs(volume_knob(player) - x) <= 1; }, 2000))
            << "pressed at " << x << ", knob at " << volume_knob(player);
    }
    // Dragged past the end it stops at 77 of 78, the column after the last press.
    int last = volume_knob(player);
    e2e_pointer(player, 380, 60, "mousedown 1 mousemove_relative 90 0 mouseup 1");
    EXPECT_TRUE(e2e_wait_until([&] { return volume_knob(player) == last + 1; }, 2000)) << volume_knob(player);

    // The wheel: four notches down over the video, two up over the strip, a
    // twentieth of the bar each (3.9 columns), and never past its ends.
    auto wheel = [](HWND window, int button, int notches) {
        e2e_pointer(window, 40, 40, "click --repeat " + std::to_string(notches) + " --delay 50 " +
                                        std::to_string(button));
    };
    wheel(viewer, 5, 4);  // from 77.1 of 78 down to 61.5
    EXPECT_TRUE(e2e_wait_until([&] { return abs(volume_knob(player) - (363 + 61)) <= 1; }, 3000)) << volume_knob(player);
    wheel(player, 4, 2);  // up to 69.3
    EXPECT_TRUE(e2e_wait_until([&] { return abs(volume_knob(player) - (363 + 69)) <= 1; }, 3000)) << volume_knob(player);
    wheel(player, 4, 5);
    EXPECT_TRUE(e2e_wait_until([&] { return abs(volume_knob(player) - (363 + 78)) <= 1; }, 3000)) << volume_knob(player);

    // At full volume the knob's centre lies past the track's last column: a
    // user takes the knob there and drags it, and the strip stays where it is.
    RECT before, after;
    GetWindowRect(player, &before);
    e2e_pointer(player, 363 + 78, 60, "mousedown 1");
    e2e_pointer(player, 363 + 78 - 45, 60);
    EXPECT_TRUE(e2e_wait_until([&] { return abs(volume_knob(player) - (363 + 78 - 45)) <= 1; }, 3000))
        << "the knob stayed at " << volume_knob(player);
    e2e_run_unix("xdotool mouseup 1", 10000);
    GetWindowRect(player, &after);
    EXPECT_TRUE(EqualRect(&before, &after)) << "the strip was dragged by " << after.left - before.left;
    close_player(&program, viewer);
}

TEST_F(Strip, TooltipsShowBesideThePointerAndFade) {
    start("red.avi", 0);
    HWND bubble = e2e_find_window(program.pid, "tavlin_bubble");
    ASSERT_TRUE(bubble);
    POINT at = PLAY;
    ClientToScreen(player, &at);
    e2e_pointer(player, PLAY.x, PLAY.y);
    ASSERT_TRUE(e2e_wait_until([&] { return IsWindowVisible(bubble) != 0; }, 2000)) << "no tooltip";
    RECT b;
    GetWindowRect(bubble, &b);
    EXPECT_EQ(b.left, at.x + 24);
    EXPECT_EQ(b.top, at.y + 24);
    // Its first paint reaches the screen a moment after it shows.
    int w = 0, h = 0;
    std::vector<uint32_t> box;
    uint32_t frame = 0;
    e2e_wait_until([&] {
        box = e2e_capture_client(bubble, &w, &h);
        frame = w * h > 100 ? box[(h / 2) * w] : 0;
        return red(frame) > blue(frame) + 60;
    }, 2000);
    ASSERT_GT(w * h, 100);
    EXPECT_GT(red(frame), blue(frame) + 60) << std::hex << frame;  // an orange frame
    uint32_t top = box[2 * w + w / 2], bottom = box[(h - 3) * w + 3];
    EXPECT_GT(blue(top), 200) << std::hex << top;       // white at the top
    EXPECT_LT(blue(bottom), blue(top)) << std::hex << bottom;  // pale yellow below
    // Still there after most of a second, gone about two seconds after the pointer stopped.
    Sleep(700);
    EXPECT_TRUE(IsWindowVisible(bubble));
    EXPECT_TRUE(e2e_wait_until([&] { return !IsWindowVisible(bubble); }, 2500));

    // The pointer reaching the bubble hides it at once.
    e2e_pointer(player, PLAY.x + 1, PLAY.y);
    ASSERT_TRUE(e2e_wait_until([&] { return IsWindowVisible(bubble) != 0; }, 2000));
    e2e_pointer(bubble, 4, 4);
    EXPECT_TRUE(e2e_wait_until([&] { return !IsWindowVisible(bubble); }, 400));
    close_player(&program, viewer);
}

TEST_F(Strip, PauseBlinksAndTheWindowButtonsAct) {
    start("steps.avi", 0);
    press(player, PAUSE);
    ASSERT_TRUE(e2e_wait_until([&] { return clock_holds(viewer); }, 5000));
    e2e_run_unix("xdotool mousemove 0 0", 10000);
    HWND bubble = e2e_find_window(program.pid, "tavlin_bubble");
    ASSERT_TRUE(e2e_wait_until([&] { return !IsWindowVisible(bubble); }, 5000)) << "the tooltip stays over the strip";
    // A mark put on the strip from outside: only a repaint of the strip takes
    // it away. Paused, the strip is left alone but for the blinking Pause
    // control, which comes and goes a few times meanwhile.
    const RECT mark = {200, 130, 260, 142};
    HDC dc = GetDC(player);
    HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
    FillRect(dc, &mark, magenta);
    DeleteObject(magenta);
    ReleaseDC(player, dc);
    int w = 0, h = 0;
    std::vector<uint32_t> first = e2e_capture_client(player, &w, &h), previous = first;
    ASSERT_EQ(first[135 * w + 230], 0xFF00FFu) << "the mark did not reach the screen";
    int changes = 0;
    bool only_pause = true;
    e2e_wait_until([&] {
        std::vector<uint32_t> shot = e2e_capture_client(player, &w, &h);
        for (int i = 0; i < w * h && only_pause; i++) {
            int x = i % w, y = i / w;
            if (shot[i] != first[i] && !(x >= 162 && x <= 192 && y >= 43 && y <= 73)) {
                ADD_FAILURE() << "changed at " << x << "," << y;
                only_pause = false;
            }
        }
        if (shot != previous) changes++;
        previous = shot;
        return !only_pause || changes >= 6;
    }, 5000);
    if (only_pause) {
        EXPECT_GE(changes, 6) << "Pause did not blink";
    }

    press(player, EXIT);  // the viewer's own question
    ASSERT_TRUE(answer_box(&program, EXIT_BOX, IDNO));
    press(player, HIDE);
    EXPECT_TRUE(e2e_wait_until([&] { return !IsWindowVisible(player); }, 3000));
    PostMessageA(viewer, WM_COMMAND, 40008, 0);  // "Show Player" from the viewer's menu
    EXPECT_TRUE(e2e_wait_until([&] { return IsWindowVisible(player) != 0; }, 3000));

    // The strip's title plate and the viewer's picture drag their windows.
    RECT p, v;
    GetWindowRect(player, &p);
    GetWindowRect(viewer, &v);
    EXPECT_TRUE(drag_lands(player, {150, 18}, 40, 30, p.left + 40, p.top + 30));
    EXPECT_TRUE(drag_lands(viewer, {100, 100}, -30, -20, v.left - 30, v.top - 20));
    close_player(&program, viewer);
}
