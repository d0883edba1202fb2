#include <algorithm>

#include "viewer_steps.h"

namespace {

// How many pixels of a screenshot of the client area fail a test.
// The screenshot is kept as last-checked.bmp for a look when a check fails.
template <class Test>
int pixels_not(HWND viewer, Test ok) {
    int w, h, n = 0;
    std::vector<uint32_t> pixels = e2e_capture_client(viewer, &w, &h);
    for (uint32_t p : pixels) n += !ok(p);
    e2e_save_bmp("last-checked.bmp", pixels, w, h);
    return n;
}

// Two screenshots of the same size that differ in at most a few pixels
// (decoded frames carry a little noise at colour edges).
bool same_picture(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    if (a.size() != b.size() || a.empty()) return false;
    size_t differ = 0;
    for (size_t i = 0; i < a.size(); i++)
        for (int c = 0; c < 24; c += 8) {
            if (abs(static_cast<int>((a[i] >> c) & 255) - static_cast<int>((b[i] >> c) & 255)) > 48) {
                differ++;
                break;
            }
        }
    return differ * 200 < a.size();
}

// Waits for the viewer to show the reference picture again; when it does
// not, both are kept as label-want.bmp and label-got.bmp for a look.
bool shows_again(HWND viewer, const std::vector<uint32_t>& want, const char* label) {
    if (e2e_wait_until([&] { return same_picture(e2e_capture_client(viewer), want); }, 3000)) return true;
    int w, h;
    std::vector<uint32_t> got = e2e_capture_client(viewer, &w, &h);
    e2e_save_bmp(std::string(label) + "-got.bmp", got, w, h);
    if (want.size() == got.size()) e2e_save_bmp(std::string(label) + "-want.bmp", want, w, h);
    return false;
}

}  // namespace

// Each test has a scratch folder of its own for the clips it copies.
class Viewer : public ::testing::Test {
protected:
    std::string dir;
    E2eProgram program;
    void SetUp() override { dir = e2e_test_dir(); }
    std::string copy(const char* clip_name, const std::string& as) { return copy_clip(clip_name, dir + "\\" + as); }
    // The player started on a copy of a clip.
    HWND start_on(const char* clip_name, const std::string& as) {
        return start_player(&program, quoted(copy(clip_name, as)));
    }
};

TEST_F(Viewer, AspectBordersAndNoStalePictures) {
    HWND viewer = start_playing(&program, clip("banded.avi"), 0);
    ASSERT_TRUE(viewer);
    hide_player(&program, viewer);
    int w = 0, h = 0;
    expect_banded_fitted(viewer, &w, &h);
    PostMessageA(viewer, WM_COMMAND, 40010, 0);  // Remove Black Borders crops the band away
    EXPECT_TRUE(e2e_wait_until([&] { return is_red(pixel(viewer, w / 2, 3)); }, 5000));
    PostMessageA(viewer, WM_COMMAND, 40010, 0);
    EXPECT_TRUE(e2e_wait_until([&] { return is_blue(pixel(viewer, w / 2, 3)); }, 5000));
    PostMessageA(viewer, WM_COMMAND, 40009, 0);  // Use Aspect Ratio off: the video fills the width
    EXPECT_TRUE(e2e_wait_until([&] { return is_red(pixel(viewer, 3, h / 2)); }, 5000));
    PostMessageA(viewer, WM_COMMAND, 40009, 0);
    EXPECT_TRUE(e2e_wait_until([&] { return is_black(pixel(viewer, 3, h / 2)); }, 5000));

    // Every picture comes back exactly: the frame fitted on black, or the
    // logo on black, with nothing of what was there before. The bars go
    // black before the frame lands: the reference is the settled picture.
    std::vector<uint32_t> fitted;
    EXPECT_TRUE(e2e_wait_until([&] {
        fitted = e2e_capture_client(viewer);
        Sleep(300);
        return is_red(pixel(viewer, w / 2, h / 2)) && same_picture(e2e_capture_client(viewer), fitted);
    }, 5000)) << "the fitted frame did not settle";
    PostMessageA(viewer, WM_COMMAND, 40009, 0);
    EXPECT_TRUE(e2e_wait_until([&] { return is_red(pixel(viewer, 3, h / 2)); }, 5000));
    PostMessageA(viewer, WM_COMMAND, 40009, 0);
    EXPECT_TRUE(shows_again(viewer, fitted, "aspect"));
    SetWindowPos(viewer, nullptr, 0, 0, 300, 420, SWP_NOMOVE | SWP_NOZORDER);  // now bars above and below
    hide_player(&program, viewer);  // a new size shows the strip again
    // (the edge between band and red decodes to mixed colours: a few rows)
    auto video_or_black = [](uint32_t p) { return is_black(p) || is_red(p) || is_blue(p); };
    EXPECT_TRUE(e2e_wait_until([&] { return pixels_not(viewer, video_or_black) * 50 < 300 * 400; }, 3000))
        << "resized: " << pixels_not(viewer, video_or_black);
    PostMessageA(viewer, WM_COMMAND, 40004, 0);  // Stop: the logo, and no frame left behind
    EXPECT_TRUE(e2e_wait_until([&] { return pixels_not(viewer, [](uint32_t p) { return !is_red(p); }) == 0; },
                               3000)) << "stopped";
    auto not_white = [](uint32_t p) { return (p & 0xF0F0F0) != 0xF0F0F0; };
    EXPECT_TRUE(e2e_wait_until([&] { return pixels_not(viewer, not_white) > 100; }, 3000)) << "no logo";
    std::vector<uint32_t> idle = e2e_capture_client(viewer);
    PostMessageA(viewer, WM_COMMAND, 40008, 0);  // the strip passes over the idle viewer
    Sleep(700);
    PostMessageA(viewer, WM_COMMAND, 40008, 0);
    EXPECT_TRUE(shows_again(viewer, idle, "strip"));
    close_player(&program, viewer);
}

TEST_F(Viewer, FullScreenFillsTheDisplayAndEscapeLeavesIt) {
    HWND viewer = start_playing(&program, clip("red.avi"), 0);
    ASSERT_TRUE(viewer);
    hide_player(&program, viewer);
    RECT windowed;
    ASSERT_TRUE(e2e_x_geometry(viewer, &windowed));
    PostMessageA(viewer, WM_COMMAND, 40007, 0);
    EXPECT_TRUE(e2e_wait_until([&] { return x_full_screen(viewer); }, 5000));
    // The 4:3 clip on the 4:3 display: red from edge to edge.
    int w = 0, dw = 0, dh = 0;
    e2e_capture_client(viewer, &w);
    ASSERT_TRUE(e2e_display_size(&dw, &dh));
    EXPECT_EQ(w, dw);
    EXPECT_TRUE(e2e_wait_until([&] { return is_red(pixel(viewer, 4, 4)) && is_red(pixel(viewer, dw - 5, dh - 5)); },
                               5000));
    // A real Escape key leaves it, back to the window as it was.
    click(viewer, dw / 2, dh / 2);
    ASSERT_TRUE(e2e_key("Escape"));
    RECT back = {};
    EXPECT_TRUE(e2e_wait_until([&] {
        return e2e_x_geometry(viewer, &back) && back.right - back.left == windowed.right - windowed.left &&
               back.bottom - back.top == windowed.bottom - windowed.top;
    }, 5000)) << back.right - back.left << "x" << back.bottom - back.top;

    // A window over three quarters of the screen comes back at 512 x 288.
    SetWindowPos(viewer, nullptr, 0, 0, 900, 700, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_TRUE(e2e_wait_until([&] { RECT r; GetWindowRect(viewer, &r); return r.right - r.left == 900; }, 5000));
    PostMessageA(viewer, WM_COMMAND, 40007, 0);
    EXPECT_TRUE(e2e_wait_until([&] { return x_full_screen(viewer); }, 5000));
    PostMessageA(viewer, WM_COMMAND, 40007, 0);
    EXPECT_TRUE(e2e_wait_until([&] { return is_windowed_at(viewer, 512, 288); }, 5000));

    // A double click enters full screen, with the strip shown over the video
    // (the window came back with it); a click there hides it.
    HWND player = e2e_find_window(program.pid, "tavlin_player");
    PostMessageA(viewer, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, 20));
    EXPECT_TRUE(e2e_wait_until([&] { return x_full_screen(viewer) && IsWindowVisible(player); }, 5000));
    PostMessageA(viewer, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
    EXPECT_TRUE(e2e_wait_until([&] { return !IsWindowVisible(player); }, 5000));
    close_player(&program, viewer);
}

// The width of the white status text in the viewer, 0 when none shows.
int status_width(HWND viewer) {
    int w, h, left = 1 << 30, right = -1;
    std::vector<uint32_t> pixels = e2e_capture_client(viewer, &w, &h);
    for (int i = 0; i < w * h; i++)
        if ((pixels[i] & 0xF0F0F0) == 0xF0F0F0) {
            left = std::min(left, i % w);
            right = std::max(right, i % w);
        }
    return right < 0 ? 0 : right - left + 1;
}

// The share of one core that the program started with `token` in its
// command line used over two seconds, read from the build machine's side
// (Wine gives no live times for another process through its handle); -1
// when it cannot be read.
double processor_share(const std::string& token) {
    std::string out = e2e_unix_output("p=$(pgrep -f 'tavlin[.]exe.*" + token + "' | head -n 1); "
                                      "a=$(cut -d' ' -f14,15 /proc/$p/stat); s=$(date +%s%N); sleep 2; "
                                      "b=$(cut -d' ' -f14,15 /proc/$p/stat); e=$(date +%s%N); "
                                      "echo $a $b $(getconf CLK_TCK) $s $e",
                                      10000);
    long long user0, kernel0, user1, kernel1, ticks_per_second, start_ns, end_ns;
    if (sscanf(out.c_str(), "%lld %lld %lld %lld %lld %lld %lld", &user0, &kernel0, &user1, &kernel1,
               &ticks_per_second, &start_ns, &end_ns) != 7 || ticks_per_second <= 0 || end_ns <= start_ns)
        return -1;
    double busy = static_cast<double>(user1 + kernel1 - user0 - kernel0) / ticks_per_second;
    return busy / ((end_ns - start_ns) / 1e9);
}

TEST_F(Viewer, BrokenFilesAloneAreReportedOnceAndTheProgramRests) {
    // Alone in the list, a file that cannot be opened is reported, naming it,
    // and nothing more is asked or tried.
    // (The name is this run's own: the program's process is found by it.)
    std::string name = unique_name("broken");
    HWND viewer = start_on("random.avi", name + ".avi");
    ASSERT_TRUE(viewer);
    std::string text;
    ASSERT_TRUE(answer_box(&program, "Media Engine Error", IDOK, &text));
    EXPECT_NE(text.find(name + ".avi"), std::string::npos) << text;
    EXPECT_FALSE(e2e_wait_window(program.pid, "#32770", "Proceed?", 3000));
    EXPECT_FALSE(e2e_find_window(program.pid, "#32770", "Media Engine Error"));
    EXPECT_EQ(e2e_text(viewer), TITLE);

    // "PLAYBACK ERROR" stays in the viewer. A file whose body is noise fails
    // while playing, and one cut short after its first frames ends far short
    // of the length its header claims: each brings the same text back to
    // stay, with no second try, and the program then rests.
    hide_player(&program, viewer);
    int error_width = 0;
    EXPECT_TRUE(e2e_wait_until([&] { return (error_width = status_width(viewer)) > 0; }, 5000));
    for (const char* clip_name : {"corrupt.avi", "stalled.avi"}) {
        ASSERT_TRUE(e2e_drop(viewer, {copy(clip_name, clip_name)}));
        EXPECT_TRUE(e2e_wait_until([&] { return status_width(viewer) != error_width; }, 10000))
            << clip_name << " not opened";
        EXPECT_TRUE(e2e_wait_until([&] {
            if (HWND b = e2e_find_window(program.pid, "#32770", "Media Engine Error")) e2e_press(b, IDOK);
            return status_width(viewer) == error_width;
        }, 20000)) << clip_name;
        double share = -1;
        EXPECT_TRUE(e2e_wait_until([&] {
            share = processor_share(name);
            return share >= 0 && share < 0.05;
        }, 15000)) << clip_name << ": " << share * 100 << " % of a core";
        // Pause and a step asked of a playback that has ended leave nothing
        // behind: no clock comes up in the title.
        PostMessageA(viewer, WM_COMMAND, 40003, 0);
        PostMessageA(viewer, WM_COMMAND, 40011, 0);
        for (int i = 0; i < 10; i++) {
            Sleep(300);
            ASSERT_EQ(status_width(viewer), error_width) << clip_name << " tried again";
            ASSERT_EQ(e2e_text(viewer), TITLE) << clip_name;
        }
    }
    EXPECT_FALSE(e2e_find_window(program.pid, "#32770", "Proceed?"));
    close_player(&program, viewer);
}

// A clip shorter than a second is a playback like any other: alone it
// starts over at its end, and in a list it is played on every pass. The end
// of each file plays the next and the last wraps to the first; a wider clip
// among them leaves nothing of itself behind.
TEST_F(Viewer, AShortClipStartsOverAndPlaysOnEveryPass) {
    auto shows_short = [](uint32_t p) { return p != 0xFFFFFFFF && !is_black(p) && !is_red(p); };
    HWND viewer = start_on("short.avi", "short.avi");
    ASSERT_TRUE(viewer);
    hide_player(&program, viewer);
    DWORD start = GetTickCount();
    EXPECT_TRUE(e2e_wait_until([&] { return GetTickCount() - start > 3000 && top_shows(viewer, shows_short, 0); },
                               10000))
        << "not shown again after its first play";
    EXPECT_FALSE(e2e_find_window(program.pid, "#32770", "Media Engine Error"));

    hand_over(copy("red.avi", "red.avi"));
    int passes = 0;
    bool short_seen = false;
    EXPECT_TRUE(e2e_wait_until([&] {
        RECT c;
        GetClientRect(viewer, &c);
        uint32_t p = pixel(viewer, c.right / 2, 40);
        if (shows_short(p)) short_seen = true;
        if (is_red(p) && short_seen) {
            passes++;
            short_seen = false;
        }
        return passes >= 3;
    }, 40000)) << passes << " passes with the short clip";
    ASSERT_TRUE(e2e_wait_until([&] { return title_seconds(viewer) >= 1; }, 10000)) << "red ended early";
    std::vector<uint32_t> red_shown = e2e_capture_client(viewer);
    hand_over(copy("wide.avi", "wide.avi"));
    EXPECT_TRUE(top_shows(viewer, is_green, 20000));
    EXPECT_TRUE(top_shows(viewer, is_red, 20000));
    EXPECT_TRUE(shows_again(viewer, red_shown, "shape"));
    close_player(&program, viewer);
}

// A list going round with bad files among good: each bad file is reported
// once, later passes go past it without a word, and choosing it again from
// the playlist window reports it again.
TEST_F(Viewer, ALoopingListReportsEachBadFileOnce) {
    std::string list = "#EXTM3U\r\n" + copy("random.avi", "first-bad.avi") + "\r\n" + copy("red.avi", "good.avi") +
                       "\r\n" + copy("text.avi", "second-bad.avi") + "\r\n";
    HWND viewer = start_player(&program, ::quoted(e2e_make_file(dir + "\\loop.m3u", list)));
    ASSERT_TRUE(viewer);
    int first_bad = 0, second_bad = 0, other = 0, passes = 0;
    bool counted = false;
    // Answers the boxes as a user would, counting each file's, until the
    // good clip has played three times.
    auto answer_boxes = [&] {
        if (HWND b = e2e_find_window(program.pid, "#32770", "Media Engine Error")) {
            std::string text = e2e_box_text(b);
            if (text.find("first-bad.avi") != std::string::npos) first_bad++;
            else if (text.find("second-bad.avi") != std::string::npos) second_bad++;
            else other++;
            e2e_press(b, IDOK);
            e2e_wait_until([&] { return !IsWindow(b); }, 5000);
        }
        if (HWND b = e2e_find_window(program.pid, "#32770", "Proceed?")) {
            e2e_press(b, IDYES);
            e2e_wait_until([&] { return !IsWindow(b); }, 5000);
        }
    };
    EXPECT_TRUE(e2e_wait_until([&] {
        answer_boxes();
        bool late_in_clip = title_seconds(viewer) >= 1;
        if (late_in_clip && !counted) passes++;
        counted = late_in_clip;
        return passes >= 3;
    }, 90000)) << passes << " passes";
    EXPECT_EQ(first_bad, 1);
    EXPECT_EQ(second_bad, 1);
    EXPECT_EQ(other, 0);

    // Chosen from the playlist window by a double click, it is tried and reported again. The
    // strip's Play, clicked while the report waits, does not stack another report on it.
    HWND rows = open_playlist(&program, viewer);
    ASSERT_TRUE(rows);
    SendMessageA(rows, LB_SETSEL, FALSE, -1);
    SendMessageA(rows, LB_SETSEL, TRUE, 0);
    PostMessageA(GetParent(rows), WM_COMMAND, MAKEWPARAM(1000, LBN_DBLCLK), reinterpret_cast<LPARAM>(rows));
    ASSERT_TRUE(wait_box(&program, "Media Engine Error"));
    HWND player = e2e_find_window(program.pid, "tavlin_player");
    ASSERT_TRUE(e2e_x_pointer_over(player, strip::PLAY)) << "the strip's Play is covered";
    press(player, strip::PLAY);
    EXPECT_TRUE(e2e_wait_until([&] {
        answer_boxes();
        return first_bad == 2;
    }, 20000)) << "the chosen file was not reported";
    EXPECT_TRUE(e2e_wait_until([&] {
        answer_boxes();
        return title_seconds(viewer) >= 1;  // only the good clip gets its clock going
    }, 20000)) << "the good clip did not follow";
    EXPECT_EQ(first_bad, 2);
    EXPECT_EQ(second_bad, 1);
    close_player(&program, viewer);
}

TEST_F(Viewer, ADropReplacesThePlaylistAndPlaysItsFirstEntry) {
    CreateDirectoryA((dir + "\\folder").c_str(), nullptr);
    CreateDirectoryA((dir + "\\folder\\inner").c_str(), nullptr);
    copy("green.wmv", "folder\\inner\\green.wmv");
    std::string red_clip = copy("red.avi", "red.avi");
    HWND viewer = start_playing(&program, clip("steps.avi"), 0);
    ASSERT_TRUE(viewer);
    // A folder, scanned to its depth, then a file.
    ASSERT_TRUE(e2e_drop(viewer, {dir + "\\folder", red_clip}));
    hide_player(&program, viewer);
    EXPECT_TRUE(top_shows(viewer, is_green, 15000));
    HWND list = open_playlist(&program, viewer);
    EXPECT_EQ(e2e_list_items(list), (std::vector<std::string>{"green.wmv", "red.avi"}));
    close_player(&program, viewer);
}

TEST_F(Viewer, KeysActWhileOursIsInFrontAndMediaKeysAlways) {
    HWND viewer = start_playing(&program, clip("span60.avi"), 1);
    ASSERT_TRUE(viewer);
    click(viewer, 30, 30);  // brings the viewer to the front
    ASSERT_TRUE(e2e_wait_until([&] { return GetForegroundWindow() == viewer; }, 5000));
    ASSERT_TRUE(e2e_key("space"));
    EXPECT_TRUE(e2e_wait_until([&] { return clock_holds(viewer); }, 5000)) << "Space pauses";
    // Quick presses each count; a key held for a second repeats every
    // 250 ms, not at the system's faster rate.
    int paused_at = title_seconds(viewer);
    ASSERT_EQ(e2e_run_unix("xdotool key --delay 100 Right Right Right Right", 10000), 0);
    EXPECT_TRUE(e2e_wait_until([&] { return title_seconds(viewer) == paused_at + 20 && clock_holds(viewer); }, 8000))
        << "four presses, from " << paused_at << ": " << e2e_text(viewer);
    ASSERT_EQ(e2e_run_unix("xdotool keydown Right sleep 1 keyup Right", 10000), 0);
    EXPECT_TRUE(e2e_wait_until([&] { return clock_holds(viewer); }, 8000));
    int held_steps = (title_seconds(viewer) - paused_at - 20) / 5;
    EXPECT_TRUE(held_steps == 4 || held_steps == 5) << held_steps << " steps: " << e2e_text(viewer);
    ASSERT_TRUE(e2e_key("space"));
    EXPECT_TRUE(clock_runs(viewer, 5000)) << "Space plays again";

    // Another program in front: Space is not ours, the media keys still are.
    E2eProgram other;
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    ASSERT_TRUE(e2e_start_program(&other, std::string(system) + "\\notepad.exe", L""));
    EXPECT_TRUE(e2e_wait_until([&] {
        DWORD pid = 0;
        GetWindowThreadProcessId(GetForegroundWindow(), &pid);
        return pid == other.pid;
    }, 15000));
    ASSERT_TRUE(e2e_key("space"));
    EXPECT_TRUE(clock_runs(viewer, 3000)) << "Space went to the other program";
    ASSERT_TRUE(e2e_key("XF86AudioPlay"));
    EXPECT_TRUE(e2e_wait_until([&] { return clock_holds(viewer); }, 5000)) << "the play key pauses";
    ASSERT_TRUE(e2e_key("XF86AudioPlay"));
    EXPECT_TRUE(clock_runs(viewer, 5000)) << "the play key plays again";
    ASSERT_TRUE(e2e_wait_until([&] { return title_seconds(viewer) >= 3; }, 10000));
    ASSERT_TRUE(e2e_key("XF86AudioNext"));  // the only entry: it starts again
    EXPECT_TRUE(e2e_wait_until([&] { return title_seconds(viewer) >= 0 && title_seconds(viewer) < 2; }, 10000))
        << e2e_text(viewer);
    e2e_stop(&other);
    // Back in front, the Space typed into the other program is not taken for ours.
    click(viewer, 30, 30);
    ASSERT_TRUE(e2e_wait_until([&] { return GetForegroundWindow() == viewer; }, 5000));
    Sleep(600);
    EXPECT_TRUE(clock_runs(viewer, 3000)) << "a stale Space paused the clip";
    close_player(&program, viewer);
}

TEST_F(Viewer, ReturnThatConfirmsTheOpenDialogIsNotTheViewersKey) {
    std::string chosen = copy("red.avi", "chosen.avi");
    HWND viewer = start_player(&program, "");
    ASSERT_TRUE(viewer);
    ASSERT_TRUE(e2e_wait_until([&] { return e2e_text(viewer) == TITLE && IsWindowVisible(viewer); }, 10000));
    ASSERT_TRUE(e2e_wait_until([&] {
        click(viewer, 30, 30);
        return GetForegroundWindow() == viewer;
    }, 10000));
    HWND dialog = nullptr, name = open_files_name_field(&program, viewer, &dialog);
    ASSERT_TRUE(name);
    ASSERT_TRUE(e2e_wait_until([&] { return GetForegroundWindow() == dialog; }, 5000));
    RECT field;
    GetClientRect(name, &field);
    click(name, field.right / 3, field.bottom / 2);  // the keys go to the name field
    SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(chosen.c_str()));
    // Held a moment, as a person presses it.
    ASSERT_EQ(e2e_run_unix("xdotool keydown Return sleep 0.4 keyup Return", 10000), 0);
    EXPECT_TRUE(e2e_wait_until([&] { return title_seconds(viewer) >= 0; }, 15000)) << e2e_text(viewer);
    Sleep(1500);
    EXPECT_FALSE(x_full_screen(viewer));
    EXPECT_EQ(GetWindowLongA(viewer, GWL_STYLE) & WS_CAPTION, static_cast<LONG>(WS_CAPTION));
    close_player(&program, viewer);
}

// A playlist of hostile media ending in a good clip: each is reported (a box
// or PLAYBACK ERROR), the player goes on, and the good clip plays in the end.
TEST_F(Viewer, HostileMediaAreReportedAndTheNextEntryPlays) {
    std::string list = "#EXTM3U\r\n";
    for (const char* name : {"empty.avi", "header.avi", "truncated.avi", "random.avi", "text.avi", "tiny.avi",
                             "huge.avi", "tone.avi", "red.avi"})
        list += clip(name) + "\r\n";
    std::string playlist = e2e_make_file(dir + "\\hostile.m3u", list);
    HWND viewer = start_player(&program, ::quoted(playlist));
    ASSERT_TRUE(viewer);
    hide_player(&program, viewer);
    int boxes = 0;
    EXPECT_TRUE(e2e_wait_until([&] {
        if (HWND b = e2e_find_window(program.pid, "#32770", "Media Engine Error")) boxes++, e2e_press(b, IDOK);
        if (HWND b = e2e_find_window(program.pid, "#32770", "Proceed?")) e2e_press(b, IDYES);
        return top_shows(viewer, is_red, 0) && title_seconds(viewer) >= 0;
    }, 90000)) << "never reached the good clip";
    EXPECT_GE(boxes, 3) << "the files that cannot be opened were not reported";
    EXPECT_TRUE(clock_runs(viewer, 5000));
    close_player(&program, viewer);
}
